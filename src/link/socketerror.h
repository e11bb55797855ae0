#pragma once

#include "base/systemtext.h"
#include "base/text.h"

namespace quorvel::link {

// The texts of the link's failures, as the operator reads them in mLog.

// A connect, close, read or write notification that carried an error code.
Text asyncSocketError(int code);

// A socket call that failed: the platform's text for the code, the code and the call's name.
// A reason of the system's own comes through fromLocaleText first.
Text socketCallError(int code, const char* api);
Text socketCallError(const Text& reason, int code, const char* api);

inline constexpr char kCantCreateSocket[] = "Can't create new socket";

} // namespace quorvel::link
