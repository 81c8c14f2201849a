// The browser icon: a disc in the product colour crossed by a white wave, as an icon file holding
// 48x48, 32x32 and 16x16 images of 8 bits per pixel (palette index 0 is the transparent background).
export function makeFavicon(colour) {
  const sizes = [48, 32, 16];
  const rgb = [1, 3, 5].map((i) => parseInt(colour.slice(i, i + 2), 16));
  const images = sizes.map((n) => bitmap(n, rgb));
  const header = Buffer.alloc(6 + 16 * sizes.length);
  header.writeUInt16LE(0, 0);
  header.writeUInt16LE(1, 2);
  header.writeUInt16LE(sizes.length, 4);
  let offset = header.length;
  sizes.forEach((n, i) => {
    const e = 6 + 16 * i;
    header.writeUInt8(n, e);
    header.writeUInt8(n, e + 1);
    header.writeUInt8(0, e + 2);      // 256 colours: written as 0
    header.writeUInt8(0, e + 3);
    header.writeUInt16LE(1, e + 4);   // planes
    header.writeUInt16LE(8, e + 6);   // bits per pixel
    header.writeUInt32LE(images[i].length, e + 8);
    header.writeUInt32LE(offset, e + 12);
    offset += images[i].length;
  });
  return Buffer.concat([header, ...images]);
}

function bitmap(n, rgb) {
  const pixel = (x, y) => {
    const cx = x + 0.5 - n / 2; const cy = y + 0.5 - n / 2;
    if (cx * cx + cy * cy > (n / 2) * (n / 2)) return 0;
    const wave = (n / 5) * Math.sin((x + 0.5) / n * 2 * Math.PI);
    return Math.abs(cy + wave) <= Math.max(1, n / 14) ? 2 : 1;
  };
  const info = Buffer.alloc(40);
  info.writeUInt32LE(40, 0);
  info.writeInt32LE(n, 4);
  info.writeInt32LE(2 * n, 8);  // colour rows and mask rows
  info.writeUInt16LE(1, 12);
  info.writeUInt16LE(8, 14);
  info.writeUInt32LE(0, 16);
  const palette = Buffer.alloc(256 * 4);
  palette.set([0, 0, 0, 0], 0);
  palette.set([rgb[2], rgb[1], rgb[0], 0], 4);
  palette.set([255, 255, 255, 0], 8);
  const rowBytes = (n + 3) & ~3;
  const maskBytes = ((Math.ceil(n / 8)) + 3) & ~3;
  const colours = Buffer.alloc(rowBytes * n);
  const mask = Buffer.alloc(maskBytes * n);
  for (let row = 0; row < n; row++) {
    const y = n - 1 - row;  // rows are stored bottom-up
    for (let x = 0; x < n; x++) {
      const p = pixel(x, y);
      colours[row * rowBytes + x] = p;
      if (p === 0) mask[row * maskBytes + (x >> 3)] |= 0x80 >> (x & 7);
    }
  }
  return Buffer.concat([info, palette, colours, mask]);
}
