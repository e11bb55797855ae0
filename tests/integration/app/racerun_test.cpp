#include "appfixture.h"
#include "jpegbytes.h"

#include <QFile>
#include <QImage>

using namespace quorvel;
using overlay::El;

// A whole run as the timing server plays it, against a real database: pilots looked up,
// the run reset storing their photos, the start tree, the times, the winner, and the
// lights-off view with the camera box ticked.
TEST_F(AppFixture, AWholeRunShowsOnTheStripAndTheLightsOffViewShowsThePhotos)
{
    auto& db = test::MariaDbServer::shared();
    db.execute(
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO) VALUES "
        "(11, '111', 'Jo\xC3\xA3o Carlos da Silva', 'joao.jpg', X'" +
        jpegBytes(60, 40, qRgb(200, 30, 30)).toHex() +
        "'),"
        "(22, '222', 'Ana Souza', 'ana.JPG', X'" +
        jpegBytes(400, 300, qRgb(30, 30, 200)).toHex() + "')");
    startForm();
    QTcpSocket* timingServer = acceptConnection();
    ASSERT_NE(timingServer, nullptr);
    readUntil(timingServer, 17);
    overlay::Screen& screen = form->screen();

    send(timingServer,
         "cod_pilotoA:11@cod_pilotoB:22@num_pilotoA:111@num_pilotoB:222@pilA:Jo\xE3o Carlos da Silva@"
         "pilB:Ana Souza@apelidoA:Foguete@catA:Pro Street@catB:Pro Street@BatA:2@BatB:2@"
         "carA:Opala@carB:Maverick");
    // Two writes may arrive as one chunk, and these two have no "@" between them.
    ASSERT_TRUE(applied([&] { return lastItemIs("carB"); }));
    send(timingServer, "Alinhar:");
    // The reset stores both photos in its handler, the one of lane B last.
    ASSERT_TRUE(applied([&] { return QFile::exists(photos.filePath(QStringLiteral("ana.JPG"))); }))
        << lines(El::mLog).join('\n').constData();
    EXPECT_EQ(screen.text(El::lblPilotoA), "Jo\xE3o Silva (Foguete)");
    EXPECT_EQ(screen.text(El::lblCategB), "Pro Street | B: 2");
    EXPECT_TRUE(QFile::exists(photos.filePath(QStringLiteral("joao.jpg")))) << "the reset stores the photos";
    EXPECT_TRUE(QFile::exists(photos.filePath(QStringLiteral("ana.JPG"))));
    EXPECT_TRUE(screen.element(El::fotoPilotoA).picture.isNull()) << "photos are not shown by the reset";

    send(timingServer, "APS-HIGH:@BPS-HIGH:@e_AA-HIGH:@e_BA-HIGH:");
    ASSERT_TRUE(applied([&] { return lastItemIs("e_BA-HIGH"); }));
    for (El lamp : {El::imgPreA, El::imgPreB, El::imgStageA, El::imgStageB})
        EXPECT_TRUE(screen.visible(lamp)) << overlay::elementName(lamp);
    send(timingServer,
         "sA_Verde:@sB_Verde:@RA:0.101@RB:0.202@PA:1.001@PB:1.002@CA:4.001@CB:4.002@"
         "TPA:6.501@TPB:6.502@VA:250.1@VB:249.2@FA:6.602@FB:6.703@GanhaA:@posA:1\xBA@posB:2\xBA");
    ASSERT_TRUE(applied([&] { return lastItemIs("posB"); }));
    EXPECT_TRUE(screen.visible(El::imgStartA));
    EXPECT_EQ(screen.text(El::lblReaA), "0.101");
    EXPECT_EQ(screen.text(El::lblTPistaB), "6.502");
    EXPECT_EQ(screen.text(El::lblStatusA), "VENCEU");
    EXPECT_TRUE(screen.visible(El::imgGanhouA));
    EXPECT_EQ(screen.text(El::lblPosB), "2\xBA");

    screen.setChecked(El::ckCameraPos, true);
    send(timingServer, "DesligouLampadas:");
    ASSERT_TRUE(applied([&] { return lastItemIs("DesligouLampadas"); }));
    EXPECT_FALSE(screen.visible(El::imgStartA));
    const QImage photoA = screen.element(El::fotoPilotoA).picture;
    const QImage photoB = screen.element(El::fotoPilotoB).picture;
    ASSERT_FALSE(photoA.isNull());
    ASSERT_FALSE(photoB.isNull());
    // Each lane's own photo, whatever size the model keeps it at for drawing.
    EXPECT_GT(qRed(photoA.pixel(photoA.width() / 2, photoA.height() / 2)), 150) << "lane A's photo";
    EXPECT_GT(qBlue(photoB.pixel(photoB.width() / 2, photoB.height() / 2)), 150) << "lane B's photo";
    EXPECT_EQ(screen.text(El::lblVeiculoA), "#111 - Opala");
    EXPECT_EQ(screen.text(El::lblReaB), "0.202");
    for (const Text& line : lines(El::mLog))
        EXPECT_TRUE(line == "mLog" || line.endsWith(": Ping") || line == "SEM SERVIDOR") << line.constData();
}
