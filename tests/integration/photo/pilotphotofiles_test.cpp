#include "failures.h"
#include "imagecompare.h"
#include "picturebuilders.h"
#include "processlocale.h"
#include "race/photo/decoders.h"
#include "race/photo/picturefile.h"
#include "race/photo/pilotphotofiles.h"
#include "race/photo/screenpicture.h"
#include "race/photofailure.h"
#include "threadmount.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

using namespace photo_test;
using namespace quorvel;
using namespace quorvel::race;

namespace {

// A lane's vehicle row as a test wants it.
class Row : public PhotoRow {
public:
    Row() = default; // no photo
    Row(const Text& name, const QByteArray& bytes)
        : m_has(true)
        , m_name(name)
        , m_bytes(bytes)
    {
    }
    bool hasPhoto() const override { return m_has; }
    Text fileName() const override { return m_name; }
    QByteArray photoBytes() const override
    {
        if (m_databaseDown)
            throw Failure("qryDadosPilotoA: Lost connection to server during query");
        return m_bytes;
    }
    void setDatabaseDown() { m_databaseDown = true; }

private:
    bool m_has = false;
    Text m_name;
    QByteArray m_bytes;
    bool m_databaseDown = false;
};

// A photo element that remembers what it was given.
class Element : public PictureSink {
public:
    void setPicture(const QImage& picture) override
    {
        m_picture = picture;
        ++changes;
    }
    void clearPicture() override
    {
        m_picture = QImage();
        ++changes;
    }
    const QImage& picture() const { return m_picture; }
    int changes = 0;

private:
    QImage m_picture;
};

QImage solid(int width, int height, QRgb color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray bmpOf(const QImage& picture)
{
    DibSpec spec = rgb24Spec(picture.width(), picture.height());
    spec.value = [picture](int x, int y) { return quint32(picture.pixel(x, y) & 0xFFFFFF); };
    return bmpFile(spec);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Text text(const QString& s)
{
    return s.toLatin1();
}

class PilotPhotoFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_config.photoFolder = text(folder());
    }

    QString folder() const { return m_dir.filePath(QStringLiteral("fotopilotos")); }
    QString inFolder(const char* name) const { return folder() + u'/' + QLatin1StringView(name); }
    // The cache, its folder prepared as the run reset does.
    PilotPhotoFiles preparedCache()
    {
        PilotPhotoFiles cache(m_config);
        cache.PreparePhotoFolder();
        return cache;
    }

    QTemporaryDir m_dir;
    Config m_config;
};

TEST_F(PilotPhotoFilesTest, FolderIsBesideTheExecutableUnlessOverridden)
{
    const PilotPhotoFiles besideExecutable{Config()};
    EXPECT_EQ(besideExecutable.PhotoFolder(), QCoreApplication::applicationDirPath() + QStringLiteral("/fotopilotos"));
    EXPECT_EQ(PilotPhotoFiles(m_config).PhotoFolder(), folder());
    EXPECT_EQ(PilotPhotoFiles(m_config).photoFilePath("Jo\xE3o.jpg"), folder() + QStringLiteral("/Jo\u00E3o.jpg"));
}

TEST_F(PilotPhotoFilesTest, PrepareCreatesTheFolderOnceAndKeepsItsFiles)
{
    PilotPhotoFiles cache(m_config);
    EXPECT_FALSE(QFileInfo::exists(folder()));
    cache.PreparePhotoFolder();
    EXPECT_TRUE(QFileInfo(folder()).isDir());
    cache.StorePilotPhoto(Row("a.bmp", "bytes"));
    cache.PreparePhotoFolder();
    EXPECT_EQ(readFile(inFolder("a.bmp")), QByteArray("bytes"));
}

// The folder is created one level deep only; the failure shows when a photo is written.
TEST_F(PilotPhotoFilesTest, FolderThatCannotBeCreatedShowsAsAWriteError)
{
    m_config.photoFolder = text(m_dir.filePath(QStringLiteral("missing/fotopilotos")));
    PilotPhotoFiles cache(m_config);
    EXPECT_NO_THROW(cache.PreparePhotoFolder());
    EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row("a.jpg", "x")); },
                          "Cannot create file \"" + m_config.photoFolder + "/a.jpg\". No such file or directory"));
}

