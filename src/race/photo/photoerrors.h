#pragma once

#include "base/systemtext.h"
#include "race/photofailure.h"

#include <QString>

namespace quorvel::race {

// Photo-file failures are PhotoFailures: the display logs them and carries on, where a
// database failure while the photo is read ends the run reset.

// "Cannot create file "<path>". <reason>"
PhotoFailure cannotCreateFile(const QString& path, const Text& reason);
// "Cannot open file "<path>". <reason>"
PhotoFailure cannotOpenFile(const QString& path, const Text& reason);

} // namespace quorvel::race
