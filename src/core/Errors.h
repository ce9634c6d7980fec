// How a statement fails: the errors that platform calls and checked arithmetic throw, and the system's codes
// that the core tells apart.
#pragma once

#include <cstdint>
#include <exception>

namespace launchwick {

// Thrown by a platform call, or by checked arithmetic, when a statement cannot complete.
// ResumeNext (ResumeNext.h) catches it so that the next statement runs. The text is a literal: throwing
// allocates nothing, and the standard library's string-holding errors stay out of the program.
class StatementError : public std::exception {
public:
    explicit StatementError(const char* text) noexcept : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;
};

// Throws StatementError with the text. Out of line: a failing statement then costs a call where it fails.
[[noreturn]] void FailStatement(const char* text);

// A program that could not be started, with the system's error code for why.
class StartError : public StatementError {
public:
    explicit StartError(std::uint32_t errorCode) : StatementError("Could not start"), code(errorCode) {}
    std::uint32_t code;
};

// The system's code for "the system cannot find the file specified".
constexpr std::uint32_t fileNotFoundError = 2;
// The system's code for "the directory name is invalid": a start-in folder that is not there.
constexpr std::uint32_t directoryError = 267;

// A system call that failed, with the system's error code for why.
class SystemError : public StatementError {
public:
    explicit SystemError(std::uint32_t errorCode) : StatementError("System error"), code(errorCode) {}
    std::uint32_t code;
};

// The system's code for a file that another process holds open in a way that forbids the request.
constexpr std::uint32_t sharingViolationError = 32;

} // namespace launchwick
