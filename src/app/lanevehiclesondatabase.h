#pragma once

#include "base/config.h"
#include "db/query.h"
#include "overlay/screen.h"
#include "race/lanevehicles.h"
#include "race/photo/pilotphotofiles.h"

#include <array>
#include <future>
#include <optional>

namespace quorvel::app {

// The lanes' vehicle rows (qryDadosPilotoA, qryDadosPilotoB on the race database) and the
// photo folder, as the race display uses them. A photo file that cannot be written or
// read raises a PhotoFailure; a failure of the database is raised as it is.
class LaneVehiclesOnDatabase : public race::LaneVehicles {
public:
    LaneVehiclesOnDatabase(overlay::Screen& screen, db::Query& laneA, db::Query& laneB, const Config& config);

    void closeVehicle(race::Lane lane) override;
    void openVehicle(race::Lane lane, qint32 code) override;
    void preparePhotoFolder() override;
    void storePhoto(race::Lane lane) override;
    void loadPhoto(race::Lane lane, overlay::El element) override;
    void preloadPhoto(race::Lane lane, overlay::El element) override;

    const race::PilotPhotoFiles& photoFiles() const { return m_photos; }

private:
    db::Query& query(race::Lane lane) { return lane == race::Lane::A ? m_laneA : m_laneB; }

    // A lane's photo being read and decoded on another thread, for one element.
    struct Preload {
        overlay::El element{};
        std::future<std::optional<QImage>> picture;
    };
    Preload& preload(race::Lane lane) { return m_preloads[lane == race::Lane::A ? 0 : 1]; }

    overlay::Screen& m_screen;
    db::Query& m_laneA;
    db::Query& m_laneB;
    race::PilotPhotoFiles m_photos;
    std::array<Preload, 2> m_preloads;
};

} // namespace quorvel::app
