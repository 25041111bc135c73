#ifndef SILENTFRAME_H
#define SILENTFRAME_H

#include <QByteArray>

// Silent Layer III frames. A silent frame has main_data_begin 0 and part2_3_length 0 in
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

    // An all-zero frame (silent side information) with the reference's
    // header fields, the smallest bitrate index giving at least minLength
    // bytes and padding 0; empty when the reference is no valid Layer III
    // header or no bitrate gives the room.
    static QByteArray blank(const QByteArray &reference, int minLength);
};

#endif // SILENTFRAME_H
