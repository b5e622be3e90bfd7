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

// A file that could not be replaced, or a folder that could not be written into, because another program
// holds it (or may hold it: the caller finds out who). `Code` is the system's error code.
class TFileInUse : public TError {
public:
    TFileInUse(std::wstring message, std::wstring path, unsigned long code)
        : TError(std::move(message)), FPath(std::move(path)), FCode(code) {}
    const std::wstring& Path() const noexcept { return FPath; }
    unsigned long Code() const noexcept { return FCode; }

private:
    std::wstring FPath;
    unsigned long FCode;
};

// The user chose to stop after being told why: the stop is recorded, but no error box repeats it.
class TCancelled : public TError {
public:
    using TError::TError;
};
