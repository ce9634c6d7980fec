// The core's text is UTF-8; the system's is UTF-16. Every path and every text the user sees crosses here,
// on its way to or from a "...W" call.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace launchwick::win32 {

// UTF-8 to UTF-16. A byte that starts no valid sequence becomes U+FFFD, as the system converts it.
std::wstring Wide(std::string_view utf8);
// The same into wide, whose memory is kept when the text fits it.
void AssignWide(std::wstring& wide, std::string_view utf8);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view wide);

// UTF-8 to the ANSI code page, for the trace lines. ASCII text stays as it is; a character the code page
// lacks comes out as the system's conversion writes it.
std::string Ansi(std::string_view utf8);

// A path or text for a wide call: the one rule for every text that crosses into one. Fails the statement
// when the text holds a NUL: the call would see only the characters before it, which are not the caller's
// text.
std::wstring Terminated(const std::string& utf8);

// The same for an optional argument, and the pointer the call takes for it: null when absent.
std::optional<std::wstring> WideIf(const std::optional<std::string>& utf8);
const wchar_t* OrNull(const std::optional<std::wstring>& wide) noexcept;

} // namespace launchwick::win32
