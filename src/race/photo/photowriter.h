#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::race {

// Creates the file or empties an existing one, then writes the bytes. Raises
// "Cannot create file "%s". %s" with the system's reason when the file cannot be
// created, and also when the bytes cannot all be written (a full disk), so that a
// short photo is never taken for a stored one.
void writePhotoFile(const QString& path, const QByteArray& bytes);

} // namespace quorvel::race
