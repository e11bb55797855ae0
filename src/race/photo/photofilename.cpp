#include "race/photo/photofilename.h"

#include "race/photo/photoerrors.h"

#include <cerrno>

namespace quorvel::race {

Text unsafeFileNameReason(const Text& fileName)
{
    if (fileName.contains('/') || fileName.contains('\\'))
        return Text("The file name must not contain a folder separator");
    if (fileName == "." || fileName == "..")
        return Text("The file name must not name a folder");
    if (fileName.contains('\0'))
        return systemReason(EINVAL);
    return Text();
}

} // namespace quorvel::race
