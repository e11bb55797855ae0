#pragma once

#include <cstddef>

// The resident memory of this process, in bytes, as the kernel counts it now; 0 when it
// cannot be read.
std::size_t residentBytes();
