// A stand-in for mpr.dll, for the end-to-end tests only (never shipped): its
// WNetAddConnection2A and WNetAddConnection2W record what they were given in the file
// named by VODU_MPR_RECORD, one line a call beginning with "A" or "W" (texts in UTF-8,
// an empty text as "", none as (null)), wait VODU_MPR_DELAY_MS milliseconds, and report
// success. While the file named by VODU_MPR_NO_NETWORK exists they answer as Wine's own
// router does here, ERROR_NO_NETWORK, and record nothing.
#include <windows.h>
#include <winnetwk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// None and the empty text mean different things to the router: show which came.
std::string Shown(const char* text) {
  if (text == nullptr) return "(null)";
  return *text == '\0' ? "\"\"" : text;
}

std::string Shown(const wchar_t* text) {
  if (text == nullptr) return "(null)";
  if (*text == L'\0') return "\"\"";
  char utf8[1024] = {};
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

template <typename Resource, typename Text>
DWORD Record(const char* call, Resource* resource, Text password, Text user, DWORD flags) {
  if (const char* marker = std::getenv("VODU_MPR_NO_NETWORK")) {
    if (::GetFileAttributesA(marker) != INVALID_FILE_ATTRIBUTES) return ERROR_NO_NETWORK;
  }
  if (const char* path = std::getenv("VODU_MPR_RECORD")) {
    if (std::FILE* record = std::fopen(path, "a")) {
      std::fprintf(record,
                   "%s scope=%lu type=%lu display=%lu usage=%lu local=%s remote=%s comment=%s "
                   "provider=%s password=%s user=%s flags=0x%lx\n",
                   call, resource->dwScope, resource->dwType, resource->dwDisplayType,
                   resource->dwUsage, Shown(resource->lpLocalName).c_str(),
                   Shown(resource->lpRemoteName).c_str(), Shown(resource->lpComment).c_str(),
                   Shown(resource->lpProvider).c_str(), Shown(password).c_str(),
                   Shown(user).c_str(), flags);
      std::fclose(record);
    }
  }
  if (const char* delay = std::getenv("VODU_MPR_DELAY_MS"))
    ::Sleep(std::strtoul(delay, nullptr, 10));
  return NO_ERROR;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI
    WNetAddConnection2A(LPNETRESOURCEA resource, LPCSTR password, LPCSTR user, DWORD flags) {
  return Record("A", resource, password, user, flags);
}

extern "C" __declspec(dllexport) DWORD WINAPI
    WNetAddConnection2W(LPNETRESOURCEW resource, LPCWSTR password, LPCWSTR user, DWORD flags) {
  return Record("W", resource, password, user, flags);
}
