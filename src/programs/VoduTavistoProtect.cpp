// VoduTavistoProtect: makes the value of a ProtectedPasswordN key for Windows stations.
//
//   VoduTavistoProtect.exe [--user]
//
// It asks for the password twice without echo (or reads one line from standard input
// when that is not a console) and prints "dpapi:" and the base64 of the DPAPI blob of
// the password's UTF-16LE bytes: for the machine (any account on this machine can
// unprotect it, so the administrator who prepares the file need not be the station's
// user), or with --user for the current user only.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "portable/base16_64.h"
#include "portable/secret_text.h"

namespace {

void Say(const std::wstring& text) {
  DWORD written = 0;
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (!::WriteConsoleW(error, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    const std::string narrow(text.begin(), text.end());
    ::WriteFile(error, narrow.data(), static_cast<DWORD>(narrow.size()), &written, nullptr);
  }
}

int Fail(const std::wstring& what) {
  Say(L"VoduTavistoProtect: " + what + L"\r\n");
  return 1;
}

std::wstring SystemText(DWORD error) {
  wchar_t text[512] = {};
  ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, 512, nullptr);
  std::wstring line = text;
  while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
  return std::to_wstring(error) + L" " + line;
}

// One line typed at the console, not shown.
bool ReadHidden(HANDLE input, const wchar_t* prompt, std::wstring& line) {
  Say(prompt);
  DWORD mode = 0;
  ::GetConsoleMode(input, &mode);
  ::SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  wchar_t buffer[1024] = {};
  DWORD read = 0;
  const BOOL ok = ::ReadConsoleW(input, buffer, 1023, &read, nullptr);
  ::SetConsoleMode(input, mode);
  Say(L"\r\n");
  line.assign(buffer, read);
  ::SecureZeroMemory(buffer, sizeof buffer);
  while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
  return ok != FALSE;
}

// One line from a pipe or a file: UTF-8, or else the system code page.
bool ReadPiped(HANDLE input, std::wstring& line) {
  std::string bytes;
  char c = 0;
  DWORD read = 0;
  while (::ReadFile(input, &c, 1, &read, nullptr) && read == 1 && c != '\n') bytes.push_back(c);
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  UINT codePage = CP_UTF8;
  int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, 0);
  if (length == 0 && !bytes.empty()) {
    codePage = CP_ACP;
    length = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                   nullptr, 0);
  }
  line.assign(static_cast<std::size_t>(length), L'\0');
  if (length > 0) {
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &line[0],
                          length);
  }
  vt::Wipe(bytes);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD scope = CRYPTPROTECT_LOCAL_MACHINE;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--user") {
      scope = 0;
    } else {
      Say(L"usage: VoduTavistoProtect.exe [--user]\r\n"
          L"  prints the dpapi: value of a password for ProtectedPasswordN, for this machine\r\n"
          L"  (or, with --user, for the current user only)\r\n");
      return argument == L"--help" ? 0 : 2;
    }
  }
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  std::wstring password;
  if (::GetConsoleMode(input, &mode)) {
    std::wstring again;
    if (!ReadHidden(input, L"Password: ", password) || !ReadHidden(input, L"Again: ", again))
      return Fail(L"no password was read");
    const bool same = password == again;
    vt::Wipe(again);
    if (!same) {
      vt::Wipe(password);
      return Fail(L"the two passwords differ");
    }
  } else {
    ReadPiped(input, password);
  }

  DATA_BLOB in{static_cast<DWORD>(password.size() * sizeof(wchar_t)),
               reinterpret_cast<BYTE*>(password.empty() ? nullptr : &password[0])};
  DATA_BLOB out{};
  const BOOL made = ::CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr,
                                       scope | CRYPTPROTECT_UI_FORBIDDEN, &out);
  const DWORD error = ::GetLastError();
  vt::Wipe(password);
  if (!made) return Fail(L"CryptProtectData failed: " + SystemText(error));
  const std::string value = "dpapi:" + vt::EncodeBase64(std::string(
                                           reinterpret_cast<const char*>(out.pbData), out.cbData));
  ::LocalFree(out.pbData);
  std::fputs((value + "\n").c_str(), stdout);
  return 0;
}
