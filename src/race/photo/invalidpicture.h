#pragma once

#include "base/failure.h"

#include <QImage>

namespace quorvel::race {

// Thrown inside a decoder when the bytes break the format's structure; each public
// decoder turns it into its own message.
struct InvalidPicture { };

[[noreturn]] inline void invalidPicture()
{
    throw InvalidPicture{};
}

inline void require(bool condition)
{
    if (!condition)
        invalidPicture();
}

// Runs a decoder's reading and raises its message for a picture that does not decode.
template <class Read> QImage decodeOrFail(Read&& read, const char* message)
{
    try {
        return read();
    } catch (const InvalidPicture&) {
        throw Failure(message);
    }
}

} // namespace quorvel::race
