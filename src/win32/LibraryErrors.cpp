// The GNU C++ library's error paths (a string or vector grown past its limit, at() out of range), linked
// into the program in place of the library's own. Those build their exceptions with copy-on-write strings
// and a printf-like formatter, about 35 KB of code for texts the program never shows. These throw an
// exception carrying the library's fixed text, which every handler of the program catches as it caught
// the original, and allocate nothing.
// Built with GCC only (see CMakeLists.txt). Should new code call another std::__throw_* function, the
// library's versions come back and the link fails on the names defined twice: add the missing one here.
#include <exception>
#include <new>

namespace {

class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* text) noexcept : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;
};

} // namespace

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char* text) {
    throw LibraryError(text);
}

void __throw_logic_error(const char* text) {
    throw LibraryError(text);
}

// The format's arguments (index and size) only ever went into the message.
void __throw_out_of_range_fmt(const char* format, ...) {
    throw LibraryError(format);
}

} // namespace std
