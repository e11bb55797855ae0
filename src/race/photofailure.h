#pragma once

#include "base/failure.h"

namespace quorvel::race {

// A photo file that cannot be written or read. Photos are never on air, so such a
// failure is logged and the run reset or the lights-off view goes on without the photo,
// where a database failure still ends them.
class PhotoFailure : public Failure {
public:
    using Failure::Failure;
};

} // namespace quorvel::race
