#pragma once

#include "race/lanevehicles.h"

namespace quorvel::bench {

// Lane vehicles for benchmarks that never look one up: the keys they time and the board's
// ticks ask nothing of them.
class NoVehicles : public race::LaneVehicles {
public:
    void closeVehicle(race::Lane) override { }
    void openVehicle(race::Lane, qint32) override { }
    void preparePhotoFolder() override { }
    void storePhoto(race::Lane) override { }
    void loadPhoto(race::Lane, overlay::El) override { }
};

} // namespace quorvel::bench
