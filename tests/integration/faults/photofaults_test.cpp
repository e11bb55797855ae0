// Photos that cannot be stored or shown: the failure is said in mLog, the photo stays
// off the strip and the run goes on.
#include "../app/appfixture.h"
#include "jpegbytes.h"

#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <jpeglib.h>
#include <jerror.h>

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

class PhotoFaults : public AppFixture, public ::testing::WithParamInterface<PhotoCase> {};

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
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO) VALUES (11, '111', 'Ana', '"
        + c.fileName + "', X'" + c.bytes.toHex() + "')");
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
        << c.what << ":\n" << log.join('\n').constData();
    EXPECT_TRUE(form->screen().element(El::fotoPilotoA).picture.isNull()) << c.what;
    EXPECT_EQ(form->screen().text(El::lblReaA), "0.505") << c.what << ": the run stopped at the photo";
    EXPECT_EQ(form->screen().text(El::lblReaB), "0.606") << c.what;
    EXPECT_FALSE(QFile::exists(outside.filePath(QStringLiteral("escape.jpg")))) << "a photo was written outside its folder";
    EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PhotoFaults,
    ::testing::Values(
        PhotoCase{"the photo folder is a file", "ana.jpg", jpegBytes(40, 30), true, "Cannot create file"},
        PhotoCase{"a name reaching out of the folder", "../escape.jpg", jpegBytes(40, 30), false,
                  "The file name must not contain a folder separator"},
        PhotoCase{"a truncated JPEG", "cut.jpg", jpegBytes(400, 300).left(300), false, "JPEG error #"},
        PhotoCase{"a JPEG claiming 60000 x 60000 pixels", "huge.jpg", claimingSize(jpegBytes(40, 30), 60000, 60000),
                  false, format("JPEG error #%d", JERR_IMAGE_TOO_BIG)}),
    [](const ::testing::TestParamInfo<PhotoCase>& info) { return std::to_string(info.index); });
