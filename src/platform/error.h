// The errors the program raises. An error that no handler catches is shown by the
// platform, naming it, and ends the process.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace vt {

class ProgramError : public std::exception {
 public:
  // `name` is the kind of error ("Subscript out of range", "Overflow"); `detail` says
  // what was being done and with what value.
  ProgramError(std::wstring name, const std::wstring& detail);

  // "name: detail", as the message box shows it.
  const std::wstring& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return narrow_.c_str(); }
  // The system's error number of a failed system call; 0 for the program's own errors.
  std::uint32_t SystemError() const noexcept { return systemError_; }

 private:
  friend ProgramError SystemCallFailed(const std::wstring&, std::uint32_t, const std::wstring&);

  std::wstring message_;
  std::uint32_t systemError_ = 0;
  std::string narrow_;
};

// An index outside a fixed table.
ProgramError SubscriptOutOfRange(const std::wstring& detail);
// A number that does not fit the 16-bit range.
ProgramError Overflow(const std::wstring& detail);
// How a failed system call is named everywhere: "CreateWindowExW failed: 1400 Invalid
// window handle."
std::wstring FailedCallText(const std::wstring& call, std::uint32_t error,
                            const std::wstring& text);

// A system call that failed, as the program's error that ends it.
ProgramError SystemCallFailed(const std::wstring& call, std::uint32_t error,
                              const std::wstring& text);

}  // namespace vt
