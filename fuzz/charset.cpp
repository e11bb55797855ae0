// Text values as the database sends them, in any of the connection's character sets.
#include "db/charsetconversion.h"

#include "fuzzapplication.h"

#include <cstdint>
#include <cstdlib>

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

// The first byte picks the character set, the rest is the value.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const db::CharsetConversion conversions[] = {
        db::CharsetConversion("utf8mb4"), db::CharsetConversion("utf8mb3"), db::CharsetConversion("UTF8"),
        db::CharsetConversion("latin1"),  db::CharsetConversion("ascii"),   db::CharsetConversion("cp1252"),
        db::CharsetConversion("koi8r"),   db::CharsetConversion("big5"),    db::CharsetConversion("ucs2"),
        db::CharsetConversion("utf16"),   db::CharsetConversion("sjis"),    db::CharsetConversion("binary"),
    };
    if (size == 0)
        return 0;
    const auto& conversion = conversions[data[0] % std::size(conversions)];
    const Text value = Text::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Text converted = conversion.toSystemText(value);
    if (converted.size() > db::kMaxTextBytes)
        std::abort();
    return 0;
}
