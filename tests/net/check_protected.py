#!/usr/bin/env python3
"""Independent check of protected packets.

Input file: first line the stream key as 32 hex digits, then one line per packet:
"<plain hex> <protected hex>". Each protected packet must be: the version byte, then the
CRC-8 (poly 0x07, init 0, no reflection, no final xor) of the payload, then the payload, with
the whole 16-byte blocks after byte 0 encrypted by AES-128-ECB under the key.
Exit status 0 when every packet checks, 1 otherwise, 3 when the cipher module is missing.
"""
import sys

try:
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
except ImportError:
    print("python3 cryptography module missing")
    sys.exit(3)


def crc8(data):
    reg = 0
    for byte in data:
        reg ^= byte
        for _ in range(8):
            reg = ((reg << 1) ^ 0x07) & 0xFF if reg & 0x80 else (reg << 1) & 0xFF
    return reg


def main(path):
    with open(path) as f:
        lines = f.read().split("\n")
    key = bytes.fromhex(lines[0].strip())
    failures = 0
    checked = 0
    for number, line in enumerate(lines[1:], start=1):
        if not line.strip():
            continue
        plain_hex, protected_hex = line.split()
        plain = bytes.fromhex(plain_hex)
        protected = bytearray.fromhex(protected_hex)
        n = len(plain)
        blocks = (n // 16) * 16
        decryptor = Cipher(algorithms.AES(key), modes.ECB()).decryptor()
        protected[1:1 + blocks] = decryptor.update(bytes(protected[1:1 + blocks])) + decryptor.finalize()
        expected = bytes([plain[0], crc8(plain[1:])]) + plain[1:]
        if bytes(protected) != expected:
            print(f"packet {number} (length {n}) does not match")
            failures += 1
        checked += 1
    print(f"checked {checked} packets, {failures} failures")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
