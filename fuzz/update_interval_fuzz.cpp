// The check interval's number reading: never crashes; what does not fit 16 bits is the
// overflow error and nothing else.
#include <cstdlib>

#include "config/number_reading.h"
#include "platform/error.h"
#include "portable/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text =
      vt::DecodeCp1252(std::string(reinterpret_cast<const char*>(data), size));
  const double number = vt::ReadLeadingNumber(text);
  try {
    const std::int16_t minutes = vt::RoundToInt16(number, L"UpdateInterval");
    if (minutes < number - 0.5 || minutes > number + 0.5) std::abort();
  } catch (const vt::ProgramError& error) {
    if (error.Message().rfind(L"Overflow: ", 0) != 0) std::abort();
    if (number >= -32768.5 && number < 32767.5) std::abort();
  }
  return 0;
}
