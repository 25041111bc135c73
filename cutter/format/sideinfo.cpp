#include "format/sideinfo.h"

#include "format/mpegheader.h"

namespace {

inline quint8 byteAt(const char *p, int i)
{
    return static_cast<quint8>(p[i]);
}

// channel mode: 11xxxxxx of byte 3, 11 is single channel
inline bool isMono(const char *h)
{
    return (byteAt(h, 3) >> 6) == 3;
}

// count bits at bit position `at` (most significant first)
int bitsAt(const char *p, int at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const int bit = at + i;
        value = (value << 1) | ((byteAt(p, bit >> 3) >> (7 - (bit & 7))) & 1);
    }
    return value;
}

// Bits in front of the first granule: main_data_begin, private bits, and in
// MPEG-1 the scale factor sharing flags.
int frameFieldBits(const char *h)
{
    const bool mono = isMono(h);
    if (MpegHeader::version(h) == 1)
        return 9 + (mono ? 5 : 3) + 4 * (mono ? 1 : 2);
    return 8 + (mono ? 1 : 2);
}

// Per granule and channel: 59 bits in MPEG-1, 63 in MPEG-2/2.5.
int granuleBits(const char *h)
{
    return MpegHeader::version(h) == 1 ? 59 : 63;
}

} // namespace

int SideInfo::size(const char *header)
{
    if (MpegHeader::version(header) == 1)
        return isMono(header) ? 17 : 32;
    return isMono(header) ? 9 : 17;
}

int SideInfo::granules(const char *header)
{
    return MpegHeader::version(header) == 1 ? 2 : 1;
}

int SideInfo::channels(const char *header)
{
    return isMono(header) ? 1 : 2;
}

int SideInfo::maxMainDataBegin(const char *header)
{
    return MpegHeader::version(header) == 1 ? 511 : 255;
}

int SideInfo::mainDataBegin(const char *frame)
{
    const char *side = frame + offset(frame);
    if (MpegHeader::version(frame) == 1)
        return (byteAt(side, 0) << 1) | (byteAt(side, 1) >> 7);
    return byteAt(side, 0);
}

int SideInfo::mainDataSize(const char *frame, int frameLength)
{
    return frameLength - offset(frame) - size(frame);
}

int SideInfo::globalGainBit(const char *header, int granule, int channel)
{
    const int slot = granule * channels(header) + channel;
    // part2_3_length 12 and big_values 9 come first
    return frameFieldBits(header) + slot * granuleBits(header) + 12 + 9;
}

int SideInfo::ownMainData(const char *frame)
{
    const char *side = frame + offset(frame);
    int bits = 0;
    for (int g = 0; g < granules(frame); ++g) {
        for (int c = 0; c < channels(frame); ++c)
            bits += bitsAt(side, globalGainBit(frame, g, c) - 21, 12);
    }
    return (bits + 7) / 8;
}

quint16 SideInfo::crc(const char *frame)
{
    // MSB first, polynomial 0x8005, over 2 header bytes and the side information
    quint16 crc = 0xFFFF;
    auto feed = [&crc](quint8 byte) {
        crc ^= quint16(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x8005) : quint16(crc << 1);
    };
    feed(byteAt(frame, 2));
    feed(byteAt(frame, 3));
    const int side = size(frame);
    for (int i = 0; i < side; ++i)
        feed(byteAt(frame, 6 + i));
    return crc;
}

void SideInfo::writeCrc(char *frame)
{
    if (!isProtected(frame))
        return;
    const quint16 value = crc(frame);
    frame[4] = char(value >> 8);
    frame[5] = char(value & 0xFF);
}
