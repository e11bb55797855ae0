#include "race/photo/photoerrors.h"

#include "base/cp1252.h"

#include <cstring>

namespace quorvel::race {

PhotoFailure cannotCreateFile(const QString& path, const Text& reason)
{
    return PhotoFailure(format("Cannot create file \"%s\". %s", toCp1252(path).constData(), reason.constData()));
}

PhotoFailure cannotOpenFile(const QString& path, const Text& reason)
{
    return PhotoFailure(format("Cannot open file \"%s\". %s", toCp1252(path).constData(), reason.constData()));
}

Text systemReason(int error)
{
    return Text(std::strerror(error));
}

} // namespace quorvel::race
