#pragma once

#include "base/config.h"
#include "mariadb_server.h"

#include <gtest/gtest.h>

#include <ostream>

// Texts print as escaped strings in failure messages, not as lists of bytes.
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (char c : bytes) {
        if (c == '\n')
            *os << "\\n";
        else if (uchar(c) < 0x20 || uchar(c) >= 0x7F)
            *os << "\\x" << QByteArray(1, c).toHex().constData();
        else
            *os << c;
    }
    *os << '"';
}

namespace quorvel::test {

// Every test starts on an empty race database (schema only) in the program's private
// server; the program's own configuration (empty host, port 0) reaches it.
class RaceDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server().start();
        server().resetRaceDatabase();
    }

    static MariaDbServer& server() { return MariaDbServer::shared(); }

    Config m_config;
};

} // namespace quorvel::test
