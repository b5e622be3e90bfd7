// The one error type of the program: a failure with a message the user can read.
#pragma once

#include <exception>
#include <string>

class TError : public std::exception {
public:
    explicit TError(std::wstring message) : FMessage(std::move(message)) {}
    const std::wstring& Message() const noexcept { return FMessage; }
    // Only for diagnostics that need a narrow text; the user always sees Message().
    const char* what() const noexcept override { return "TError"; }

private:
    std::wstring FMessage;
};

// A call of the system's that failed: the message says what failed and why, `Code` is the system's error
// code, for a caller that names the reason alone (a line that names the file already).
class TSystemError : public TError {
public:
    TSystemError(std::wstring message, unsigned long code) : TError(std::move(message)), FCode(code) {}
    unsigned long Code() const noexcept { return FCode; }

private:
    unsigned long FCode;
};

// A file that could not be replaced, or a folder that could not be written into, because another program
// holds it (or may hold it: the caller finds out who).
class TFileInUse : public TSystemError {
public:
    TFileInUse(std::wstring message, std::wstring path, unsigned long code)
        : TSystemError(std::move(message), code), FPath(std::move(path)) {}
    const std::wstring& Path() const noexcept { return FPath; }

private:
    std::wstring FPath;
};

// The user chose to stop after being told why: the stop is recorded, but no error box repeats it.
class TCancelled : public TError {
public:
    using TError::TError;
};
