#pragma once

#include "base/text.h"

#include <exception>

namespace quorvel {

// A failure raised by any part of the program. Its message is Windows-1252 text and is
// what the operator reads in mLog, unchanged (bytes after a NUL included).
class Failure : public std::exception {
public:
    explicit Failure(const Text& message)
        : m_message(message)
    {
    }
    explicit Failure(const char* message)
        : m_message(message)
    {
    }

    const char* what() const noexcept override { return m_message.constData(); }
    const Text& message() const noexcept { return m_message; }

private:
    Text m_message;
};

// The message of any exception: a Failure's whole text, otherwise what().
Text messageOf(const std::exception& e);

// printf-style formatting into a Text, for the program's fixed messages.
Text format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace quorvel
