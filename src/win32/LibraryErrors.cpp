// The GNU C++ library's error paths (a string or vector grown past its limit, at() out of range...), linked
// into the program in place of the library's own. Those build their exceptions with copy-on-write strings
// and a printf-like formatter, about 35 KB of code for texts the program never shows. These throw an
// exception carrying the library's fixed text, which every handler of the program catches as it caught
// the original, and allocate nothing.
// Built with GCC only (see CMakeLists.txt). Every function of the library's file is here, so that the file
// is never linked: if a new library version adds one and new code calls it, the link fails on the names
// defined twice, and the new one belongs here too. Those that no code calls cost about half a kilobyte.
#include <exception>
#include <new>
#include <typeinfo>

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

void __throw_bad_exception() {
    throw bad_exception();
}

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_bad_cast() {
    throw bad_cast();
}

void __throw_bad_typeid() {
    throw bad_typeid();
}

void __throw_logic_error(const char* text) {
    throw LibraryError(text);
}

void __throw_domain_error(const char* text) {
    throw LibraryError(text);
}

void __throw_invalid_argument(const char* text) {
    throw LibraryError(text);
}

void __throw_length_error(const char* text) {
    throw LibraryError(text);
}

void __throw_out_of_range(const char* text) {
    throw LibraryError(text);
}

// The format's arguments (an index and a size) only ever went into the message.
void __throw_out_of_range_fmt(const char* format, ...) {
    throw LibraryError(format);
}

void __throw_runtime_error(const char* text) {
    throw LibraryError(text);
}

void __throw_range_error(const char* text) {
    throw LibraryError(text);
}

void __throw_overflow_error(const char* text) {
    throw LibraryError(text);
}

void __throw_underflow_error(const char* text) {
    throw LibraryError(text);
}

} // namespace std
