#pragma once

#include "base/config.h"
#include "db/datamodule.h"
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
// server; the program's own configuration reaches it, through its socket (empty host) or,
// with a host, over TCP on the server's port.
class RaceDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server().start();
        server().resetRaceDatabase();
        m_config.dbPort = server().port();
    }

    static MariaDbServer& server() { return MariaDbServer::shared(); }

    Config m_config;
};

// What discovery does once it has an answer: the event queries opened, then reopened with
// the open event's code and its championship's code.
inline void openEventQueries(db::DataModule& dm)
{
    dm.qryOrganizador().open();
    dm.qryEvento().open();
    dm.qryCateg().open();
    dm.qryEvento().close();
    dm.qryEvento().setParam("cod_evento", dm.qryOrganizador().asInteger("COD_EVENTO_ABERTO"));
    dm.qryEvento().open();
    dm.qryCateg().close();
    dm.qryCateg().setParam("COD_CAMPEONATO", dm.qryEvento().asInteger("COD_CAMPEONATO"));
    dm.qryCateg().open();
}

} // namespace quorvel::test
