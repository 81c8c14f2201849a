// A request head comes from anyone who can reach the web port: any bytes must parse into views
// inside the received data, or be turned away, never crash.
#include "web/HttpRequest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
bool inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The head's end, searched whole and in two receives, is found at the same place.
    const std::size_t whole = kestrava::web::findHeaderEnd(text.data(), text.size(), 0);
    if (whole > size) std::abort();
    kestrava::web::HttpRequest request;
    if (!kestrava::web::parseHttpRequest(text, request)) return 0;
    if (!inside(request.target, text) || !inside(request.path, text) || !inside(request.webSocketKey, text)) {
        std::abort();
    }
    if (request.webSocketKey.size() > kestrava::web::HttpRequest::maxKeyLength) std::abort();
    return 0;
}
