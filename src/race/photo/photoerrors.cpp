#include "race/photo/photoerrors.h"

#include "base/cp1252.h"

namespace quorvel::race {

// Put together rather than formatted: a path may hold a NUL byte, and the message must
// show all of it.
PhotoFailure cannotCreateFile(const QString& path, const Text& reason)
{
    return PhotoFailure("Cannot create file \"" + toCp1252(path) + "\". " + reason);
}

PhotoFailure cannotOpenFile(const QString& path, const Text& reason)
{
    return PhotoFailure("Cannot open file \"" + toCp1252(path) + "\". " + reason);
}

} // namespace quorvel::race