TEST_F(PilotPhotoFilesTest, FileNamedLikeTheFolderMakesEveryStoreFail)
{
    QFile blocker(folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PilotPhotoFiles cache = preparedCache();
    EXPECT_TRUE(QFileInfo(folder()).isFile());
    for (const char* name : {"a.jpg", "b.bmp"}) {
        EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row(name, "x")); },
                              "Cannot create file \"" + text(inFolder(name)) + "\". Not a directory"));
    }
}

TEST_F(PilotPhotoFilesTest, StoreWritesTheBytesUnchangedAndReplacesOldFiles)
{
    PilotPhotoFiles cache = preparedCache();
    const QByteArray bytes("\x00\x01\xFF\r\n\x1A tail", 11);
    cache.StorePilotPhoto(Row("Piloto.JPG", "an older and longer photo"));
    cache.StorePilotPhoto(Row("Piloto.JPG", bytes));
    EXPECT_EQ(readFile(inFolder("Piloto.JPG")), bytes);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{QStringLiteral("Piloto.JPG")});
}

TEST_F(PilotPhotoFilesTest, NoPhotoStoresNothingAndClearsTheElement)
{
    PilotPhotoFiles cache = preparedCache();
    cache.StorePilotPhoto(Row());
    EXPECT_TRUE(QDir(folder()).isEmpty());

    Element element;
    element.setPicture(solid(4, 4, qRgb(1, 2, 3)));
    cache.LoadPilotPhoto(Row(), element);
    EXPECT_TRUE(element.picture().isNull());
}

TEST_F(PilotPhotoFilesTest, StoreThenLoadShowsThePicture)
{
    PilotPhotoFiles cache = preparedCache();
    const QImage picture = solid(60, 40, qRgb(10, 120, 230));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"foto.bmp", bmpOf(picture)},
        {"FOTO.JPG", jpegFile(picture)},
        {"foto.Jpeg", jpegFile(picture)},
        {"foto.ico", icoFile({bitmapIconEntry(picture, {})})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Row row(c.name, c.bytes);
        cache.StorePilotPhoto(row);
        Element element;
        cache.LoadPilotPhoto(row, element);
        ASSERT_EQ(element.picture().size(), picture.size());
        EXPECT_EQ(imageMismatch(picture, element.picture(), {.edgeChannel = 3, .flatChannel = 3}), "");
    }
}

TEST_F(PilotPhotoFilesTest, BothLanesNamingOneFileShowLaneBsPhoto)
{
    PilotPhotoFiles cache = preparedCache();
    const QImage a = solid(8, 8, qRgb(255, 0, 0));
    const QImage b = solid(8, 8, qRgb(0, 0, 255));
    const Row laneA("mesmo.bmp", bmpOf(a));
    const Row laneB("mesmo.bmp", bmpOf(b));
    cache.StorePilotPhoto(laneA);
    cache.StorePilotPhoto(laneB);
    Element fotoPilotoA, fotoPilotoB;
    cache.LoadPilotPhoto(laneA, fotoPilotoA);
    cache.LoadPilotPhoto(laneB, fotoPilotoB);
    EXPECT_EQ(fotoPilotoA.picture(), b);
    EXPECT_EQ(fotoPilotoB.picture(), b);
}

TEST_F(PilotPhotoFilesTest, FailedLoadKeepsThePreviousPicture)
{
    PilotPhotoFiles cache = preparedCache();
    const QImage before = solid(8, 8, qRgb(0, 200, 0));
    const QByteArray jpeg = jpegFile(solid(32, 32, qRgb(9, 9, 9)));
    cache.StorePilotPhoto(Row("bom.bmp", bmpOf(before)));
    cache.StorePilotPhoto(Row("jpeg.bmp", jpeg));
    cache.StorePilotPhoto(Row("cortado.jpg", jpeg.left(jpeg.size() / 2)));
    cache.StorePilotPhoto(Row("foto.png", jpeg));

    Element element;
    cache.LoadPilotPhoto(Row("bom.bmp", {}), element);
    ASSERT_EQ(element.picture(), before);
    const int changes = element.changes;

    const struct {
        const char* name;
        QByteArray message;
    } cases[] = {
        {"jpeg.bmp", "Bitmap image is not valid"}, // the extension decides, never the bytes
        {"cortado.jpg", nullptr}, // "JPEG error #..."
        {"foto.png", "Unknown picture file extension (.png)"},
        {"FOTO.PNG", "Unknown picture file extension (.png)"},
        {"semextensao", "Unknown picture file extension (.)"},
        {"ausente.jpg", "Cannot open file \"" + text(inFolder("ausente.jpg")) + "\". No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            cache.LoadPilotPhoto(Row(c.name, {}), element);
            ADD_FAILURE() << "loaded";
        } catch (const PhotoFailure& e) {
            if (c.message.isNull())
                EXPECT_TRUE(e.message().startsWith("JPEG error #")) << e.message().constData();
            else
                EXPECT_EQ(e.message(), c.message);
        }
        EXPECT_EQ(element.picture(), before);
        EXPECT_EQ(element.changes, changes);
    }
}

