#pragma once
#include <string>
#include <string_view>

namespace shared {

// Only ASCII letters change, whatever the locale: bytes from 0x80 up stay as they are, so both
// programs and every machine agree on a lower-cased path.
char AsciiLower(char c);
char AsciiUpper(char c);
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

}  // namespace shared
