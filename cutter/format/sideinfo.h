#ifndef SIDEINFO_H
#define SIDEINFO_H

#include <QtGlobal>

// The Layer III side information of one frame, read and changed where it
// stands: right after the 4 header bytes and, in a protected frame, the 2
// CRC bytes. Every function takes a pointer to the frame's first byte and
// reads no further than the side information ends.
//
// The fields the cutter needs are the bit reservoir's: main_data_begin (how
// many bytes of this frame's main data lie in earlier frames) and, per
// granule and channel, part2_3_length (how many bits of main data it has),
// plus global_gain, the one field a level change rewrites.
class SideInfo
{
public:
    // 32 bytes (MPEG-1 stereo), 17 (MPEG-1 mono, MPEG-2/2.5 stereo) or 9
    // (MPEG-2/2.5 mono).
    static int size(const char *header);
    // Where it starts: after the header and its CRC.
    static int offset(const char *header) { return isProtected(header) ? 6 : 4; }
    // The protection bit is 0: two CRC bytes follow the header.
    static bool isProtected(const char *header) { return (quint8(header[1]) & 0x01) == 0; }
    // Granules per frame: 2 in MPEG-1, 1 in MPEG-2/2.5.
    static int granules(const char *header);
    static int channels(const char *header);
    // How far back a main_data_begin reaches: 511 (MPEG-1) or 255 bytes.
    static int maxMainDataBegin(const char *header);

    // 9 bits in MPEG-1, 8 in MPEG-2/2.5, first in the side information.
    static int mainDataBegin(const char *frame);
    // The frame's main data area: all of it but header, CRC and side
    // information. Later frames may borrow what its own data leaves free.
    static int mainDataSize(const char *frame, int frameLength);
    // The frame's own main data in bytes: the sum of part2_3_length over its
    // granules and channels, rounded up.
    static int ownMainData(const char *frame);
    // Bit position of global_gain for a granule and channel, from the start
    // of the side information.
    static int globalGainBit(const char *header, int granule, int channel);

    // The CRC of a protected frame: CRC-16, polynomial 0x8005, initial value
    // 0xFFFF, over header bytes 2 and 3 and the side information.
    static quint16 crc(const char *frame);
    // Puts that CRC into a protected frame; leaves others alone.
    static void writeCrc(char *frame);
};

#endif // SIDEINFO_H
