#include "db/connection.h"

#include <errmsg.h>
#include <mysqld_error.h>

#include <gtest/gtest.h>

using quorvel::db::errorEndsConnection;

namespace {

// After an error that ends the connection the link must count as disconnected, so that the
// next open connects again instead of failing on a dead connection once more. The server's
// ending errors are hard to bring about on purpose (a shutdown or a kill answers one way or
// another depending on timing), so each number is checked here.
TEST(ConnectionErrors, TheLinkTreatsTheEndingErrorsAsALostConnection)
{
    struct Case {
        unsigned error;
        bool ends;
        const char* what;
    };
    const Case cases[] = {
        {CR_SERVER_GONE_ERROR, true, "2006 server has gone away"},
        {CR_SERVER_LOST, true, "2013 lost connection during query, and every time-out"},
        {CR_SERVER_LOST_EXTENDED, true, "2055 lost connection at a stage"},
        {ER_CONNECTION_KILLED, true, "1927 connection was killed"},
        {ER_SERVER_SHUTDOWN, true, "1053 server shutdown in progress"},
        {ER_NO_SUCH_TABLE, false, "1146 a missing table"},
        {ER_BAD_FIELD_ERROR, false, "1054 a missing column"},
        {ER_QUERY_INTERRUPTED, false, "1317 only the statement was killed"},
        {ER_LOCK_WAIT_TIMEOUT, false, "1205 a lock wait given up by the server"},
        {ER_PARSE_ERROR, false, "1064 a statement the server cannot read"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorEndsConnection(c.error), c.ends) << c.what;
}

} // namespace
