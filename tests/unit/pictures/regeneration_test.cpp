#include "pictures.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

int runPicturegen(const QStringList& arguments, QString* errors = nullptr)
{
    QProcess generator;
    generator.start(QStringLiteral(PICTUREGEN_PATH), arguments);
    if (!generator.waitForFinished(60000)) {
        generator.kill();
        generator.waitForFinished();
        return -1;
    }
    if (errors)
        *errors = QString::fromLocal8Bit(generator.readAllStandardError());
    return generator.exitStatus() == QProcess::NormalExit ? generator.exitCode() : -1;
}

// Where two pictures first differ, or an empty text when they are the same pixel for pixel.
std::string firstDifference(const QImage& expected, const QImage& actual)
{
    if (expected.size() != actual.size())
        return "sizes differ";
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "at " + std::to_string(x) + ", " + std::to_string(y) + ": committed " + describe(a.pixel(x, y))
                    + ", drawn " + describe(b.pixel(x, y));
    return {};
}

// The committed pictures are the generator's output: changing the drawing code without
// committing the new pictures, or the other way round, shows up here.
TEST(Picturegen, DrawsTheCommittedPicturesAgainPixelForPixel)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QString errors;
    ASSERT_EQ(runPicturegen({folder.path()}, &errors), 0) << errors.toStdString();
    const QStringList fileNames = quorvel::assets::pictureFileNames();
    ASSERT_EQ(fileNames.size(), 9);
    for (const QString& name : fileNames) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray fileName = name.toUtf8();
        const QImage drawn(QDir(folder.path()).filePath(name));
        ASSERT_FALSE(drawn.isNull());
        const QImage committed = builtInPicture(fileName.constData());
        EXPECT_EQ(drawn.hasAlphaChannel(), committed.hasAlphaChannel());
        EXPECT_EQ(firstDifference(committed, drawn), "");
    }
}

TEST(Picturegen, FailsWithoutAFolderItCanWriteTo)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile blocker(QDir(folder.path()).filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QString errors;
    EXPECT_EQ(runPicturegen({blocker.fileName() + QStringLiteral("/pictures")}, &errors), 1);
    EXPECT_FALSE(errors.isEmpty());
    EXPECT_EQ(runPicturegen({}), 2) << "no folder given";
}

} // namespace
