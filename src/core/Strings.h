// Text helpers shared by the core and the Win32 layer: digits, spaces, letter case, and the fixed-width
// texts built from numbers. Every text is UTF-8; the helpers work on bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace launchwick {

// Decimal, no leading zeros or spaces, a minus sign when negative.
std::string Str(long long value);

// Appends value in decimal, zero-padded to width characters (the sign counts), as printf's "%0*d" does.
void AppendDecimal(std::string& text, long long value, std::size_t width);

// Appends value in lower-case hexadecimal, zero-padded to digits characters (none: no leading zeros), as
// printf's "%0*llx" does.
void AppendHex(std::string& text, std::uint64_t value, std::size_t digits = 0);

// "YYYY-MM-DD HH:MM:SS", each number zero-padded and never cut.
std::string DateStamp(int year, int month, int day, int hour, int minute, int second);

// Removes spaces (only spaces) at both ends.
std::string TrimSpaces(std::string_view text);

// Upper case, byte by byte, in the C locale (ASCII letters only).
std::string UpperCase(std::string_view text);

// The text a C call left in a fixed buffer: up to the first NUL, or the whole buffer when there is none.
std::string TextBeforeNul(const char* buffer, std::size_t size);
std::wstring TextBeforeNul(const wchar_t* buffer, std::size_t size);

} // namespace launchwick
