#include "portable/base16_64.h"

#include "portable/text_rules.h"

namespace vt {

namespace {

const char* const Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsIgnored(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

int Base64Value(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c - L'A';
  if (c >= L'a' && c <= L'z') return c - L'a' + 26;
  if (c >= L'0' && c <= L'9') return c - L'0' + 52;
  if (c == L'+') return 62;
  if (c == L'/') return 63;
  return -1;
}

}  // namespace

std::string EncodeBase64(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    text += Alphabet[(group >> 18) & 63];
    text += Alphabet[(group >> 12) & 63];
    text += left > 1 ? Alphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? Alphabet[group & 63] : '=';
  }
  return text;
}

std::optional<std::string> DecodeBase64(const std::wstring& text) {
  std::wstring compact;
  for (wchar_t c : text) {
    if (!IsIgnored(c)) compact.push_back(c);
  }
  if (compact.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < compact.size(); i += 4) {
    const bool last = i + 4 == compact.size();
    int padding = 0;
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const wchar_t c = compact[i + j];
      int value = Base64Value(c);
      if (c == L'=' && last && j >= 2) {
        ++padding;
        value = 0;
      } else if (value < 0 || padding > 0) {
        return std::nullopt;  // not in the alphabet, or data after padding
      }
      group = group << 6 | static_cast<std::uint32_t>(value);
    }
    bytes.push_back(static_cast<char>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<char>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<char>(group));
  }
  return bytes;
}

std::optional<std::string> DecodeHex(const std::wstring& text) {
  std::string bytes;
  int high = -1;
  for (wchar_t c : text) {
    if (IsIgnored(c)) continue;
    const int digit = DigitValue(c);
    if (digit >= 16) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

}  // namespace vt
