#include "racedatabase.h"

#include "base/failure.h"
#include "db/connection.h"
#include "db/datamodule.h"
#include "db/query.h"

using namespace quorvel;
using namespace quorvel::db;

namespace {

using ColumnKinds = test::RaceDatabaseTest;

// Opens a one-column query on a table of the given MariaDB type and returns the failure
// message, or the empty text when the column binds.
Text bindingFailure(Connection& link, const char* type, ColumnKind declared)
{
    test::MariaDbServer::shared().execute(QByteArray("DROP TABLE IF EXISTS vyd.tipos; CREATE TABLE vyd.tipos (valor ") +
                                          type + "); INSERT INTO vyd.tipos VALUES (NULL);");
    Query query(link, "qryTipos", "select * from tipos", {{"VALOR", declared}});
    try {
        query.open();
    } catch (const Failure& e) {
        EXPECT_FALSE(query.isOpen()) << type;
        return e.message();
    }
    EXPECT_EQ(query.recordCount(), 1) << type;
    return {};
}

TEST_F(ColumnKinds, ADeclaredKindBindsOnlyToFittingTypes)
{
    using K = ColumnKind;
    struct Case {
        const char* type;
        K declared;
        const char* actual; // nullptr: fits
    };
    const Case cases[] = {
        {"INT", K::Integer, nullptr},
        {"MEDIUMINT", K::Integer, nullptr},
        {"TINYINT", K::Integer, "SmallInt"},
        {"SMALLINT", K::Integer, "SmallInt"},
        {"SMALLINT UNSIGNED", K::Integer, "Word"},
        {"YEAR", K::Integer, "Word"},
        {"BIGINT", K::Integer, "LargeInt"},
        {"INT UNSIGNED", K::Integer, "LargeInt"},
        {"MEDIUMINT UNSIGNED", K::Integer, "LargeInt"},
        {"DOUBLE", K::Integer, "Float"},
        {"VARCHAR(10)", K::Integer, "String"},
        {"FLOAT", K::Float, nullptr},
        {"DOUBLE", K::Float, nullptr},
        {"DECIMAL(8,3)", K::Float, nullptr},
        {"INT", K::Float, "Integer"},
        {"SMALLINT", K::Float, "SmallInt"},
        {"BIGINT", K::Float, "LargeInt"},
        {"CHAR(5)", K::String, nullptr},
        {"VARCHAR(60)", K::String, nullptr},
        {"ENUM('S','N')", K::String, nullptr},
        {"SET('a','b')", K::String, nullptr},
        {"TEXT", K::String, "Memo"},
        {"MEDIUMTEXT", K::String, "Memo"},
        {"BINARY(4)", K::String, "Bytes"},
        {"VARBINARY(8)", K::String, "Bytes"},
        {"DATE", K::Date, nullptr},
        {"DATETIME", K::Date, "DateTime"},
        {"TIMESTAMP NULL", K::Date, "DateTime"},
        {"DATETIME", K::DateTime, nullptr},
        {"TIMESTAMP NULL", K::DateTime, nullptr},
        {"DATE", K::DateTime, "Date"},
        {"BLOB", K::Blob, nullptr},
        {"TINYBLOB", K::Blob, nullptr},
        {"MEDIUMBLOB", K::Blob, nullptr},
        {"LONGBLOB", K::Blob, nullptr},
        {"TEXT", K::Blob, "Memo"},
    };
    Connection link(m_config);
    for (const Case& c : cases) {
        const Text expected = c.actual ? format("qryTipos: Type mismatch for field 'VALOR', expecting: %s actual: %s",
                                                kindName(c.declared), c.actual)
                                       : Text();
        EXPECT_EQ(bindingFailure(link, c.type, c.declared), expected) << c.type;
    }
}

TEST_F(ColumnKinds, AMissingColumnFailsEveryOpenAndLeavesTheQueryClosed)
{
    server().execute("ALTER TABLE vyd.categoria DROP COLUMN NA_MOSCA;");
    DataModule dm(m_config);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            dm.qryCateg().open();
            ADD_FAILURE() << "qryCateg opened without NA_MOSCA";
        } catch (const Failure& e) {
            EXPECT_EQ(e.message(), Text("qryCateg: Field 'NA_MOSCA' not found"));
        }
        EXPECT_FALSE(dm.qryCateg().isOpen());
    }
}

TEST_F(ColumnKinds, ResultColumnsBindWithoutRegardToCaseAndExtraOnesAreIgnored)
{
    server().execute("INSERT INTO vyd.campeonato (codigo, campeonato, ano) VALUES (5, 'Copa', 2026);");
    Connection link(m_config);
    Query query(link, "qryCaixa", "select ano, codigo as Codigo, campeonato from campeonato",
                {{"CODIGO", ColumnKind::Integer}, {"CAMPEONATO", ColumnKind::String}});
    query.open(); // ano is a SMALLINT, but nobody declared it
    EXPECT_EQ(query.asInteger("codigo"), 5);
    EXPECT_EQ(query.asText("Campeonato"), Text("Copa"));
    EXPECT_THROW(query.asInteger("ANO"), Failure);
}

} // namespace
