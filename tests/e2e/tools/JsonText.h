// JSON string quoting for the Windows test programs whose output the end-to-end harness reads. Every unit
// outside printable ASCII becomes \uXXXX, so a line stays ASCII and ANSI bytes (0x80 and up) or UTF-16
// units reach the reader with their values unchanged.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

template <typename Char> std::string JsonText(std::basic_string_view<Char> text) {
    std::string out = "\"";
    for (const Char unit : text) {
        const auto c = static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(unit));
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
