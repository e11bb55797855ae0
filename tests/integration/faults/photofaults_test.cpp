// Photos that cannot be stored or shown: the failure is said in mLog, the photo stays
// off the strip and the run goes on.
#include "../app/appfixture.h"
#include "jpegbytes.h"

#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <tuple>

#include <jerror.h>
#include <jpeglib.h>

using namespace quorvel;
using overlay::El;

namespace {

// The frame header's height and width rewritten: the file claims a picture it does not hold.
QByteArray claimingSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    if (sof < 0)
        return {};
    const qsizetype at = sof + 5; // marker, length, precision
    jpeg[at] = char(height >> 8);
    jpeg[at + 1] = char(height & 0xFF);
    jpeg[at + 2] = char(width >> 8);
    jpeg[at + 3] = char(width & 0xFF);
    return jpeg;
}

struct PhotoCase {
    const char* what;
    QByteArray fileName;
    QByteArray bytes;
    bool folderIsAFile;
    QByteArray expectedInLog; // part of the line mLog shows
};

class PhotoFaults : public AppFixture, public ::testing::WithParamInterface<PhotoCase> { };

} // namespace

TEST_P(PhotoFaults, TheFailureIsLoggedAndTheRunGoesOn)
{
    const PhotoCase& c = GetParam();
    QTemporaryDir outside;
    const QString folder = outside.filePath(QStringLiteral("fotos"));
    if (c.folderIsAFile) {
        QFile file(folder);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a folder");
    } else {
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    config.photoFolder = folder.toUtf8();
    test::MariaDbServer::shared().execute(
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO) VALUES (11, '111', 'Ana', '" +
        c.fileName + "', X'" + c.bytes.toHex() + "')");
    startForm();
    QTcpSocket* timingServer = acceptConnection();
    ASSERT_NE(timingServer, nullptr);
    readUntil(timingServer, 17);

    send(timingServer, "cod_pilotoA:11@Alinhar:");
    ASSERT_TRUE(applied([&] { return lastItemIs("Alinhar"); }));
    form->screen().setChecked(El::ckCameraPos, true);
    send(timingServer, "DesligouLampadas:");
    ASSERT_TRUE(applied([&] { return lastItemIs("DesligouLampadas"); }));
    form->screen().setChecked(El::ckCameraPos, false); // lane A back on its own side
    send(timingServer, "RA:0.505@RB:0.606");
    ASSERT_TRUE(applied([&] { return lastItemIs("RB"); }));

    const TextList log = lines(El::mLog);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const Text& line) { return line.contains(c.expectedInLog); }))
        << c.what << ":\n"
        << log.join('\n').constData();
    EXPECT_TRUE(form->screen().element(El::fotoPilotoA).picture.isNull()) << c.what;
    EXPECT_EQ(form->screen().text(El::lblReaA), "0.505") << c.what << ": the run stopped at the photo";
    EXPECT_EQ(form->screen().text(El::lblReaB), "0.606") << c.what;
    EXPECT_FALSE(QFile::exists(outside.filePath(QStringLiteral("escape.jpg"))))
        << "a photo was written outside its folder";
    EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PhotoFaults,
    ::testing::Values(PhotoCase{"the photo folder is a file", "ana.jpg", jpegBytes(40, 30), true, "Cannot create file"},
                      PhotoCase{"a name reaching out of the folder", "../escape.jpg", jpegBytes(40, 30), false,
                                "The file name must not contain a folder separator"},
                      PhotoCase{"a truncated JPEG", "cut.jpg", jpegBytes(400, 300).left(300), false, "JPEG error #"},
                      PhotoCase{"a JPEG claiming 60000 x 60000 pixels", "huge.jpg",
                                claimingSize(jpegBytes(40, 30), 60000, 60000), false,
                                format("JPEG error #%d", JERR_IMAGE_TOO_BIG)}),
    [](const ::testing::TestParamInfo<PhotoCase>& info) { return std::to_string(info.index); });

