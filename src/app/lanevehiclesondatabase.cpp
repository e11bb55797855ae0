#include "app/lanevehiclesondatabase.h"

#include "base/cp1252.h"
#include "race/photo/photorow.h"
#include "race/photo/picturefile.h"
#include "race/photo/screenpicture.h"

namespace quorvel::app {
namespace {

// A lane's vehicle query as the photo cache reads it. A failure of the database passes
// through as it is; the cache raises the photo file's own failures as PhotoFailure.
class QueryPhotoRow : public race::PhotoRow {
public:
    explicit QueryPhotoRow(const db::Query& query)
        : m_query(query)
    {
    }

    bool hasPhoto() const override
    {
        return m_query.isOpen() && m_query.recordCount() > 0 && !m_query.isNull("FOTO_PILOTO");
    }
    Text fileName() const override { return m_query.asText("NOME_ARQ_FOTO"); }
    QByteArray photoBytes() const override { return m_query.bytes("FOTO_PILOTO"); }

private:
    const db::Query& m_query;
};

} // namespace

LaneVehiclesOnDatabase::LaneVehiclesOnDatabase(overlay::Screen& screen, db::Query& laneA, db::Query& laneB,
                                               const Config& config)
    : m_screen(screen)
    , m_laneA(laneA)
    , m_laneB(laneB)
    , m_photos(config)
{
}

void LaneVehiclesOnDatabase::closeVehicle(race::Lane lane)
{
    preload(lane) = {};
    query(lane).close();
}

void LaneVehiclesOnDatabase::openVehicle(race::Lane lane, qint32 code)
{
    preload(lane) = {};
    db::Query& q = query(lane);
    q.setParam("CODIGO", code);
    q.open();
}

void LaneVehiclesOnDatabase::preparePhotoFolder()
{
    m_photos.PreparePhotoFolder();
}

void LaneVehiclesOnDatabase::storePhoto(race::Lane lane)
{
    preload(lane) = {}; // the file is about to change
    m_photos.StorePilotPhoto(QueryPhotoRow(query(lane)));
}

void LaneVehiclesOnDatabase::loadPhoto(race::Lane lane, overlay::El element)
{
    race::ScreenPicture picture(m_screen, element);
    Preload started = std::exchange(preload(lane), {});
    if (!started.picture.valid() || started.element != element) {
        m_photos.LoadPilotPhoto(QueryPhotoRow(query(lane)), picture);
        return;
    }
    // Raises here, in the caller's order, what the other thread met.
    if (const std::optional<QImage> shown = started.picture.get())
        picture.setPicture(*shown);
    else
        picture.clearPicture();
}

void LaneVehiclesOnDatabase::preloadPhoto(race::Lane lane, overlay::El element)
{
    Preload& started = preload(lane);
    started = {};
    started.element = element;
    try {
        // The row and the element's box are read here, on the window's thread; only the
        // file's reading and decoding runs beside it.
        const QueryPhotoRow row(query(lane));
        // Only a format whose decoding is one processor's work gains from a thread of its own.
        if (row.hasPhoto() && !race::decodesOnOneProcessor(fromCp1252(row.fileName()))) {
            started = {};
            return;
        }
        const race::ScreenPicture picture(m_screen, element);
        started.picture = std::async(std::launch::async, m_photos.PilotPhotoReading(row, picture.fitBox()));
    } catch (...) {
        std::promise<std::optional<QImage>> failed;
        failed.set_exception(std::current_exception());
        started.picture = failed.get_future();
    }
}

} // namespace quorvel::app
