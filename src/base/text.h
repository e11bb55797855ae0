#pragma once

#include <QByteArray>
#include <QList>

namespace quorvel {

// Every text of the system is a single-byte string in Windows-1252, the code page of the
// timing server's world. It is converted to Unicode only when drawn.
using Text = QByteArray;
using TextList = QList<QByteArray>;

} // namespace quorvel