namespace {

// Both lanes' photos in one lights-off view. Lane B's file is read and decoded beside lane
// A's, so each of these is a way for B to be done first; what shows and what mLog says
// must still come in lane order.
struct TwoLanesCase {
    const char* what;
    QByteArray fileA, bytesA;
    QByteArray fileB, bytesB;
    QByteArray logA, logB; // part of each lane's line in mLog; empty when the photo shows
};

class TwoLanePhotos : public AppFixture, public ::testing::WithParamInterface<TwoLanesCase> { };

} // namespace

TEST_P(TwoLanePhotos, EachLaneShowsOrReportsInLaneOrder)
{
    const TwoLanesCase& c = GetParam();
    QTemporaryDir folder;
    config.photoFolder = folder.path().toUtf8();
    test::MariaDbServer::shared().execute(
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO) VALUES (11, '111', 'Ana', '" +
        c.fileA + "', X'" + c.bytesA.toHex() + "'), (12, '222', 'Bia', '" + c.fileB + "', X'" + c.bytesB.toHex() +
        "')");
    startForm();
    QTcpSocket* timingServer = acceptConnection();
    ASSERT_NE(timingServer, nullptr);
    readUntil(timingServer, 17);

    send(timingServer, "cod_pilotoA:11@cod_pilotoB:12@Alinhar:");
    ASSERT_TRUE(applied([&] { return lastItemIs("Alinhar"); }));
    form->screen().setChecked(El::ckCameraPos, true);
    send(timingServer, "DesligouLampadas:");
    ASSERT_TRUE(applied([&] { return lastItemIs("DesligouLampadas"); }));
    form->screen().setChecked(El::ckCameraPos, false);
    send(timingServer, "RA:0.505");
    ASSERT_TRUE(applied([&] { return lastItemIs("RA"); }));

    const TextList log = lines(El::mLog);
    const auto lineOf = [&](const QByteArray& part) {
        return std::find_if(log.begin(), log.end(), [&](const Text& line) { return line.contains(part); }) -
            log.begin();
    };
    for (const auto& [lane, element, expected] :
         {std::tuple{"A", El::fotoPilotoA, c.logA}, std::tuple{"B", El::fotoPilotoB, c.logB}}) {
        const bool shows = expected.isEmpty();
        EXPECT_EQ(!form->screen().element(element).picture.isNull(), shows) << c.what << ", lane " << lane;
        if (!shows) {
            EXPECT_LT(lineOf(expected), log.size()) << c.what << ", lane " << lane << ":\n"
                                                    << log.join('\n').constData();
        }
    }
    if (!c.logA.isEmpty() && !c.logB.isEmpty()) {
        EXPECT_LT(lineOf(c.logA), lineOf(c.logB)) << c.what << ": lane B's failure was said first:\n"
                                                  << log.join('\n').constData();
    }
    EXPECT_EQ(form->screen().text(El::lblReaA), "0.505") << c.what << ": the run stopped at the photos";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TwoLanePhotos,
    ::testing::Values(TwoLanesCase{"both show", "a.jpg", jpegBytes(400, 300), "b.jpg", jpegBytes(300, 400), {}, {}},
                      TwoLanesCase{"A's file does not decode, B shows",
                                   "a.jpg",
                                   jpegBytes(400, 300).left(300),
                                   "b.jpg",
                                   jpegBytes(40, 30),
                                   "JPEG error #",
                                   {}},
                      TwoLanesCase{"A shows, B's file does not decode",
                                   "a.jpg",
                                   jpegBytes(40, 30),
                                   "b.jpg",
                                   jpegBytes(400, 300).left(300),
                                   {},
                                   "JPEG error #"},
                      // B's failure is known before its file is opened, A's only once A's is decoded.
                      TwoLanesCase{"both fail, B's at once", "a.jpg", jpegBytes(400, 300).left(300), "b.gif",
                                   jpegBytes(40, 30), "JPEG error #", "Unknown picture file extension (.gif)"},
                      TwoLanesCase{"both fail, A's at once", "a.gif", jpegBytes(40, 30), "b.jpg",
                                   jpegBytes(400, 300).left(300), "Unknown picture file extension (.gif)",
                                   "JPEG error #"}),
    [](const ::testing::TestParamInfo<TwoLanesCase>& info) { return std::to_string(info.index); });
