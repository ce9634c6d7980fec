#include "Encoding.h"

namespace launchwick {

namespace {

constexpr std::string_view utf16LeMark = "\xFF\xFE";
constexpr std::string_view utf16BeMark = "\xFE\xFF";
constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";

bool StartsWith(std::string_view bytes, std::string_view mark) noexcept {
    return bytes.substr(0, mark.size()) == mark;
}

void AppendUnit(std::string& out, unsigned unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8 & 0xFF);
}

void AppendUtf16(std::string& out, char32_t codePoint) {
    if (codePoint >= 0x10000) {
        const auto rest = static_cast<unsigned>(codePoint - 0x10000);
        AppendUnit(out, 0xD800 | rest >> 10);
        AppendUnit(out, 0xDC00 | (rest & 0x3FF));
    } else {
        AppendUnit(out, static_cast<unsigned>(codePoint));
    }
}

// The length of the valid UTF-8 sequence (RFC 3629) at the start of bytes, 0 when there is none; stores its
// code point.
std::size_t Utf8Sequence(std::string_view bytes, char32_t& codePoint) noexcept {
    if (bytes.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        lowest = 0x10000;
    } else {
        return 0; // a continuation byte, an overlong lead (C0, C1) or beyond U+10FFFF (F5 and up)
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = value << 6 | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if (value < lowest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        return 0;
    }
    codePoint = value;
    return length;
}

} // namespace

SettingsEncoding SettingsFileEncoding(std::string_view bytes) noexcept {
    if (StartsWith(bytes, utf16LeMark)) {
        return SettingsEncoding::Utf16Le;
    }
    if (StartsWith(bytes, utf16BeMark)) {
        return SettingsEncoding::Utf16Be;
    }
    if (StartsWith(bytes, utf8Mark)) {
        return SettingsEncoding::Utf8Mark;
    }
    bool nonAscii = false;
    while (!bytes.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(bytes, codePoint);
        if (length == 0) {
            return SettingsEncoding::Ansi;
        }
        nonAscii = nonAscii || length > 1;
        bytes.remove_prefix(length);
    }
    return nonAscii ? SettingsEncoding::Utf8 : SettingsEncoding::Ansi;
}

bool NeedsUnicodeCopy(SettingsEncoding encoding) noexcept {
    return encoding == SettingsEncoding::Utf16Be || encoding == SettingsEncoding::Utf8Mark ||
           encoding == SettingsEncoding::Utf8;
}

std::string Utf16LeCopy(std::string_view bytes, SettingsEncoding encoding) {
    std::string copy(utf16LeMark);
    switch (encoding) {
    case SettingsEncoding::Utf16Be:
        for (std::size_t i = utf16BeMark.size(); i + 1 < bytes.size(); i += 2) {
            copy += bytes[i + 1];
            copy += bytes[i];
        }
        break;
    case SettingsEncoding::Utf16Le:
        copy.append(bytes.substr(utf16LeMark.size()));
        break;
    case SettingsEncoding::Utf8Mark:
    case SettingsEncoding::Utf8:
    case SettingsEncoding::Ansi:
        if (StartsWith(bytes, utf8Mark)) {
            bytes.remove_prefix(utf8Mark.size());
        }
        copy.reserve(copy.size() + 2 * bytes.size());
        while (!bytes.empty()) {
            char32_t codePoint = 0xFFFD;
            const std::size_t length = Utf8Sequence(bytes, codePoint);
            AppendUtf16(copy, length == 0 ? 0xFFFD : codePoint);
            bytes.remove_prefix(length == 0 ? 1 : length);
        }
        break;
    }
    return copy;
}

} // namespace launchwick
