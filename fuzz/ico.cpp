// Photo files as they may lie in the photo folder: damaged, cut short or hostile.
#include "race/photo/decoders.h"

#include "decoderfuzz.h"

QUORVEL_DECODER_FUZZER(quorvel::race::decodeIco)
