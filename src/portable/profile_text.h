// Profile files as the Windows profile service reads and writes them: "[Section]" lines,
// "key=value" lines, ";" comment lines; ANSI (Windows-1252 here) or UTF-16LE text.
//
// The rules, each as Windows has it:
// - A line ends at CR, at LF or at CRLF, so "\r\r\n" is a line end and an empty line.
// - A section header is a line that starts with "[" (blanks before it are skipped); its
//   name ends at the first "]", or at the end of the line when there is none, and text
//   after the "]" is ignored.
// - A key line holds "="; the key is the text before the first "=", the value the text
//   after it. Names and values are taken without the blanks around them (space, tab,
//   vertical tab, form feed, CR, LF, Ctrl-Z and the Unicode spaces), and a value loses
//   one pair of matching quotes ("..." or '...') around it.
// - Section and key names match without regard to letter case; the first section of a
//   name and the first key of a name in it count.
// - A NUL in a line ends what is read of it: the rest of the line is not read (a write
//   keeps it, as it keeps every line it does not change).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vt {

enum class ProfileEncoding { Ansi, Utf16Le };

struct ProfileText {
  std::wstring text;
  ProfileEncoding encoding = ProfileEncoding::Ansi;
};

// A file that starts with the byte-order mark FF FE is UTF-16LE; any other is ANSI. A
// UTF-8 byte-order mark is not special: Windows reads such a file as ANSI. (Wine reads
// it as UTF-8; Windows holds here.)
ProfileText DecodeProfileFile(const std::string& bytes);
// The bytes of a file in `encoding`; UTF-16LE with its byte-order mark.
std::string EncodeProfileFile(const std::wstring& text, ProfileEncoding encoding);

// One profile file, split into lines once, so that many reads and writes cost no more
// than one parse. Every line that a write does not touch stays as it was, to the byte.
class ProfileDocument {
 public:
  explicit ProfileDocument(const std::wstring& text = std::wstring(),
                           ProfileEncoding encoding = ProfileEncoding::Ansi);

  // The value of `key` in the first section named `section`; nothing when the section
  // or the key is missing. Names are taken without surrounding blanks.
  std::optional<std::wstring> Find(const std::wstring& section, const std::wstring& key) const;
  // The number (from 1) of the line that Find reads; nothing when it reads none.
  std::optional<std::size_t> FindLine(const std::wstring& section, const std::wstring& key) const;

  // Sets `key` in `section` (names without surrounding blanks): the first matching key
  // line gets the new value in place, or a key line is added after the section's last
  // line that is not blank, or the section is added at the end. New lines take the
  // file's own line break (CRLF in a UTF-16 file, and in a file that has none yet).
  // False, and nothing changed, when the names or the value cannot be written as one
  // line that reads back as this key: a line break or a NUL anywhere, "]" in the
  // section, "=" in the key, an empty key, or a key that starts with ";" or "[".
  bool Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);

  // The section and key names of every key line that a read can reach, in file order.
  std::vector<std::pair<std::wstring, std::wstring>> Keys() const;

  // Every section header and every key line in a section, in file order, with its line
  // number: what a checker needs beside the reads (where a key stands, keys given twice).
  struct Entry {
    std::size_t line = 0;             // from 1
    std::wstring section;             // as written, without the blanks around it
    std::optional<std::wstring> key;  // none on a section header
    std::wstring value;               // as a read of the key gives it, were it the first
  };
  std::vector<Entry> Entries() const;

  std::wstring Text() const;
  ProfileEncoding Encoding() const { return encoding_; }

 private:
  struct Line {
    std::wstring text;
    std::wstring ending;  // "\r\n", "\n", "\r" or empty (a last line without one)
  };

  // The index of the first line of the first section named `section`, or npos; `end`
  // receives the index of the line after the section.
  std::size_t FindSection(const std::wstring& section, std::size_t& end) const;
  void EndWithLineBreak(Line& line) const;

  std::vector<Line> lines_;
  std::wstring eol_;
  ProfileEncoding encoding_;
};

// The whole number of a value as the profile service reads it (RtlUnicodeStringToInteger
// with base 0): characters up to the blank skipped, an optional sign, then "0x"
// hexadecimal, "0o" octal, "0b" binary or else decimal digits, up to the first
// character that is not a digit of that base, wrapping at 32 bits. Nothing for an
// empty value, which reads as the default, as a missing key does. The prefixes are
// lower-case only, as in Windows' and Wine's conversion.
std::optional<std::int32_t> ProfileInteger(const std::wstring& value);

// Whether `c` is one of the blanks the profile service strips around names and values.
bool IsProfileBlank(wchar_t c);

// Whole-file conveniences on wide text, and on ANSI bytes for callers that hold bytes.
std::optional<std::wstring> FindProfileValue(const std::wstring& content,
                                             const std::wstring& section, const std::wstring& key);
std::optional<std::wstring> SetProfileValue(const std::wstring& content,
                                            const std::wstring& section, const std::wstring& key,
                                            const std::wstring& value);
std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
                                            const std::string& key);
std::optional<std::string> SetProfileValue(const std::string& content, const std::string& section,
                                           const std::string& key, const std::string& value);

}  // namespace vt
