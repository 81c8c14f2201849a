#include "web/HttpRequest.h"
#include "web/WebSocketAccept.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::web::HttpRequest;
using kestrava::web::parseHttpRequest;

TEST(HttpRequest, HeadEndsAtCrLfCrLfOrCrCrEvenWhenSplit) {
    const std::string head = "GET / HTTP/1.0\r\nHost: x\r\n\r\n";
    EXPECT_EQ(kestrava::web::findHeaderEnd(head.data(), head.size(), 0), head.size());
    // CR LF at the end of one receive, CR LF at the start of the next.
    const std::size_t split = head.size() - 2;
    EXPECT_EQ(kestrava::web::findHeaderEnd(head.data(), split, 0), 0u);
    EXPECT_EQ(kestrava::web::findHeaderEnd(head.data(), head.size(), split), head.size());
    const std::string crcr = "GET /a\r\r";
    EXPECT_EQ(kestrava::web::findHeaderEnd(crcr.data(), crcr.size(), 0), crcr.size());
    const std::string lflf = "GET /a\n\n";
    EXPECT_EQ(kestrava::web::findHeaderEnd(lflf.data(), lflf.size(), 0), 0u);
}

struct LineCase {
    const char* request;
    bool accepted;
    const char* path;
    bool fake;
};

class RequestLine : public testing::TestWithParam<LineCase> {};

TEST_P(RequestLine, FindsMethodAndPath) {
    const auto& c = GetParam();
    HttpRequest r;
    ASSERT_EQ(parseHttpRequest(c.request, r), c.accepted);
    if (!c.accepted) return;
    EXPECT_EQ(r.path, c.path);
    EXPECT_EQ(r.fakeMode, c.fake);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestLine,
    testing::Values(LineCase{"GET /index.html HTTP/1.0\r\n\r\n", true, "/index.html", false},
                    LineCase{"get /a?b=%20c HTTP/1.1\r\n\r\n", true, "/a?b=%20c", false},
                    LineCase{"Post\t  /json-1/ HTTP/1.0\r\n\r\n", true, "/json-1/", false},
                    LineCase{"GET /lumora/objects.js HTTP/1.0\r\n\r\n", true, "/objects.js", false},
                    LineCase{"GET /lumora HTTP/1.0\r\n\r\n", true, "", false},
                    LineCase{"GET /lumoraFAKEWEBSOCKET HTTP/1.0\r\n\r\n", true, "FAKEWEBSOCKET", true},
                    LineCase{"GET FAKEWEBSOCKETxyz\r\n\r\n", true, "FAKEWEBSOCKETxyz", true},
                    LineCase{"GET /lumora/FAKEWEBSOCKET\r\n\r\n", true, "/FAKEWEBSOCKET", false},
                    // "/lumora" in a header never moves the path.
                    LineCase{"GET /a HTTP/1.0\r\nReferer: http://h/lumora/x\r\n\r\n", true, "/a", false},
                    LineCase{"GET", false, "", false},
                    LineCase{"GE", false, "", false},
                    LineCase{"GET/ HTTP/1.0\r\n\r\n", false, "", false},
                    LineCase{"HEAD / HTTP/1.0\r\n\r\n", false, "", false},
                    LineCase{"OPTIONS / HTTP/1.0\r\n\r\n", false, "", false},
                    LineCase{"PUT / HTTP/1.0\r\n\r\n", false, "", false}));

TEST(HttpRequest, FindsTheWebSocketKey) {
    struct {
        const char* headers;
        const char* key;
        bool tooLong;
    } cases[] = {
        {"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n", "dGhlIHNhbXBsZSBub25jZQ==", false},
        {"sec-websocket-key: abc\r\n", "abc", false},
        {"Sec-WebSocket-Key :: \tabc\r\n", "abc", false},
        {"Sec-WebSocket-Key:\r\n", "", false},
        {"X-Other: Sec-WebSocket-Key: abc\r\n", "", false},
        {"Sec-WebSocket-Key-Extra: abc\r\n", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers);
        HttpRequest r;
        const std::string text = std::string("GET /x HTTP/1.1\r\n") + c.headers + "\r\n";  // the views point into it
        ASSERT_TRUE(parseHttpRequest(text, r));
        EXPECT_EQ(r.webSocketKey, c.key);
        EXPECT_EQ(r.keyTooLong, c.tooLong);
    }
    // 91 characters are accepted, 92 refused.
    for (std::size_t n : {91u, 92u}) {
        HttpRequest r;
        const std::string text = "GET / HTTP/1.1\r\nSec-WebSocket-Key: " + std::string(n, 'k') + "\r\n\r\n";
        ASSERT_TRUE(parseHttpRequest(text, r));
        EXPECT_EQ(r.keyTooLong, n > HttpRequest::maxKeyLength);
        EXPECT_EQ(r.webSocketKey.size(), n > HttpRequest::maxKeyLength ? 0u : n);
    }
}

TEST(HttpRequest, MarksRequestsFromAnotherSite) {
    struct {
        const char* headers;
        bool crossSite;
    } cases[] = {
        {"", false},  // tools send neither header
        {"Host: 10.0.0.5:8080\r\nOrigin: http://10.0.0.5:8080\r\n", false},
        {"Host: enc.example\r\nOrigin: https://ENC.example:443\r\n", false},
        {"Host: enc.example:80\r\nOrigin: http://enc.example\r\n", false},
        {"Host: 10.0.0.5:8080\r\nOrigin: http://evil.example\r\n", true},
        {"Host: 10.0.0.5:8080\r\nOrigin: http://10.0.0.5:8081\r\n", true},
        {"Host: 10.0.0.5:8080\r\nOrigin: null\r\n", true},
        {"Origin: http://10.0.0.5:8080\r\n", true},
        {"Sec-Fetch-Site: cross-site\r\n", true},
        {"Sec-Fetch-Site: same-origin\r\nHost: a\r\nOrigin: http://a\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers);
        HttpRequest r;
        ASSERT_TRUE(parseHttpRequest(std::string("POST /json-1/ HTTP/1.1\r\n") + c.headers + "\r\n", r));
        EXPECT_EQ(r.crossSite, c.crossSite);
    }
}

TEST(WebSocketAccept, GivesTheValueOfTheProtocolsExample) {
    EXPECT_EQ(kestrava::web::webSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    const std::string reply = kestrava::web::webSocketHandshakeReply("dGhlIHNhbXBsZSBub25jZQ==");
    EXPECT_EQ(reply,
              "HTTP/1.1 101 Web Socket Protocol Handshake\r\nContent-Type: application/json\r\n"
              "Access-Control-Allow-Origin: *\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
    EXPECT_EQ(reply.size(), 171u + 28u + 4u);
}

}  // namespace
