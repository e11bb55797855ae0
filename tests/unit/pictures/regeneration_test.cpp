#include "imagecompare.h"
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

// The committed pictures are the generator's output: changing the drawing code without
// committing the new pictures, or the other way round, shows up here. Edge pixels may
// differ by the few units another processor's blending gives them, nothing else.
TEST(Picturegen, DrawsTheCommittedPicturesAgain)
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
        EXPECT_EQ(imageMismatch(committed, drawn), "");
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
