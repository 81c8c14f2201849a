#pragma once

#include <string>

// How the program names its own release in the banner, the crash report and the start-up line.
namespace ProgramVersion {

// Four dot-separated numbers, a blank and the release tag, e.g. "0.1.0.0 dev".
const std::string& versionText();
// Three dot-separated numbers.
const std::string& shortVersion();
// Eight hexadecimal digits of the commit the program was built from ("00000000" when unknown).
const std::string& buildIdentifier();

}  // namespace ProgramVersion
