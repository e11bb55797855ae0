#pragma once

#include "overlay/elements.h"
#include "race/lanerecord.h"

#include <QtGlobal>

namespace quorvel::race {

// What the race display needs of each lane's vehicle row (qryDadosPilotoA/B) and of the
// photo folder. The form provides it over the database link.
class LaneVehicles {
public:
    virtual ~LaneVehicles() = default;

    // Close the lane's vehicle query.
    virtual void closeVehicle(Lane lane) = 0;
    // Set its CODIGO and open it; a database failure raises.
    virtual void openVehicle(Lane lane, qint32 code) = 0;

    // The photo folder beside the executable, created when missing.
    virtual void preparePhotoFolder() = 0;
    // Writes the lane's photo into the folder (nothing without a photo); raises on failure.
    virtual void storePhoto(Lane lane) = 0;
    // Loads the lane's photo file into the element (clears it without a photo); raises on
    // failure, and the element keeps its picture then.
    virtual void loadPhoto(Lane lane, overlay::El element) = 0;
    // Starts reading and decoding the lane's photo file for the element beside what
    // follows, so that the next loadPhoto of the lane and element takes the result
    // instead, raising then whatever it would have raised. Nothing shows before that
    // loadPhoto; opening or closing the lane's vehicle drops what was started.
    virtual void preloadPhoto(Lane, overlay::El) { }
};

} // namespace quorvel::race
