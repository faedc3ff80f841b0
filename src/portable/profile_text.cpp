#include "portable/profile_text.h"

#include <string_view>

#include "portable/case_fold.h"
#include "portable/codepage.h"
#include "portable/text_rules.h"

namespace vt {

namespace {

constexpr wchar_t CarriageReturn = L'\r';
constexpr wchar_t LineFeed = L'\n';

// Names match without regard to letter case, by the same rule as the rest of the
// program's case-blind matching.
bool SameName(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && UpperCaseText(a) == UpperCaseText(b);
}

std::wstring Trimmed(std::wstring_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileBlank(text[begin])) ++begin;
  while (end > begin && IsProfileBlank(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

// What Windows' profile service reads of a line: up to a NUL in it, if there is one.
std::wstring_view Readable(const std::wstring& line) {
  return std::wstring_view(line).substr(0, line.find(L'\0'));
}

// A line break, or a NUL, which ends what is read of a line.
bool HasLineBreak(const std::wstring& text) {
  return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring::npos;
}

// The section name when the line opens a section.
std::optional<std::wstring> SectionName(const std::wstring& line) {
  const std::wstring_view text = Readable(line);
  std::size_t start = 0;
  while (start < text.size() && IsProfileBlank(text[start])) ++start;
  if (start == text.size() || text[start] != L'[') return std::nullopt;
  const std::size_t close = text.find(L']', start + 1);
  return Trimmed(text.substr(
      start + 1, close == std::wstring_view::npos ? std::wstring_view::npos : close - start - 1));
}

struct KeyLine {
  std::wstring key;
  std::size_t equals;  // position of the first "=" in the line
};

// The key when the line holds one; comment lines and section headers never do.
std::optional<KeyLine> KeyOf(const std::wstring& line) {
  const std::wstring_view text = Readable(line);
  std::size_t first = 0;
  while (first < text.size() && IsProfileBlank(text[first])) ++first;
  if (first == text.size() || text[first] == L';' || text[first] == L'[') return std::nullopt;
  const std::size_t equals = text.find(L'=');
  if (equals == std::wstring_view::npos) return std::nullopt;
  return KeyLine{Trimmed(text.substr(0, equals)), equals};
}

std::wstring Unquoted(const std::wstring& value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The value of a key line (its "=" at `equals`) as a read gives it.
std::wstring ValueOf(const std::wstring& line, std::size_t equals) {
  return Unquoted(Trimmed(Readable(line).substr(equals + 1)));
}

void AppendUtf16(std::string& bytes, std::uint32_t unit) {
  bytes.push_back(static_cast<char>(unit & 0xFF));
  bytes.push_back(static_cast<char>(unit >> 8));
}

}  // namespace

bool IsProfileBlank(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(static_cast<char32_t>(c));
  if (u == 0x20 || (u >= 0x09 && u <= 0x0D) || u == 0x1A) return true;
  return u == 0x85 || u == 0xA0 || u == 0x1680 || (u >= 0x2000 && u <= 0x200A) || u == 0x2028 ||
         u == 0x2029 || u == 0x202F || u == 0x205F || u == 0x3000;
}

ProfileText DecodeProfileFile(const std::string& bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return {DecodeCp1252(bytes), ProfileEncoding::Ansi};
  }
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t unit =
        static_cast<unsigned char>(bytes[i]) |
        (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    // A surrogate pair is one character; a lone surrogate stays as it is.
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      const std::uint32_t low =
          static_cast<unsigned char>(bytes[i + 2]) |
          (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 3])) << 8);
      if (low >= 0xDC00 && low < 0xE000 && sizeof(wchar_t) >= 4) {
        text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    text.push_back(static_cast<wchar_t>(unit));
  }
  return {text, ProfileEncoding::Utf16Le};
}

std::string EncodeProfileFile(const std::wstring& text, ProfileEncoding encoding) {
  if (encoding == ProfileEncoding::Ansi) return EncodeCp1252(text);
  std::string bytes("\xFF\xFE", 2);
  bytes.reserve(2 + 2 * text.size());
  for (wchar_t c : text) {
    const auto u = static_cast<std::uint32_t>(static_cast<char32_t>(c));
    if (u >= 0x10000) {
      AppendUtf16(bytes, 0xD800 + ((u - 0x10000) >> 10));
      AppendUtf16(bytes, 0xDC00 + ((u - 0x10000) & 0x3FF));
    } else {
      AppendUtf16(bytes, u);
    }
  }
  return bytes;
}

ProfileDocument::ProfileDocument(const std::wstring& text, ProfileEncoding encoding)
    : encoding_(encoding) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of(L"\r\n", start);
    Line line;
    if (end == std::wstring::npos) {
      line.text = text.substr(start);
      start = text.size();
    } else {
      line.text = text.substr(start, end - start);
      const bool crlf =
          text[end] == CarriageReturn && end + 1 < text.size() && text[end + 1] == LineFeed;
      line.ending = text.substr(end, crlf ? 2 : 1);
      start = end + line.ending.size();
    }
    lines_.push_back(std::move(line));
  }
  // New lines take the file's own line break; a UTF-16 file is written with CRLF.
  eol_ = L"\r\n";
  if (encoding_ == ProfileEncoding::Ansi && text.find(L"\r\n") == std::wstring::npos) {
    if (text.find(LineFeed) != std::wstring::npos) {
      eol_ = L"\n";
    } else if (text.find(CarriageReturn) != std::wstring::npos) {
      eol_ = L"\r";
    }
  }
}

std::size_t ProfileDocument::FindSection(const std::wstring& section, std::size_t& end) const {
  const std::wstring wanted = Trimmed(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::optional<std::wstring> name = SectionName(lines_[i].text);
    if (!name || !SameName(*name, wanted)) continue;
    end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return i;
  }
  return std::wstring::npos;
}

