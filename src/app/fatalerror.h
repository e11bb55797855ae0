#pragma once

#include "base/text.h"

namespace quorvel::app {

// The modal "Application Error" box of a fatal start-up failure; returns when dismissed.
void showFatalError(const Text& message);

} // namespace quorvel::app
