// How the settings file's bytes are to be read. The system's profile reader takes a file with a UTF-16 LE
// mark as Unicode and anything else as the ANSI code page; a file saved as UTF-8 or UTF-16 BE is read
// through a UTF-16 LE copy instead, so that the system's reader still applies its own rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace launchwick {

enum class SettingsEncoding {
    Ansi,     // no mark, and not UTF-8 with at least one non-ASCII character: the ANSI code page
    Utf16Le,  // FF FE: read as it is
    Utf16Be,  // FE FF
    Utf8Mark, // EF BB BF
    Utf8,     // no mark, the whole file valid UTF-8 with at least one non-ASCII sequence
};

// Decided from the whole file: the first non-ASCII byte of an edited default file comes late.
SettingsEncoding SettingsFileEncoding(std::string_view bytes) noexcept;

// True for the encodings that are read through a UTF-16 LE copy.
bool NeedsUnicodeCopy(SettingsEncoding encoding) noexcept;

// The copy: FF FE, then the text after the file's own mark in UTF-16 LE. In UTF-8, a byte that starts no
// valid sequence becomes U+FFFD; in UTF-16 BE, an odd last byte is dropped.
std::string Utf16LeCopy(std::string_view bytes, SettingsEncoding encoding);

} // namespace launchwick