// Names that would reach outside the folder, or name the folder itself, are refused and
// nothing is written anywhere.
TEST_F(PilotPhotoFilesTest, RefusesNamesThatLeaveTheFolder)
{
    PilotPhotoFiles cache = preparedCache();
    cache.StorePilotPhoto(Row("vitima.bmp", "kept"));
    const QByteArray separator = "The file name must not contain a folder separator";
    const QByteArray folderName = "The file name must not name a folder";
    const struct {
        QByteArray name;
        QByteArray reason;
    } cases[] = {
        {"../fora.jpg", separator},
        {"..\\fora.jpg", separator},
        {"sub/dentro.bmp", separator},
        {"/tmp/absoluto.bmp", separator},
        {"..", folderName},
        {".", folderName},
        {QByteArray("vitima.bmp\0.jpg", 15), "Invalid argument"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.constData());
        const Text path = text(folder()) + "/" + c.name;
        EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row(c.name, "intruder")); },
                              "Cannot create file \"" + path + "\". " + c.reason));
        // Loading refuses the name for what it is, whatever its extension.
        Element element;
        EXPECT_TRUE(failsWith([&] { cache.LoadPilotPhoto(Row(c.name, {}), element); },
                              "Cannot open file \"" + path + "\". " + c.reason));
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("fotopilotos")});
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{QStringLiteral("vitima.bmp")});
    EXPECT_EQ(readFile(inFolder("vitima.bmp")), QByteArray("kept"));
}

TEST_F(PilotPhotoFilesTest, EmptyNameCannotBeCreated)
{
    PilotPhotoFiles cache = preparedCache();
    EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row("", "x")); },
                          "Cannot create file \"" + text(folder()) + "/\". Is a directory"));
}

TEST_F(PilotPhotoFilesTest, DatabaseFailureLeavesTheStoredFileAlone)
{
    PilotPhotoFiles cache = preparedCache();
    cache.StorePilotPhoto(Row("a.bmp", "earlier photo"));
    Row broken("a.bmp", "new photo");
    broken.setDatabaseDown();
    try {
        cache.StorePilotPhoto(broken);
        ADD_FAILURE() << "stored";
    } catch (const PhotoFailure&) {
        ADD_FAILURE() << "a database failure is not a photo failure";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), QByteArray("qryDadosPilotoA: Lost connection to server during query"));
    }
    EXPECT_EQ(readFile(inFolder("a.bmp")), QByteArray("earlier photo"));
}

// Permission bits hold for everyone but root (who meets the folder below, on a read-only
// file system).
TEST_F(PilotPhotoFilesTest, ReadOnlyFolderRefusesNewFiles)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes through permission bits; the read-only file system test covers root";
    PilotPhotoFiles cache = preparedCache();
    ASSERT_TRUE(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row("a.jpg", "x")); },
                          "Cannot create file \"" + text(inFolder("a.jpg")) + "\". Permission denied"));
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(PilotPhotoFilesTest, FolderOnAReadOnlyFileSystemRefusesNewFilesAndKeepsItsOwn)
{
    PilotPhotoFiles cache = preparedCache();
    cache.StorePilotPhoto(Row("old.jpg", "earlier photo"));
    {
        const ReadOnlyMount readOnly(folder());
        if (!readOnly.error().empty())
            GTEST_SKIP() << "no read-only mount without CAP_SYS_ADMIN (" << readOnly.error() << ")";
        EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row("a.jpg", "x")); },
                              "Cannot create file \"" + text(inFolder("a.jpg")) + "\". Read-only file system"));
        EXPECT_TRUE(failsWith([&] { cache.StorePilotPhoto(Row("old.jpg", "new photo")); },
                              "Cannot create file \"" + text(inFolder("old.jpg")) + "\". Read-only file system"));
        EXPECT_FALSE(QFile::exists(inFolder("a.jpg")));
        EXPECT_EQ(readFile(inFolder("old.jpg")), QByteArray("earlier photo"));
    }
    // Back in the thread's own namespace the folder takes files again.
    cache.StorePilotPhoto(Row("a.jpg", "x"));
    EXPECT_EQ(readFile(inFolder("a.jpg")), QByteArray("x"));
}

