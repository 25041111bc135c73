#include "mpegheader.h"

#include <limits>

namespace {

inline quint8 byteAt(const char *h, int i)
{
    return static_cast<quint8>(h[i]);
}

// version bits: xxx11xxx of byte 1
inline int versionBits(const char *h) { return byteAt(h, 1) & 0x18; }
// layer bits: xxxxx11x of byte 1
inline int layerBits(const char *h) { return byteAt(h, 1) & 0x06; }
// bitrate index: 1111xxxx of byte 2
inline int bitRateIndex(const char *h) { return byteAt(h, 2) >> 4; }
// sampling-rate index: xxxx11xx of byte 2
inline int sampleRateIndex(const char *h) { return (byteAt(h, 2) & 0x0C) >> 2; }

// Division rounding toward minus infinity (d > 0).
inline qint64 floorDiv(qint64 n, qint64 d)
{
    qint64 q = n / d;
    if (n % d != 0 && n < 0)
        --q;
    return q;
}

} // namespace

int MpegHeader::version(const char *h)
{
    switch (versionBits(h)) {
    case 0x18: return 1;
    case 0x10: return 2;
    case 0x00: return 3;
    default:   return 4;
    }
}

int MpegHeader::layer(const char *h)
{
    switch (layerBits(h)) {
    case 0x06: return 1;
    case 0x04: return 2;
    case 0x02: return 3;
    default:   return -1;
    }
}

qint64 MpegHeader::bitRate(const char *h, int version)
{
    if (version == 4)
        return -1;
    int column = 0;
    const int bits = layerBits(h);
    if (bits != 0x00) {
        column = bits == 0x06 ? 0 : bits == 0x04 ? 1 : 2;
        if (version != 1)
            column += 3;
    }
    return BitRates[bitRateIndex(h) * 6 + column];
}

qint64 MpegHeader::sampleRate(const char *h)
{
    const int v = version(h);
    if (v == 4)
        return -1;
    return SampleRates[(v - 1) * 4 + sampleRateIndex(h)];
}

int MpegHeader::padding(const char *h)
{
    // padding: xxxxxx1x of byte 2
    return (byteAt(h, 2) >> 1) & 1;
}

qint64 MpegHeader::frameLength(int version, qint64 bitRate, qint64 sampleRate, int padding)
{
    if (sampleRate == 0)
        return padding;
    const qint64 coefficient = version == 1 ? 144 : 72;
    return coefficient * bitRate / sampleRate + padding;
}

qint64 MpegHeader::framesBetween(qint64 start, qint64 end)
{
    qint64 span = 0;
    if (__builtin_sub_overflow(end, start, &span))
        span = end > start ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return span / NominalFrameDuration;
}

int MpegHeader::firstFrameOffset(int tagSize, int scanCount)
{
    if (scanCount == 0)
        return tagSize;
    const qint64 offset = qint64(tagSize) + scanCount - HeaderSize;
    if (offset < 0 || offset > std::numeric_limits<int>::max())
        return -1;
    return int(offset);
}

QString MpegHeader::formatText(const char *h)
{
    const int v = version(h);
    const int l = layer(h);
    if (v == 4 || l < 1)
        return QString();
    return QStringLiteral("MPEG-%1 Layer-%2").arg(v).arg(l);
}

bool MpegHeader::isValid(const char *h)
{
    // sync: 11111111 111xxxxx
    if (byteAt(h, 0) != 0xFF || (byteAt(h, 1) & 0xE0) != 0xE0)
        return false;
    if (versionBits(h) == 0x08 || layerBits(h) == 0x00)
        return false;
    const int index = bitRateIndex(h);
    return index >= 1 && index <= 14 && sampleRateIndex(h) != 3;
}

bool MpegHeader::sameStream(const char *a, const char *b)
{
    return versionBits(a) == versionBits(b) && layerBits(a) == layerBits(b)
        && sampleRateIndex(a) == sampleRateIndex(b);
}

int MpegHeader::frameBytes(const char *h)
{
    if (!isValid(h))
        return 0;
    const int v = version(h);
    const qint64 bits = bitRate(h, v) * 1000;
    const qint64 rate = sampleRate(h);
    const int pad = padding(h);
    switch (layer(h)) {
    case 1:
        return int((12 * bits / rate + pad) * 4);
    case 2:
        return int(144 * bits / rate + pad);
    default:
        return int((v == 1 ? 144 : 72) * bits / rate + pad);
    }
}

int MpegHeader::samplesPerFrame(const char *h)
{
    const int v = version(h);
    if (v == 4)
        return 0;
    switch (layer(h)) {
    case 1: return 384;
    case 2: return 1152;
    case 3: return v == 1 ? 1152 : 576;
    default: return 0;
    }
}

qint64 MpegHeader::frameIndex(qint64 microseconds, qint64 rate, int samples)
{
    if (rate <= 0 || samples <= 0)
        return 0;
    // t x rate overflows 64 bits for long times, so split t by the divisor:
    // t = q x d + r with 0 <= r < d, and floor(t x rate / d) = q x rate + r x rate / d.
    const qint64 divisor = qint64(samples) * 1000000;
    const qint64 q = floorDiv(microseconds, divisor);
    const qint64 r = microseconds - q * divisor;
    return q * rate + r * rate / divisor;
}
