#pragma once

#include "base/text.h"

namespace quorvel {

// The C library's texts (strerror, hstrerror) come in the operator's language and in the
// encoding of the process's locale, UTF-8 on any current system; every message of the
// program is Windows-1252. Appended raw, "diretório" would show as "diretÃ³rio".

// A text in the locale's encoding, as Windows-1252: bytes the locale cannot decode and
// characters the code page cannot hold become "?".
Text fromLocaleText(const char* text);

// The system's reason for an error number, in the operator's language, as Windows-1252.
Text systemReason(int error);

} // namespace quorvel