// The overlay's screen model as the destination: a failure leaves the element's picture.
TEST_F(PilotPhotoFilesTest, LoadsIntoTheScreensPhotoElement)
{
    PilotPhotoFiles cache = preparedCache();
    const QImage picture = solid(60, 40, qRgb(250, 20, 20));
    const Row good("a.bmp", bmpOf(picture));
    cache.StorePilotPhoto(good);
    overlay::Screen screen;
    ScreenPicture fotoPilotoA(screen, overlay::El::fotoPilotoA);
    cache.LoadPilotPhoto(good, fotoPilotoA);
    EXPECT_EQ(screen.element(overlay::El::fotoPilotoA).picture, picture);
    EXPECT_THROW(cache.LoadPilotPhoto(Row("ausente.bmp", {}), fotoPilotoA), PhotoFailure);
    EXPECT_EQ(screen.element(overlay::El::fotoPilotoA).picture, picture);
    cache.LoadPilotPhoto(Row(), fotoPilotoA);
    EXPECT_TRUE(screen.element(overlay::El::fotoPilotoA).picture.isNull());
}

// The element's box reaches the decoders: a camera photo beyond what a picture may hold
// whole (36 megapixels) and a 300-dpi scan in a metafile show in lane B's photo element at
// the size it draws them, where loading them whole is refused or costs the whole picture.
TEST_F(PilotPhotoFilesTest, PhotosAreDecodedForTheElementsBox)
{
    PilotPhotoFiles cache = preparedCache();
    overlay::Screen screen;
    ScreenPicture fotoPilotoB(screen, overlay::El::fotoPilotoB);
    const QSize box = screen.element(overlay::El::fotoPilotoB).box.size();

    const Row camera("camera.jpg", cameraJpeg(7360, 4912));
    cache.StorePilotPhoto(camera);
    EXPECT_THROW(loadPictureFile(inFolder("camera.jpg")), PhotoFailure) << "36 megapixels decoded whole";
    cache.LoadPilotPhoto(camera, fotoPilotoB);
    const QImage shown = screen.element(overlay::El::fotoPilotoB).picture;
    EXPECT_EQ(shown.size(), fittedSize(QSize(7360, 4912), box));
    // another filter than the full decode's: single pixels differ widely, the whole little
    EXPECT_EQ(imageMismatch(fullDecodeSampled(camera.photoBytes(), shown.size()), shown,
                            {.edgeChannel = 255, .flatChannel = 255, .meanChannel = 6.0}),
              "");

    DibSpec scan = rgb24Spec(1500, 1200);
    scan.value = [](int x, int y) { return quint32((x / 300) * 0x330000 + (y / 300) * 0x3300 + 0x80); };
    const Row metafile("scan.emf", emfFile(scan, 480, 384));
    cache.StorePilotPhoto(metafile);
    cache.LoadPilotPhoto(metafile, fotoPilotoB);
    EXPECT_EQ(screen.element(overlay::El::fotoPilotoB).picture.size(), fittedSize(QSize(480, 384), box));
}

