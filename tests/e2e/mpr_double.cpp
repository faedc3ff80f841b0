// A stand-in for mpr.dll, for the end-to-end tests only (never shipped): its
// WNetAddConnection2A records what it was given in the file named by VODU_MPR_RECORD
// (an empty text as "", none as (null)), waits VODU_MPR_DELAY_MS milliseconds, and
// reports success.
#include <windows.h>
#include <winnetwk.h>

#include <cstdio>
#include <cstdlib>

namespace {

// None and the empty text mean different things to the router: show which came.
const char* Shown(const char* text) {
  if (text == nullptr) return "(null)";
  return *text == '\0' ? "\"\"" : text;
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
                   Shown(resource->lpLocalName), Shown(resource->lpRemoteName),
                   Shown(resource->lpComment), Shown(resource->lpProvider), Shown(password),
                   Shown(user), flags);
      std::fclose(record);
    }
  }
  if (const char* delay = std::getenv("VODU_MPR_DELAY_MS"))
    ::Sleep(std::strtoul(delay, nullptr, 10));
  return NO_ERROR;
}
