#pragma once

#include "base/text.h"

namespace quorvel::race {

// Why a NOME_ARQ_FOTO cannot be used inside the photo folder, or an empty text when it
// can. A name with a folder separator, or "." or "..", would reach outside the folder
// (or name the folder itself); a NUL byte would cut the name short at the system and
// write another file than the row names.
Text unsafeFileNameReason(const Text& fileName);

} // namespace quorvel::race