TEST(PictureFile, DecoderComesFromTheExtensionOnly)
{
    QTemporaryDir dir;
    const QImage picture = solid(8, 8, qRgb(30, 60, 90));
    const QByteArray wmf = placeableWmf(rgb24Spec(2, 2), 16, 16, 96);
    const QByteArray emf = emfFile(rgb24Spec(2, 2), 48, 48);
    const struct {
        const char* name;
        QByteArray bytes;
        QByteArray message; // empty: decodes
    } cases[] = {
        {"a.wmf", wmf, {}},
        {"a.WMF", wmf, {}},
        {"a.emf", emf, {}},
        {"wmf.emf", wmf, "Metafile is not valid"},
        {"emf.wmf", emf, "Metafile is not valid"},
        {"bmp.ico", bmpOf(picture), "Icon image is not valid"},
        {"ico.bmp", icoFile({bitmapIconEntry(picture, {})}), "Bitmap image is not valid"},
        {"bmp.jpg", bmpOf(picture), "JPEG error #" + QByteArray::number(JERR_NO_SOI)},
        {"vazio.bmp", QByteArray(), "Bitmap image is not valid"},
        {"a.b.c.gif", bmpOf(picture), "Unknown picture file extension (.gif)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1StringView(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        if (c.message.isEmpty())
            EXPECT_FALSE(loadPictureFile(path).isNull());
        else
            EXPECT_TRUE(failsWith([&] { loadPictureFile(path); }, c.message));
    }
    EXPECT_EQ(fileExtension(QStringLiteral("/x.y/foto")), QString());
    EXPECT_EQ(fileExtension(QStringLiteral("/x/foto.")), QString());
    EXPECT_EQ(fileExtension(QStringLiteral("/x/.jpg")), QStringLiteral("jpg"));
}

// Only a JPEG is worth a second thread: the lights-off view decodes lane B's beside lane A's.
TEST(PictureFile, OnlyAJpegDecodesOnOneProcessor)
{
    const struct {
        const char* name;
        bool oneProcessor;
    } cases[] = {
        {"a.jpg", true},  {"a.JPEG", true}, {"jpg.bmp", false}, {"a.wmf", false},
        {"a.emf", false}, {"a.ico", false}, {"a.gif", false},   {"jpg", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodesOnOneProcessor(QLatin1StringView(c.name)), c.oneProcessor) << c.name;
}

TEST(PictureFile, FolderOrMissingFileCannotBeOpened)
{
    QTemporaryDir dir;
    const QString folderNamedJpg = dir.filePath(QStringLiteral("pasta.jpg"));
    ASSERT_TRUE(QDir().mkdir(folderNamedJpg));
    EXPECT_TRUE(failsWith([&] { loadPictureFile(folderNamedJpg); },
                          "Cannot open file \"" + text(folderNamedJpg) + "\". Is a directory"));
    const QString missing = dir.filePath(QStringLiteral("ausente.emf"));
    EXPECT_TRUE(failsWith([&] { loadPictureFile(missing); },
                          "Cannot open file \"" + text(missing) + "\". No such file or directory"));
}

// Another process may cut the file short or empty it while the picture is decoded: the
// decoder goes on with the bytes it was given.
TEST(PictureFile, AFileEmptiedWhileItIsDecodedIsNoFault)
{
    QTemporaryDir dir;
    static QString path;
    path = dir.filePath(QStringLiteral("foto.bmp"));
    const QImage picture = solid(300, 200, qRgb(10, 120, 240));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bmpOf(picture));
    file.close();
    const PictureDecoder emptiesTheFileFirst = [](const QByteArray& bytes) {
        if (::truncate(QFile::encodeName(path).constData(), 0) != 0)
            return QImage();
        return decodeBmp(bytes);
    };
    EXPECT_EQ(readPictureFile(path, emptiesTheFileFirst), picture);
    EXPECT_EQ(QFileInfo(path).size(), 0) << "the file was emptied under the decoder";
}

TEST(PictureFile, TheSystemsReasonIsInTheOperatorsLanguage)
{
    QUORVEL_UNDER_PT_BR(locale);
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("ausente.jpg"));
    EXPECT_TRUE(failsWith([&] { loadPictureFile(missing); },
                          "Cannot open file \"" + text(missing) + "\". Arquivo ou diret\xF3rio inexistente"));
    Config config;
    config.photoFolder = text(dir.filePath(QStringLiteral("sem/pasta")));
    const PilotPhotoFiles cache(config);
    EXPECT_TRUE(
        failsWith([&] { cache.StorePilotPhoto(Row("a.jpg", "bytes")); },
                  "Cannot create file \"" + config.photoFolder + "/a.jpg\". Arquivo ou diret\xF3rio inexistente"));
}

} // namespace
