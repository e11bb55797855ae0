#pragma once

#include "base/text.h"

#include <QByteArray>

namespace quorvel::race {

// A lane's vehicle row as the photo cache reads it (qryDadosPilotoA / qryDadosPilotoB).
// The database layer's query is adapted to it; tests give rows of their own.
class PhotoRow {
public:
    virtual ~PhotoRow() = default;
    // The query is open, has a current row, and its FOTO_PILOTO is not NULL.
    virtual bool hasPhoto() const = 0;
    // NOME_ARQ_FOTO of the current row.
    virtual Text fileName() const = 0;
    // FOTO_PILOTO of the current row; raises the database's failure when it cannot be read.
    virtual QByteArray photoBytes() const = 0;
};

} // namespace quorvel::race
