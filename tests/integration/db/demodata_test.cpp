#include "racedatabase.h"

#include "db/racequeries.h"

#include <QSet>

using namespace quorvel;
using namespace quorvel::db;

namespace {

// The demo championship as the board would page through it.
class DemoData : public test::RaceDatabaseTest {
protected:
    void SetUp() override
    {
        RaceDatabaseTest::SetUp();
        server().loadFile(test::MariaDbServer::demoFile());
    }
};

TEST_F(DemoData, TheBoardFindsFullCategoriesEmptyOnesAndOnlyValidTimes)
{
    DataModule dm(m_config);
    test::openEventQueries(dm);
    Query& categ = dm.qryCateg();
    Query& lista = dm.qryListaPilotos();
    Query& vehicle = dm.qryDadosVeiculo();

    EXPECT_EQ(dm.qryEvento().asText("EVENTO"), Text("2\xAA Etapa \x96 Noite do Asfalto"));
    ASSERT_GE(categ.recordCount(), 4);
    int full = 0;
    int empty = 0;
    Text previousName;
    for (categ.first(); !categ.eof(); categ.next()) {
        const Text name = categ.asText("CATEGORIA");
        EXPECT_LT(previousName, name); // by name
        previousName = name;
        lista.first();
        const int count = lista.recordCount();
        full += count > 10;
        empty += count == 0;
        double previous = 0.0;
        for (int row = 0; row < count; ++row) {
            const double best = lista.asFloat("min");
            EXPECT_GT(best, 0.0) << name.constData();
            EXPECT_GE(best, previous) << name.constData();
            previous = best;
            EXPECT_EQ(vehicle.asInteger("CODIGO"), lista.asInteger("COD_VEICULO"));
            EXPECT_FALSE(vehicle.asText("PLACA").isEmpty());
            EXPECT_FALSE(vehicle.asText("PILOTO").isEmpty());
            lista.next();
        }
        EXPECT_TRUE(lista.eof());
    }
    EXPECT_GE(full, 2);
    EXPECT_GE(empty, 2);
}

TEST_F(DemoData, EveryVehicleReadsThroughALaneQueryWithItsPhoto)
{
    DataModule dm(m_config);
    auto lane = makeVehicleQuery(dm.Zconet(), "qryDadosPilotoA");
    int photos = 0;
    int accented = 0;
    for (const QList<QByteArray>& row : server().select("SELECT CODIGO FROM vyd.veiculo;")) {
        lane->close();
        lane->setParam("CODIGO", row.value(0).toInt());
        lane->open();
        ASSERT_EQ(lane->recordCount(), 1);
        const Text pilot = lane->asText("PILOTO");
        EXPECT_FALSE(pilot.contains('?')) << pilot.constData(); // every letter fits the code page
        accented += std::any_of(pilot.begin(), pilot.end(), [](char c) { return uchar(c) >= 0x80; });
        if (lane->isNull("FOTO_PILOTO"))
            continue;
        ++photos;
        const QByteArray jpeg = lane->bytes("FOTO_PILOTO");
        EXPECT_TRUE(jpeg.startsWith("\xFF\xD8\xFF") && jpeg.endsWith("\xFF\xD9")) << pilot.constData();
        EXPECT_FALSE(lane->asText("NOME_ARQ_FOTO").isEmpty());
    }
    EXPECT_GE(photos, 30);
    EXPECT_GE(accented, 10);
}

} // namespace
