// A stand-in for mpr.dll, for the end-to-end tests only (never shipped): its
// WNetAddConnection2A records what it was given in the file named by
// VODU_MPR_RECORD, waits VODU_MPR_DELAY_MS milliseconds, and reports success.
#include <windows.h>
#include <winnetwk.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char* OrNull(const char* text) {
  return text == nullptr ? "(null)" : text;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI
    WNetAddConnection2A(LPNETRESOURCEA resource, LPCSTR password, LPCSTR user, DWORD flags) {
  if (const char* path = std::getenv("VODU_MPR_RECORD")) {
    if (std::FILE* record = std::fopen(path, "a")) {
      std::fprintf(record,
                   "scope=%lu type=%lu display=%lu usage=%lu local=%s remote=%s comment=%s "
                   "provider=%s password=%s user=%s flags=0x%lx\n",
                   resource->dwScope, resource->dwType, resource->dwDisplayType, resource->dwUsage,
                   OrNull(resource->lpLocalName), OrNull(resource->lpRemoteName),
                   OrNull(resource->lpComment), OrNull(resource->lpProvider), OrNull(password),
                   OrNull(user), flags);
      std::fclose(record);
    }
  }
  if (const char* delay = std::getenv("VODU_MPR_DELAY_MS"))
    ::Sleep(std::strtoul(delay, nullptr, 10));
  return NO_ERROR;
}
