// Any bytes as a profile file (ANSI or UTF-16), any section, key and value: after a
// write, reading the written key gives the value written where the syntax can hold it,
// every other key reads as before, and the written text reads back as it was held.
#include <cstdlib>

#include "fuzz_input.h"
#include "portable/case_fold.h"
#include "portable/codepage.h"
#include "portable/profile_text.h"

namespace {

std::wstring Trimmed(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && vt::IsProfileBlank(text[begin])) ++begin;
  while (end > begin && vt::IsProfileBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool Same(const std::wstring& a, const std::wstring& b) {
  return vt::UpperCaseText(Trimmed(a)) == vt::UpperCaseText(Trimmed(b));
}

// Whether a read gives this value back as written: no blanks around it, no quotes.
bool Representable(const std::wstring& value) {
  if (value != Trimmed(value)) return false;
  return !(value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
           value.back() == value.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = vt::fuzz::Parts(data, size, 4);
  const std::wstring section = vt::DecodeCp1252(parts[0]);
  const std::wstring key = vt::DecodeCp1252(parts[1]);
  const std::wstring value = vt::DecodeCp1252(parts[2]);
  const vt::ProfileText file = vt::DecodeProfileFile(parts[3]);

  const vt::ProfileDocument before(file.text, file.encoding);
  vt::ProfileDocument after = before;
  if (!after.Set(section, key, value)) return 0;

  if (Representable(value) && after.Find(section, key) != value) std::abort();
  for (const auto& [otherSection, otherKey] : before.Keys()) {
    if (Same(otherSection, section) && Same(otherKey, key)) continue;
    if (after.Find(otherSection, otherKey) != before.Find(otherSection, otherKey)) std::abort();
  }
  // What is written to the file reads back as it was held in memory.
  const vt::ProfileText written =
      vt::DecodeProfileFile(vt::EncodeProfileFile(after.Text(), after.Encoding()));
  if (written.encoding != file.encoding) std::abort();
  if (vt::ProfileDocument(written.text, written.encoding).Find(section, key) !=
      after.Find(section, key)) {
    std::abort();
  }
  return 0;
}
