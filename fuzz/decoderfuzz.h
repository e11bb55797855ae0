#pragma once

#include "base/failure.h"
#include "race/photo/picturelimits.h"

#include "fuzzapplication.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstdlib>

namespace quorvel::fuzz {

// Any bytes either give a picture within the limits or the decoder's own failure;
// anything else (another exception, a crash, a sanitizer report) ends the run.
template <typename Decoder> int decodeAnyBytes(Decoder decode, const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QImage picture = decode(bytes);
        if (!picture.isNull() && !race::withinPictureLimit(picture.width(), picture.height()))
            std::abort();
    } catch (const Failure&) {
    }
    return 0;
}

} // namespace quorvel::fuzz

#define QUORVEL_DECODER_FUZZER(decoder)                                                                                \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)                                                       \
    {                                                                                                                  \
        quorvel::fuzz::startApplication(argc, argv);                                                                   \
        return 0;                                                                                                      \
    }                                                                                                                  \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)                                            \
    {                                                                                                                  \
        return quorvel::fuzz::decodeAnyBytes(decoder, data, size);                                                     \
    }
