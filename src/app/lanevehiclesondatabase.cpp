#include "app/lanevehiclesondatabase.h"

#include "race/photo/photorow.h"
#include "race/photo/screenpicture.h"
#include "race/photofailure.h"

#include <type_traits>

namespace quorvel::app {
namespace {

// A lane's vehicle query as the photo cache reads it. Remembers whether a failure came
// from the database, so that only the photo file's own failures are taken as photo
// failures.
class QueryPhotoRow : public race::PhotoRow {
public:
    explicit QueryPhotoRow(const db::Query& query)
        : m_query(query)
    {
    }

    template <class F>
    std::invoke_result_t<F> fromDatabase(F&& read) const
    {
        try {
            return read();
        } catch (...) {
            m_databaseFailed = true;
            throw;
        }
    }

    bool hasPhoto() const override
    {
        return fromDatabase([&] {
            return m_query.isOpen() && m_query.recordCount() > 0 && !m_query.isNull("FOTO_PILOTO");
        });
    }
    Text fileName() const override
    {
        return fromDatabase([&] { return m_query.asText("NOME_ARQ_FOTO"); });
    }
    QByteArray photoBytes() const override
    {
        return fromDatabase([&] { return m_query.bytes("FOTO_PILOTO"); });
    }

    bool databaseFailed() const { return m_databaseFailed; }

private:
    const db::Query& m_query;
    mutable bool m_databaseFailed = false;
};

template <class F>
void asPhotoFailure(const QueryPhotoRow& row, F&& operation)
{
    try {
        operation();
    } catch (const Failure& e) {
        if (row.databaseFailed())
            throw;
        throw race::PhotoFailure(e.message());
    }
}

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
    const QueryPhotoRow row(query(lane));
    asPhotoFailure(row, [&] { m_photos.StorePilotPhoto(row); });
}

void LaneVehiclesOnDatabase::loadPhoto(race::Lane lane, overlay::El element)
{
    const QueryPhotoRow row(query(lane));
    race::ScreenPicture picture(m_screen, element);
    asPhotoFailure(row, [&] { m_photos.LoadPilotPhoto(row, picture); });
}

} // namespace quorvel::app
