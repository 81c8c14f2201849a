#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace kestrava::model {

// The settings file's text form, knowing nothing of parameters: sections of key=value lines.
//
//   [Section]\r\n          sections and, inside each, keys in unsigned-byte order
//   key=value\r\n          no comments, no blanks around "=", no quoting
//
// std::string compares through char_traits<char>, which orders bytes as unsigned char: exactly
// the file's order ("Key 10" before "Key 2", upper case before lower case, "" first).
using KeyMap = std::map<std::string, std::string>;
using SectionMap = std::map<std::string, KeyMap>;

// A line longer than this is read in pieces, each further piece counting as a line of its own.
inline constexpr std::size_t maxLinePiece = 32'767;

// Text values: "\" becomes "\\", then line feed becomes "\n". Every other byte stays.
void escapeSettingValue(std::string& text);
// The inverse: "\n" gives a line feed, "\\" a backslash, any other backslash stays as it is.
void unescapeSettingValue(std::string& text);

// The whole file text, every line ended by CR LF; sections without keys are left out.
void writeIniSections(std::string& out, const SectionMap& sections);

// Parses a file's bytes into `sections` (later lines replace earlier ones of the same section and
// key); returns the number of key lines read. Lines before the first section line, and after a
// section line without "]", belong to the section with the empty name.
std::size_t parseIniText(std::string_view text, SectionMap& sections);

// The file version: the number that starts "Software version" in "Preset info"; 0 when the key is
// missing or its value does not start with a number.
float settingsFileVersion(const SectionMap& sections);
// Whether text values of a file of that version are unescaped: version 0 or at least 9.7.
bool unescapesTextValues(float version);

}  // namespace kestrava::model
