#include "base/failure.h"

#include <cstdarg>
#include <cstdio>

namespace quorvel {

Text messageOf(const std::exception& e)
{
    if (const auto* failure = dynamic_cast<const Failure*>(&e))
        return failure->message();
    return Text(e.what());
}

Text format(const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    Text out;
    if (size > 0) {
        out.resize(size);
        std::vsnprintf(out.data(), static_cast<size_t>(size) + 1, pattern, args);
    }
    va_end(args);
    return out;
}

} // namespace quorvel
