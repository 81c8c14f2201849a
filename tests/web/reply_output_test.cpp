#include "ScriptedSource.h"
#include "web/ReplyOutput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::web::ReplyOutput;
using webtest::Bytes;
using webtest::RecordingSink;

// A frame as a client reads it, from the frame layout alone.
struct ServerFrame {
    std::uint8_t first = 0;
    std::uint64_t length = 0;
    std::size_t headerSize = 0;
    Bytes payload;
};

std::vector<ServerFrame> readFrames(const Bytes& b) {
    std::vector<ServerFrame> frames;
    std::size_t i = 0;
    while (i + 2 <= b.size()) {
        ServerFrame f;
        f.first = b[i];
        EXPECT_EQ(b[i + 1] & 0x80, 0) << "server frames are never masked";
        const std::uint8_t code = b[i + 1] & 0x7F;
        std::size_t p = i + 2;
        if (code == 126) {
            f.length = static_cast<std::uint64_t>(b[p]) << 8 | b[p + 1];
            p += 2;
        } else if (code == 127) {
            for (int k = 0; k < 8; ++k) f.length = f.length << 8 | b[p + k];
            p += 8;
        } else {
            f.length = code;
        }
        f.headerSize = p - i;
        f.payload.assign(b.begin() + static_cast<std::ptrdiff_t>(p),
                         b.begin() + static_cast<std::ptrdiff_t>(p + f.length));
        i = p + f.length;
        frames.push_back(f);
    }
    EXPECT_EQ(i, b.size());
    return frames;
}

TEST(ReplyOutput, BinaryRepliesUseTheShortestLengthFormWithTheStatusInFront) {
    struct {
        std::size_t data;
        std::size_t headerSize;
    } cases[] = {{123, 2}, {124, 4}, {65'533, 4}, {65'534, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        RecordingSink sink;
        ReplyOutput out(sink);
        out.startConnection(true);
        std::uint8_t* data = out.buffer() + ReplyOutput::binaryDataOffset;
        for (std::size_t i = 0; i < c.data; ++i) data[i] = static_cast<std::uint8_t>(i);
        out.sendBinary(data, c.data, true, 0);
        ASSERT_EQ(sink.sends.size(), 1u);
        const auto frames = readFrames(sink.all());
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].first, 0x82);
        EXPECT_EQ(frames[0].headerSize, c.headerSize);
        ASSERT_EQ(frames[0].payload.size(), c.data + 2);
        EXPECT_EQ(frames[0].payload[0], 0);
        EXPECT_EQ(frames[0].payload[1], 0);
        EXPECT_EQ(frames[0].payload[2 + c.data / 2], static_cast<std::uint8_t>(c.data / 2));
    }
}

TEST(ReplyOutput, PiecesOfOneBinaryReplyFormOneMessage) {
    RecordingSink sink;
    ReplyOutput out(sink);
    out.startConnection(true);
    std::uint8_t* data = out.buffer() + ReplyOutput::binaryDataOffset;
    data[0] = 7;
    out.sendBinary(data, 1, false, 0);
    EXPECT_TRUE(out.fragmentOpen());
    out.sendBinary(data, 1, true, 0);
    EXPECT_FALSE(out.fragmentOpen());
    EXPECT_EQ(sink.all(), (Bytes{0x02, 0x03, 0x00, 0x00, 7, 0x80, 0x01, 7}));

    // An error inside an open message ends it as a continuation without the status.
    RecordingSink sink2;
    ReplyOutput out2(sink2);
    out2.startConnection(true);
    out2.sendBinary(out2.buffer() + ReplyOutput::binaryDataOffset, 0, false, 0);
    out2.sendError(404, "NOT FOUND", "Page not found");
    const auto frames = readFrames(sink2.all());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].first, 0x80);
    EXPECT_EQ(std::string(frames[1].payload.begin(), frames[1].payload.end()), "Page not found");
}

TEST(ReplyOutput, ErrorRepliesInBothForms) {
    RecordingSink plain;
    ReplyOutput p(plain);
    p.startConnection(false);
    p.sendError(404, "NOT FOUND", "Page not found");
    EXPECT_EQ(plain.text(),
              "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html\r\nAccess-Control-Allow-Origin: *\r\n\r\n"
              "Page not found");

    RecordingSink framed;
    ReplyOutput f(framed);
    f.startConnection(true);
    f.sendError(404, "NOT FOUND", "Page not found");
    Bytes expected{0x82, 0x10, 0x01, 0x94};
    for (char c : std::string("Page not found")) expected.push_back(static_cast<std::uint8_t>(c));
    EXPECT_EQ(framed.all(), expected);

    // The session error: 119 characters and one NUL make the payload even.
    RecordingSink odd;
    ReplyOutput o(odd);
    o.startConnection(true);
    const std::string text =
        "Session is no longer active. If you are trying to remotely control Kestrava, use (fake) session ID -1, so "
        "/update-1/...";
    ASSERT_EQ(text.size(), 119u);
    o.sendError(409, "SESSION ERROR", text);
    const Bytes b = odd.all();
    ASSERT_EQ(b.size(), 4u + 120u);
    EXPECT_EQ(b[0], 0x82);
    EXPECT_EQ(b[1], 0x7A);
    EXPECT_EQ(b[2], 0x01);
    EXPECT_EQ(b[3], 0x99);
    EXPECT_EQ(b.back(), 0);
}

TEST(ReplyOutput, LongTextLeavesAsOneFragmentedMessage) {
    RecordingSink sink;
    ReplyOutput out(sink);
    out.startConnection(true);
    const std::string piece(1000, 'j');
    for (int i = 0; i < 600; ++i) out.append(piece);
    out.finish();
    const auto frames = readFrames(sink.all());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].first, 0x01);
    EXPECT_EQ(frames[1].first, 0x80);
    EXPECT_EQ(frames[0].payload.size() + frames[1].payload.size(), 600'000u);
    EXPECT_LT(frames[0].payload.size(), ReplyOutput::flushThreshold);

    // On plain HTTP the same text goes out bare.
    RecordingSink bare;
    ReplyOutput p(bare);
    p.startConnection(false);
    for (int i = 0; i < 600; ++i) p.append(piece);
    p.finish();
    EXPECT_EQ(bare.all().size(), 600'000u);
    EXPECT_EQ(bare.sends.size(), 2u);
}

TEST(ReplyOutput, PlainTextsAreNeverWrittenOnAWebSocket) {
    RecordingSink sink;
    ReplyOutput out(sink);
    out.startConnection(true);
    EXPECT_FALSE(out.sendPlain("HTTP/1.0 302 Found\r\n\r\n"));
    EXPECT_FALSE(out.sendOkHeader("text/html", false, false));
    EXPECT_TRUE(sink.sends.empty());

    out.startConnection(false);
    EXPECT_TRUE(out.sendOkHeader("text/html; charset=UTF-8", true, true));
    EXPECT_EQ(sink.text(),
              "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nCache-Control: max-age=3600\r\n"
              "Content-Encoding: gzip\r\n\r\n");
}

}  // namespace