std::optional<std::size_t> ProfileDocument::FindLine(const std::wstring& section,
                                                     const std::wstring& key) const {
  std::size_t end = 0;
  const std::size_t header = FindSection(section, end);
  if (header == std::wstring::npos) return std::nullopt;
  const std::wstring wanted = Trimmed(key);
  for (std::size_t i = header + 1; i < end; ++i) {
    const std::optional<KeyLine> line = KeyOf(lines_[i].text);
    if (line && SameName(line->key, wanted)) return i + 1;
  }
  return std::nullopt;
}

std::optional<std::wstring> ProfileDocument::Find(const std::wstring& section,
                                                  const std::wstring& key) const {
  const std::optional<std::size_t> number = FindLine(section, key);
  if (!number) return std::nullopt;
  const std::wstring& text = lines_[*number - 1].text;
  return ValueOf(text, text.find(L'='));  // where KeyOf found it for FindLine
}

void ProfileDocument::EndWithLineBreak(Line& line) const {
  if (line.ending.empty()) line.ending = eol_;
}

bool ProfileDocument::Set(const std::wstring& rawSection, const std::wstring& rawKey,
                          const std::wstring& value) {
  const std::wstring section = Trimmed(rawSection);
  const std::wstring key = Trimmed(rawKey);
  if (HasLineBreak(section) || section.find(L']') != std::wstring::npos || HasLineBreak(key) ||
      key.find(L'=') != std::wstring::npos || key.empty() || key.front() == L';' ||
      key.front() == L'[' || HasLineBreak(value)) {
    return false;
  }
  std::size_t end = 0;
  const std::size_t header = FindSection(section, end);
  if (header == std::wstring::npos) {
    if (!lines_.empty()) EndWithLineBreak(lines_.back());
    lines_.push_back({L"[" + section + L"]", eol_});
    lines_.push_back({key + L"=" + value, eol_});
    return true;
  }
  std::size_t last = header;  // the last line of the section that is not blank
  for (std::size_t i = header + 1; i < end; ++i) {
    const std::optional<KeyLine> line = KeyOf(lines_[i].text);
    if (line && SameName(line->key, key)) {
      lines_[i].text = lines_[i].text.substr(0, line->equals + 1) + value;
      EndWithLineBreak(lines_[i]);
      return true;
    }
    if (!Trimmed(lines_[i].text).empty()) last = i;
  }
  EndWithLineBreak(lines_[last]);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                Line{key + L"=" + value, eol_});
  return true;
}

std::vector<std::pair<std::wstring, std::wstring>> ProfileDocument::Keys() const {
  std::vector<std::pair<std::wstring, std::wstring>> keys;
  for (const Entry& entry : Entries()) {
    if (entry.key) keys.emplace_back(entry.section, *entry.key);
  }
  return keys;
}

std::vector<ProfileDocument::Entry> ProfileDocument::Entries() const {
  std::vector<Entry> entries;
  std::optional<std::wstring> section;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::wstring& text = lines_[i].text;
    if (const std::optional<std::wstring> name = SectionName(text)) {
      section = name;
      entries.push_back({i + 1, *name, std::nullopt, {}});
    } else if (const std::optional<KeyLine> key = KeyOf(text); key && section) {
      entries.push_back({i + 1, *section, key->key, ValueOf(text, key->equals)});
    }
  }
  return entries;
}

std::wstring ProfileDocument::Text() const {
  std::wstring text;
  for (const Line& line : lines_) text += line.text + line.ending;
  return text;
}

std::optional<std::int32_t> ProfileInteger(const std::wstring& value) {
  if (value.empty()) return std::nullopt;
  std::size_t i = 0;
  while (i < value.size() && static_cast<std::uint32_t>(static_cast<char32_t>(value[i])) <= 0x20)
    ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) negative = value[i++] == L'-';
  std::uint32_t base = 10;
  if (i + 1 < value.size() && value[i] == L'0') {
    const wchar_t prefix = value[i + 1];
    base = prefix == L'x' ? 16 : prefix == L'o' ? 8 : prefix == L'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  std::uint32_t number = 0;
  for (; i < value.size(); ++i) {
    const int digit = DigitValue(value[i]);
    if (digit >= static_cast<int>(base)) break;
    number = number * base + static_cast<std::uint32_t>(digit);
  }
  if (negative) number = 0U - number;
  return static_cast<std::int32_t>(number);
}

std::optional<std::wstring> FindProfileValue(const std::wstring& content,
                                             const std::wstring& section, const std::wstring& key) {
  return ProfileDocument(content).Find(section, key);
}

std::optional<std::wstring> SetProfileValue(const std::wstring& content,
                                            const std::wstring& section, const std::wstring& key,
                                            const std::wstring& value) {
  ProfileDocument document(content);
  if (!document.Set(section, key, value)) return std::nullopt;
  return document.Text();
}

std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
                                            const std::string& key) {
  const std::optional<std::wstring> value =
      FindProfileValue(DecodeCp1252(content), DecodeCp1252(section), DecodeCp1252(key));
  if (!value) return std::nullopt;
  return EncodeCp1252(*value);
}

std::optional<std::string> SetProfileValue(const std::string& content, const std::string& section,
                                           const std::string& key, const std::string& value) {
  const std::optional<std::wstring> updated = SetProfileValue(
      DecodeCp1252(content), DecodeCp1252(section), DecodeCp1252(key), DecodeCp1252(value));
  if (!updated) return std::nullopt;
  return EncodeCp1252(*updated);
}

}  // namespace vt
