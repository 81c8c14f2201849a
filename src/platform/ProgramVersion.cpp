#include "platform/ProgramVersion.h"

#include "BuildInfo.h"

#include <cctype>
#include <string_view>

namespace ProgramVersion {

namespace {
constexpr const char* releaseTag = "dev";
}

const std::string& shortVersion() {
    static const std::string text = kestrava::build::version;
    return text;
}

const std::string& versionText() {
    static const std::string text = shortVersion() + ".0 " + releaseTag;
    return text;
}

const std::string& buildIdentifier() {
    static const std::string text = [] {
        const std::string_view id = kestrava::build::buildId;
        if (id.size() < 8) return std::string("00000000");
        for (char c : id.substr(0, 8)) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::string("00000000");
        }
        return std::string(id.substr(0, 8));
    }();
    return text;
}

}  // namespace ProgramVersion
