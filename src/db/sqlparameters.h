#pragma once

#include "base/text.h"

#include <QList>

#include <optional>

namespace quorvel::db {

// The named parameters of an SQL text, written as a colon and a name (":cod_evento").
// Each holds a signed 32-bit integer or nothing; nothing is sent as NULL, so that a
// comparison with it matches no row.
class SqlParameters {
public:
    // Finds the parameters in the text; a colon inside a quoted literal is not one.
    explicit SqlParameters(const Text& sql);

    // Names compare without regard to case. Returns false for a name the text lacks.
    bool set(const Text& name, std::optional<qint32> value);
    bool contains(const Text& name) const;

    // The text with every parameter replaced by its integer literal or NULL.
    Text bound() const;

private:
    struct Piece {
        Text sql; // the text before the parameter, or the tail of the whole text
        int parameter; // index into m_parameters, -1 for the tail
    };
    struct Parameter {
        Text name;
        std::optional<qint32> value;
    };
    int indexOf(const Text& name) const;

    QList<Piece> m_pieces;
    QList<Parameter> m_parameters;
};

} // namespace quorvel::db
