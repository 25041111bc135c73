#include "format/mpegheader.h"

#include <array>
#include <limits>

namespace {

// Rows: bitrate index 0..15; columns: MPEG-1 Layer I, II, III,
// MPEG-2/2.5 Layer I, II, III (kbit/s).
static constexpr std::array<qint32, 96> BitRates = {
    0,   0,   0,   0,   0,   0,
    32,  32,  32,  32,  8,   8,
    64,  48,  40,  48,  16,  16,
    96,  56,  48,  56,  24,  24,
    128, 64,  56,  64,  32,  32,
    160, 80,  64,  80,  40,  40,
    192, 96,  80,  96,  48,  48,
    224, 112, 96,  112, 56,  56,
    256, 128, 112, 128, 64,  64,
    288, 160, 128, 144, 80,  80,
    320, 192, 160, 160, 96,  96,
    352, 224, 192, 176, 112, 112,
    384, 256, 224, 192, 128, 128,
    416, 320, 256, 224, 144, 144,
    448, 384, 320, 256, 160, 160,
    0,   0,   0,   0,   0,   0,
};

// Rows: version code 1..3; columns: sampling index 0..3 (3 repeats 2).
static constexpr std::array<qint32, 12> SampleRates = {
    44100, 48000, 32000, 32000,
    22050, 24000, 16000, 16000,
    11025, 12000, 8000,  8000,
};

// The real frame length for every combination of version, layer, bitrate
// index, sampling index and padding, 0 where the combination is not valid.
// Index: version and layer bits (xxx1111x of byte 1) << 6 | byte 2 >> 1.
// The walk looks every frame up here instead of working the formulas out.
constexpr std::array<quint16, 2048> buildFrameBytes()
{
    std::array<quint16, 2048> table{};
    for (int i = 0; i < 2048; ++i) {
        const int versionBits = (i >> 6) & 0x18;
        const int layerBits = (i >> 6) & 0x06;
        const int bitRateIndex = (i >> 3) & 0x0F;
        const int sampleIndex = (i >> 1) & 0x03;
        const int pad = i & 1;
        if (versionBits == 0x08 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15
            || sampleIndex == 3)
            continue;
        const bool mpeg1 = versionBits == 0x18;
        const int row = mpeg1 ? 0 : versionBits == 0x10 ? 1 : 2;
        const int layer = layerBits == 0x06 ? 1 : layerBits == 0x04 ? 2 : 3;
        const qint64 bits = qint64(BitRates[bitRateIndex * 6 + (layer - 1) + (mpeg1 ? 0 : 3)]) * 1000;
        const qint64 rate = SampleRates[row * 4 + sampleIndex];
        qint64 length = 0;
        if (layer == 1)
            length = (12 * bits / rate + pad) * 4;
        else if (layer == 2 || mpeg1)
            length = 144 * bits / rate + pad;
        else
            length = 72 * bits / rate + pad;
        table[i] = quint16(length);
    }
    return table;
}

static constexpr std::array<quint16, 2048> FrameBytes = buildFrameBytes();

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
    return frameBytes(h) != 0;
}

bool MpegHeader::sameStream(const char *a, const char *b)
{
    return versionBits(a) == versionBits(b) && layerBits(a) == layerBits(b)
        && sampleRateIndex(a) == sampleRateIndex(b);
}

int MpegHeader::frameBytes(const char *h)
{
    // sync: 11111111 111xxxxx
    if (byteAt(h, 0) != 0xFF || (byteAt(h, 1) & 0xE0) != 0xE0)
        return 0;
    return FrameBytes[((byteAt(h, 1) & 0x1E) << 6) | (byteAt(h, 2) >> 1)];
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
