#include "ScriptedSource.h"
#include "web/FrameReader.h"

#include <gtest/gtest.h>

namespace {

using kestrava::web::FrameReader;
using webtest::Bytes;
using webtest::clientFrame;
using webtest::ScriptedSource;

constexpr std::size_t capacity = 32'896;

struct Read {
    FrameReader::Result result;
    Bytes reply;
    std::string message;
};

Read readOne(ScriptedSource& source, bool fake = false) {
    static Bytes buffer(capacity);
    Read r;
    r.result = FrameReader::read(source, buffer.data(), buffer.size(), fake);
    r.reply.assign(r.result.reply.begin(), r.result.reply.end());
    r.message = std::string(r.result.message);
    return r;
}

TEST(FrameReader, TextAndBinaryFramesCarryTheRequestPath) {
    for (std::uint8_t opcode : {1, 2}) {
        ScriptedSource source(clientFrame(opcode, webtest::bytesOf("/update-1/")));
        const Read r = readOne(source);
        EXPECT_EQ(r.result.kind, FrameReader::Kind::Message);
        EXPECT_EQ(r.message, "/update-1/");
        EXPECT_TRUE(r.reply.empty());
    }
    // A payload with a NUL is the path up to it; an empty payload an empty path.
    ScriptedSource nul(clientFrame(1, Bytes{'/', 'a', 0, 'b'}));
    EXPECT_EQ(readOne(nul).message, "/a");
    ScriptedSource empty(clientFrame(1, {}));
    const Read e = readOne(empty);
    EXPECT_EQ(e.result.kind, FrameReader::Kind::Message);
    EXPECT_EQ(e.message, "");
}

TEST(FrameReader, ReadsEveryLengthFormOneByteAtATimeAndNoByteOfTheNextFrame) {
    for (std::size_t n : {0u, 125u, 126u, 300u, 20'000u, 32'887u}) {  // 32,887: the most that fits
        SCOPED_TRACE(n);
        Bytes payload(n);
        for (std::size_t i = 0; i < n; ++i) payload[i] = static_cast<std::uint8_t>('a' + i % 26);
        Bytes stream = clientFrame(2, payload);
        const Bytes next = clientFrame(1, webtest::bytesOf("/next"));
        stream.insert(stream.end(), next.begin(), next.end());
        ScriptedSource source(stream, n < 200 ? 1 : 4096);
        const Read r = readOne(source);
        ASSERT_EQ(r.result.kind, FrameReader::Kind::Message);
        EXPECT_EQ(r.message, std::string(payload.begin(), payload.end()));
        EXPECT_EQ(source.left(), next.size());
        EXPECT_EQ(readOne(source).message, "/next");
    }
    // A 64-bit length of 1000 (bytes 2..9: 0 0 0 0 0 0 0x03 0xE8) with the key in bytes 10..13.
    Bytes f{0x82, 0xFF, 0, 0, 0, 0, 0, 0, 0x03, 0xE8, 1, 2, 3, 4};
    for (int i = 0; i < 1000; ++i) f.push_back(static_cast<std::uint8_t>('x' ^ (i % 4 + 1)));
    ScriptedSource longForm(f);
    EXPECT_EQ(readOne(longForm).message, std::string(1000, 'x'));
}

TEST(FrameReader, AnswersPingWithPongAndEchoesClose) {
    // A ping with 3 bytes: 0x8A 0x03 and the unmasked payload.
    ScriptedSource ping(clientFrame(9, webtest::bytesOf("abc")));
    const Read p = readOne(ping);
    EXPECT_EQ(p.result.kind, FrameReader::Kind::Ping);
    EXPECT_EQ(p.reply, (Bytes{0x8A, 0x03, 'a', 'b', 'c'}));

    ScriptedSource pong(clientFrame(10, webtest::bytesOf("xy")));
    const Read q = readOne(pong);
    EXPECT_EQ(q.result.kind, FrameReader::Kind::Pong);
    EXPECT_TRUE(q.reply.empty());

    // Close with status 1000 is echoed: 0x88 0x02 0x03 0xE8.
    ScriptedSource close(clientFrame(8, Bytes{0x03, 0xE8}));
    const Read c = readOne(close);
    EXPECT_EQ(c.result.kind, FrameReader::Kind::Close);
    EXPECT_EQ(c.reply, (Bytes{0x88, 0x02, 0x03, 0xE8}));
}

TEST(FrameReader, RefusesWhatItCannotTake) {
    struct Case {
        const char* name;
        Bytes stream;
        Bytes reply;
    } cases[] = {
        // Beyond the buffer: close 1009 before any payload is read.
        {"16-bit length past the buffer", Bytes{0x82, 0xFE, 0xFF, 0xFF, 1, 2, 3, 4}, Bytes{0x88, 0x02, 0x03, 0xF1}},
        {"one byte past the buffer", Bytes{0x82, 0xFE, 0x80, 0x78, 1, 2, 3, 4}, Bytes{0x88, 0x02, 0x03, 0xF1}},
        {"70,000 bytes", Bytes{0x82, 0xFF, 0, 0, 0, 0, 0, 0x01, 0x11, 0x70, 1, 2, 3, 4}, Bytes{0x88, 0x02, 0x03, 0xF1}},
        {"64-bit length with the top bit", Bytes{0x82, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 4},
         Bytes{0x88, 0x02, 0x03, 0xF1}},
        // Protocol errors: close 1002.
        {"unmasked text", clientFrame(1, webtest::bytesOf("/x"), false), Bytes{0x88, 0x02, 0x03, 0xEA}},
        {"ping of 126 bytes", clientFrame(9, Bytes(126, 'p')), Bytes{0x88, 0x02, 0x03, 0xEA}},
        // Continuation and reserved opcodes, a peer that closes mid-frame: the bare close.
        {"continuation", clientFrame(0, webtest::bytesOf("x")), Bytes{0x88, 0x00}},
        {"reserved opcode 3", clientFrame(3, webtest::bytesOf("x")), Bytes{0x88, 0x00}},
        {"reserved opcode 11", clientFrame(11, webtest::bytesOf("x")), Bytes{0x88, 0x00}},
        {"closed after one byte", Bytes{0x81}, Bytes{0x88, 0x00}},
        {"closed in the payload", Bytes{0x81, 0x85, 1, 2, 3, 4, 'a'}, Bytes{0x88, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSource source(c.stream);
        const Read r = readOne(source);
        EXPECT_EQ(r.result.kind, FrameReader::Kind::Refused);
        EXPECT_EQ(r.reply, c.reply);
    }
}

TEST(FrameReader, FakeModeRecordsAreFourteenBytes) {
    // Byte 0 and the low bits of byte 1 make no difference; bit 7 of byte 1 decides the mask.
    Bytes plain{0x00, 0x05, 9, 9, 9, 9, '/', 'u', 'p', 'd', 'a', 't', 'e', 0};
    Bytes masked{0x7F, 0x80, 1, 2, 3, 4};
    const char path[8] = {'/', 'j', 's', 'o', 'n', '-', '1', '/'};
    for (int i = 0; i < 8; ++i) masked.push_back(static_cast<std::uint8_t>(path[i] ^ (i % 4 + 1)));
    Bytes stream = plain;
    stream.insert(stream.end(), masked.begin(), masked.end());
    ScriptedSource source(stream);
    EXPECT_EQ(readOne(source, true).message, "/update");
    EXPECT_EQ(readOne(source, true).message, "/json-1/");
    EXPECT_EQ(source.left(), 0u);
}

}  // namespace
