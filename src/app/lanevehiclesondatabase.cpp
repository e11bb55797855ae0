#include "app/lanevehiclesondatabase.h"

#include "race/photo/photorow.h"
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
    query(lane).close();
}

void LaneVehiclesOnDatabase::openVehicle(race::Lane lane, qint32 code)
{
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
    m_photos.StorePilotPhoto(QueryPhotoRow(query(lane)));
}

void LaneVehiclesOnDatabase::loadPhoto(race::Lane lane, overlay::El element)
{
    race::ScreenPicture picture(m_screen, element);
    m_photos.LoadPilotPhoto(QueryPhotoRow(query(lane)), picture);
}

} // namespace quorvel::app
