// The white list is typed by users and carried in settings files: any text must parse into a
// bounded list that still allows the loopback address, never crash.
#include "web/WhiteList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kestrava::web::WhiteList list(std::string_view(reinterpret_cast<const char*>(data), size));
    if (list.entries().empty() || list.entries().size() > kestrava::web::WhiteList::entryLimit) std::abort();
    if (!list.allows(0x7F000001)) std::abort();
    for (const auto& e : list.entries()) {
        if (e.prefixBits < 0 || e.prefixBits > 32) std::abort();
        (void)list.allows(e.address);
    }
    return 0;
}
