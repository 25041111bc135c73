#ifndef SILENTFRAME_H
#define SILENTFRAME_H

#include <QByteArray>

// Silent Layer III frames, and the side-information facts the cutter needs on
// real ones. A silent frame has main_data_begin 0 and part2_3_length 0 in
// every granule and channel; its main data area is free for bytes that the
// frames after it borrow through their main_data_begin (the bit reservoir).
class SilentFrame
{
public:
    // A silent frame of the reference's version, rate, channel mode and
    // protection whose main data area ends with exactly tail, with the
    // smallest bitrate index that has room. Empty when the reference is no
    // valid Layer III header or tail is longer than a main_data_begin can
    // reach back (511 bytes in MPEG-1, 255 in MPEG-2/2.5).
    static QByteArray build(const QByteArray &reference, const QByteArray &tail);

    // The frame's main_data_begin: 9 bits in MPEG-1, 8 in MPEG-2/2.5, right
    // after the header and its CRC. Reads up to 8 bytes.
    static int mainDataBegin(const char *frame);
    // The bytes of a frame that belong to the main data stream: all but the
    // header, the CRC and the side information.
    static int mainDataSize(const char *frame, int frameLength);

    // Side information: 32 bytes (MPEG-1 stereo), 17 (MPEG-1 mono, MPEG-2/2.5
    // stereo) or 9 (MPEG-2/2.5 mono).
    static int sideInfoSize(const char *header);
    // The protection bit is 0: two CRC bytes follow the header.
    static bool isProtected(const char *header);
    // How far back a main_data_begin reaches: 511 or 255 bytes.
    static int maxMainDataBegin(const char *header);

    // An all-zero frame (silent side information) with the reference's
    // header fields, the smallest bitrate index giving at least minLength
    // bytes and padding 0; empty when the reference is no valid Layer III
    // header or no bitrate gives the room.
    static QByteArray blank(const QByteArray &reference, int minLength);
    // Puts the frame CRC into a protected frame; leaves others alone.
    static void writeCrc(QByteArray &frame);
};

#endif // SILENTFRAME_H
