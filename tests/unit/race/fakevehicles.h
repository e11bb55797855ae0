#pragma once

#include "race/lanevehicles.h"
#include "race/photofailure.h"

#include <QStringList>

#include <functional>

// Records what the race display asks of the lanes' vehicle rows and photo folder, and
// raises the failures a test sets up (a full database is used by the end-to-end tests).
struct FakeVehicles : quorvel::race::LaneVehicles {
    QStringList calls;
    std::function<void(quorvel::race::Lane)> onStore;
    std::function<void(quorvel::race::Lane)> onLoad;

    static QString name(quorvel::race::Lane lane)
    {
        return lane == quorvel::race::Lane::A ? QStringLiteral("A") : QStringLiteral("B");
    }

    void closeVehicle(quorvel::race::Lane lane) override { calls << QStringLiteral("close ") + name(lane); }
    void openVehicle(quorvel::race::Lane lane, qint32 code) override
    {
        calls << QStringLiteral("open %1 %2").arg(name(lane)).arg(code);
    }
    void preparePhotoFolder() override { calls << QStringLiteral("prepare"); }
    void storePhoto(quorvel::race::Lane lane) override
    {
        calls << QStringLiteral("store ") + name(lane);
        if (onStore)
            onStore(lane);
    }
    void loadPhoto(quorvel::race::Lane lane, quorvel::overlay::El) override
    {
        calls << QStringLiteral("load ") + name(lane);
        if (onLoad)
            onLoad(lane);
    }
};
