#include "race/photo/pilotphotofiles.h"

#include "base/cp1252.h"
#include "race/photo/photoerrors.h"
#include "race/photo/photofilename.h"
#include "race/photo/photofolder.h"
#include "race/photo/photowriter.h"
#include "race/photo/picturefile.h"

namespace quorvel::race {

PilotPhotoFiles::PilotPhotoFiles(const Config& config)
    : m_folderOverride(config.photoFolder)
    , m_folder(photoFolderPath(m_folderOverride))
{
}

void PilotPhotoFiles::PreparePhotoFolder()
{
    m_folder = photoFolderPath(m_folderOverride);
    ensureFolder(m_folder);
}

QString PilotPhotoFiles::photoFilePath(const Text& fileName) const
{
    return m_folder + u'/' + fromCp1252(fileName);
}

void PilotPhotoFiles::StorePilotPhoto(const PhotoRow& row) const
{
    if (!row.hasPhoto())
        return;
    const Text name = row.fileName();
    const QString path = photoFilePath(name);
    if (const Text reason = unsafeFileNameReason(name); !reason.isEmpty())
        throw cannotCreateFile(path, reason);
    // The column is read before the file is touched, so a database error leaves the
    // photo written by an earlier reset intact.
    writePhotoFile(path, row.photoBytes());
}

void PilotPhotoFiles::LoadPilotPhoto(const PhotoRow& row, PictureSink& element) const
{
    if (const std::optional<QImage> picture = PilotPhotoReading(row, element.fitBox())())
        element.setPicture(*picture);
    else
        element.clearPicture();
}

PilotPhotoFiles::PhotoReading PilotPhotoFiles::PilotPhotoReading(const PhotoRow& row, QSize fitBox) const
{
    if (!row.hasPhoto())
        return [] { return std::optional<QImage>(); };
    const Text name = row.fileName();
    const QString path = photoFilePath(name);
    // The name is judged before its extension, so a name such as ".." is refused for what
    // it is, not as an unknown kind of picture.
    if (const Text reason = unsafeFileNameReason(name); !reason.isEmpty())
        throw cannotOpenFile(path, reason);
    const FittingDecoder decoder = fittingDecoderForFile(path);
    return [path, decoder, fitBox] { return std::optional<QImage>(readPictureFile(path, decoder, fitBox)); };
}

} // namespace quorvel::race
