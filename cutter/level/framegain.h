#ifndef FRAMEGAIN_H
#define FRAMEGAIN_H

#include "io/cutresult.h"

#include <QtGlobal>

struct LevelMap;

// Changes the level of Layer III frames in place, without decoding: every
// granule and channel has an 8-bit global_gain in the side information, and
// adding one to it scales that granule's decoded samples by 2^(1/4). A
// protected frame gets its CRC recomputed, since the CRC covers the side
// information.
class FrameGain
{
public:
    // Silent granules (no main data) never count as held; a granule pushed
    // under 0 by a fade neither, since silence is what a fade wants.
    using Report = LevelShortfall;

    // Layer III frames only: 2 granules in MPEG-1, 1 in MPEG-2 and 2.5;
    // 0 for other layers.
    static int granules(const char *header);

    // The global_gain of a granule and channel of a Layer III frame.
    static int globalGain(const char *frame, int granule, int channel);
    // part2_3_length: the bits of main data the granule and channel has.
    static int mainDataBits(const char *frame, int granule, int channel);

    // Applies the map to the frame whose first granule is output granule
    // firstGranule. length is the bytes available; false (frame untouched)
    // when they do not hold the header, CRC and side information of a
    // Layer III frame.
    static bool apply(char *frame, int length, const LevelMap &map, qint64 firstGranule,
                      Report *report);
    // Adds steps to every granule, clamped to 0..255.
    static bool apply(char *frame, int length, int steps, Report *report);
};

#endif // FRAMEGAIN_H
