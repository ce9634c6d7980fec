// Conversions between the core's UTF-8 and the system's UTF-16 and ANSI code page, at the layer's edge.
#include "Utf.h"

#include "Errors.h"

#include "Win32.h"

#include <algorithm>
#include <climits>

namespace launchwick::win32 {

namespace {

bool IsAscii(std::string_view text) noexcept {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Lengths beyond an int are not texts this program handles; they convert to nothing.
int Length(std::size_t size) noexcept {
    return size <= INT_MAX ? static_cast<int>(size) : 0;
}

} // namespace

void AssignWide(std::wstring& wide, std::string_view utf8) {
    // UTF-8 never takes fewer bytes than UTF-16 takes units (a byte the conversion replaces becomes one
    // unit), so one call fills a buffer of the text's length, without asking for the length first.
    const int length = Length(utf8.size());
    wide.resize(static_cast<std::size_t>(length));
    if (length != 0) {
        wide.resize(static_cast<std::size_t>(
            ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), length)));
    }
}

std::wstring Wide(std::string_view utf8) {
    std::wstring wide;
    AssignWide(wide, utf8);
    return wide;
}

namespace {

std::string Narrow(UINT codePage, std::wstring_view wide) {
    const int length = Length(wide.size());
    if (length == 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr,
                                                                    0, nullptr, nullptr)),
                     '\0');
    if (!text.empty()) {
        ::WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(), static_cast<int>(text.size()),
                              nullptr, nullptr);
    }
    return text;
}

} // namespace

std::string Utf8(std::wstring_view wide) {
    return Narrow(CP_UTF8, wide);
}

std::string Ansi(std::string_view utf8) {
    return IsAscii(utf8) ? std::string(utf8) : Narrow(CP_ACP, Wide(utf8));
}

std::wstring Terminated(const std::string& utf8) {
    if (utf8.find('\0') != std::string::npos) {
        FailStatement("Bad file name");
    }
    return Wide(utf8);
}

std::optional<std::wstring> WideIf(const std::optional<std::string>& utf8) {
    return utf8 ? std::optional<std::wstring>(Terminated(*utf8)) : std::nullopt;
}

const wchar_t* OrNull(const std::optional<std::wstring>& wide) noexcept {
    return wide ? wide->c_str() : nullptr;
}

} // namespace launchwick::win32
