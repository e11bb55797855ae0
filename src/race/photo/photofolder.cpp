#include "race/photo/photofolder.h"

#include "base/config.h"
#include "base/cp1252.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace quorvel::race {

QString photoFolderPath(const Text& override)
{
    if (!override.isEmpty())
        return fromCp1252(override);
    const QString executable = QCoreApplication::applicationFilePath();
    return executable.left(executable.lastIndexOf(u'/') + 1) + QLatin1StringView(kPhotoFolderName);
}

void ensureFolder(const QString& path)
{
    if (!QFileInfo(path).isDir())
        ::mkdir(QFile::encodeName(path).constData(), 0777);
}

} // namespace quorvel::race
