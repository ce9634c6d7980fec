// Texts from calls that fill the caller's buffer and say when it was too small: one loop for all of them.
#pragma once

#include "Platform.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace launchwick::win32 {

// What a call answered for the buffer it was given.
struct Filled {
    bool fits;          // the whole text is in the buffer
    std::size_t length; // then its length; else the size the call asks for, 0 when it does not say
};

// The largest buffer asked for, in characters. Paths end at 32767 and expanded texts at 32768; the longest
// answer is a settings file's list of key names, which grows with the file. Past 16 Mi characters (32 MiB)
// the list is not read, and the reader looks each key up instead.
inline constexpr std::size_t largestTextBuffer = std::size_t{1} << 24;

// Calls fill with first characters, then with larger buffers until the text fits: the size the call asks
// for, at least twice the last one. Past the cap the statement fails with tooLong.
template <class Fill> std::wstring FilledText(std::size_t first, const char* tooLong, Fill fill) {
    std::wstring buffer(first, L'\0');
    for (;;) {
        const Filled filled = fill(buffer);
        if (filled.fits) {
            buffer.resize(filled.length);
            return buffer;
        }
        const std::size_t next = std::max(filled.length, buffer.size() * 2);
        if (next > largestTextBuffer) {
            FailStatement(tooLong);
        }
        buffer.resize(next);
    }
}

} // namespace launchwick::win32
