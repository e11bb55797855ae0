#pragma once

#include "base/text.h"

#include <QString>

namespace quorvel::race {

// "fotopilotos" in the executable's folder: its path up to the last folder separator,
// then the folder's name, without a trailing separator. A non-empty override (tests)
// takes its place.
QString photoFolderPath(const Text& override);

// Creates the folder, one level, when no folder of that path exists. A failure is left
// for the first file written into it to report.
void ensureFolder(const QString& path);

} // namespace quorvel::race
