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
