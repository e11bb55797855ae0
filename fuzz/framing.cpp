// The timing server's text with every effect it has on the strip. The lanes' vehicle rows
// and photos stay out: they belong to the database and the photo folder, fuzzed apart.
#include "race/racedisplay.h"
#include "race/readhandler.h"

#include "base/failure.h"
#include "base/timer.h"
#include "overlay/screen.h"

#include "fuzzapplication.h"

#include <cstdint>

namespace {

using namespace quorvel;

struct NoVehicles : race::LaneVehicles {
    void closeVehicle(race::Lane) override { }
    void openVehicle(race::Lane, qint32) override { }
    void preparePhotoFolder() override { }
    void storePhoto(race::Lane) override { }
    void loadPhoto(race::Lane, overlay::El) override { }
};

struct Overlay {
    overlay::Screen screen;
    Timer tmrResult{"tmrResult", 60000};
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    NoVehicles vehicles;
    race::RaceDisplay display{screen, tmrIntervalo, vehicles};
    race::ReadHandler framing{screen, tmrResult, tmrIntervalo};

    Overlay()
    {
        framing.setApplyRaceMessage([this](const race::RaceMessage& m) { display.ApplyRaceMessage(m); });
        display.limpadados();
    }

    void read(const Text& chunk)
    {
        try {
            framing.S_ClienteRead(chunk);
        } catch (const Failure&) {
            // The link reports it in mLog and reads on.
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

// The first byte says where the rest is cut into two reads: a message may be split across
// reads the way TCP delivers it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const Text text(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype cut = text.isEmpty() ? 0 : data[0] % (text.size() + 1);
    Overlay overlay;
    overlay.read(text.left(cut));
    overlay.read(text.mid(cut));
    return 0;
}
