#pragma once

#include "base/config.h"
#include "base/text.h"
#include "race/photo/photorow.h"
#include "race/photo/picturesink.h"

#include <QImage>
#include <QString>

#include <functional>
#include <optional>

namespace quorvel::race {

// The pilots' photos as files in the folder "fotopilotos" beside the executable: the run
// reset writes each lane's photo there from its vehicle row, the lights-off view loads it
// back into the lane's photo element. Every failure is raised as a Failure and leaves
// nothing half done on screen, so a caller can log it and go on.
class PilotPhotoFiles {
public:
    explicit PilotPhotoFiles(const Config& config);

    // The folder's path, without a trailing separator.
    const QString& PhotoFolder() const { return m_folder; }

    // Computes PhotoFolder and creates the folder (one level) if there is none. A failed
    // creation is not reported: it shows as the file-creation error of StorePilotPhoto.
    void PreparePhotoFolder();

    // Writes the row's FOTO_PILOTO into PhotoFolder under NOME_ARQ_FOTO, replacing any
    // file of that name; does nothing when the row has no photo. Raises
    // "Cannot create file "%s". %s" or the database's failure.
    void StorePilotPhoto(const PhotoRow& row) const;

    // Shows the row's photo file in the element, or clears it when the row has no photo.
    // Raises the extension, open or decoder message; the element then keeps its picture.
    void LoadPilotPhoto(const PhotoRow& row, PictureSink& element) const;

    // The same in two halves, so that the file can be read and decoded on another thread.
    // This half reads the row and judges the file's name, raising what LoadPilotPhoto
    // raises before it opens the file; the function it returns opens, reads and decodes
    // the file for a box of `fitBox` (raising the open or decoder message) on any thread,
    // and gives no picture when the row has no photo: the element is to be cleared.
    using PhotoReading = std::function<std::optional<QImage>()>;
    PhotoReading PilotPhotoReading(const PhotoRow& row, QSize fitBox) const;

    // PhotoFolder, a separator, then the name unchanged.
    QString photoFilePath(const Text& fileName) const;

private:
    Text m_folderOverride;
    QString m_folder;
};

} // namespace quorvel::race
