#include <unistd.h>

#include "platform/posix/host/posix_platform.h"
#include "portable/codepage.h"

namespace vt::posix {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

// The value of the first variable whose name matches without regard to letter case, as
// on Windows; nothing when there is none.
const char* FindVariable(const std::string& name) {
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* text = *entry;
    std::size_t i = 0;
    while (i < name.size() && text[i] != '\0' && Upper(text[i]) == Upper(name[i])) ++i;
    if (i == name.size() && text[i] == '=') return text + i + 1;
  }
  return nullptr;
}

}  // namespace

EnvironmentLookup PosixPlatform::EnvironmentVariable(const std::wstring& name,
                                                     std::size_t maxLength) {
  const char* found = FindVariable(EncodeCp1252(name));
  if (found == nullptr) return EnvironmentLookup::Of(nullptr, maxLength);
  const std::wstring value = DecodeCp1252(found);
  return EnvironmentLookup::Of(&value, maxLength);
}

}  // namespace vt::posix
