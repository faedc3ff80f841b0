// Profile file syntax on 8-bit text, as the Windows profile service reads and writes
// it: "[Section]" lines, "key=value" lines, ";" comment lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vt {

// The value of `key` in the first section named `section` (both case-blind): the text
// after the first "=" without surrounding blanks, and without one pair of matching
// quotes around it. Nothing when the section or the key is missing.
std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
                                            const std::string& key);

// `content` with `key` in `section` set to `value`: the first matching key line gets
// the new value in place, or a key line is added at the end of the section, or the
// section is added at the end. Every other line stays byte for byte, and new lines
// take the file's own line ending. Nothing when the names or the value cannot be
// written as one line (a line break anywhere, "]" in the section, "=" in the key).
std::optional<std::string> SetProfileValue(const std::string& content, const std::string& section,
                                           const std::string& key, const std::string& value);

// The whole number at the start of a value: an optional sign, then decimal digits up
// to the first other character, wrapping at 32 bits; 0 without digits.
std::int32_t LeadingInteger(const std::string& value);

}  // namespace vt
