#include "level/framegain.h"

#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "format/silentframe.h"
#include "level/levelmap.h"

#include <algorithm>

namespace {

// Side information, bit by bit, after the header and its CRC:
//   MPEG-1:     main_data_begin 9, private 5 (mono) or 3, scfsi 4 per channel,
//               then 59 bits per granule and channel;
//   MPEG-2/2.5: main_data_begin 8, private 1 (mono) or 2, then 63 bits per
//               channel, one granule.
// Each granule and channel starts part2_3_length 12, big_values 9,
// global_gain 8.
constexpr int PartLengthBits = 12;
constexpr int GlobalGainAt = 12 + 9;

struct Layout
{
    int first = 0;      // bit of the first granule and channel
    int stride = 0;     // bits per granule and channel
    int channels = 0;
};

Layout layout(const char *h)
{
    const bool mpeg1 = MpegHeader::version(h) == 1;
    // channel mode: xx000000 of byte 3, 3 is mono
    const int channels = (quint8(h[3]) >> 6) == 3 ? 1 : 2;
    Layout l;
    l.channels = channels;
    if (mpeg1) {
        l.first = 9 + (channels == 1 ? 5 : 3) + 4 * channels;
        l.stride = 59;
    } else {
        l.first = 8 + (channels == 1 ? 1 : 2);
        l.stride = 63;
    }
    return l;
}

int sideInfoStart(const char *frame)
{
    return MpegHeader::HeaderSize + (SilentFrame::isProtected(frame) ? 2 : 0);
}

// Bits [bit, bit + width) of the side information, MSB first.
int readBits(const char *frame, int bit, int width)
{
    const auto *side = reinterpret_cast<const quint8 *>(frame + sideInfoStart(frame));
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const int at = bit + i;
        value = value << 1 | ((side[at >> 3] >> (7 - (at & 7))) & 1);
    }
    return value;
}

void writeBits(char *frame, int bit, int width, int value)
{
    auto *side = reinterpret_cast<quint8 *>(frame + sideInfoStart(frame));
    for (int i = 0; i < width; ++i) {
        const int at = bit + i;
        const quint8 mask = quint8(0x80 >> (at & 7));
        if ((value >> (width - 1 - i)) & 1)
            side[at >> 3] |= mask;
        else
            side[at >> 3] &= quint8(~mask);
    }
}

int fieldBit(const char *frame, int granule, int channel, int offset)
{
    const Layout l = layout(frame);
    return l.first + (granule * l.channels + channel) * l.stride + offset;
}

bool holdsSideInfo(const char *frame, int length)
{
    return length >= MpegHeader::HeaderSize && MpegHeader::isValid(frame)
        && MpegHeader::layer(frame) == 3
        && length >= sideInfoStart(frame) + SilentFrame::sideInfoSize(frame);
}

template <typename StepOf>
bool applySteps(char *frame, int length, StepOf stepOf, FrameGain::Report *report)
{
    if (!holdsSideInfo(frame, length))
        return false;
    const int granules = FrameGain::granules(frame);
    const int channels = layout(frame).channels;
    FrameGain::Report seen;
    for (int gr = 0; gr < granules; ++gr) {
        bool quietWanted = false;
        const int steps = stepOf(gr, &quietWanted);
        ++seen.granules;
        for (int ch = 0; ch < channels; ++ch) {
            const int bit = fieldBit(frame, gr, ch, GlobalGainAt);
            const int wanted = readBits(frame, bit, 8) + steps;
            const int held = std::clamp(wanted, 0, 255);
            writeBits(frame, bit, 8, held);
            if (held == wanted || FrameGain::mainDataBits(frame, gr, ch) == 0)
                continue;
            if (wanted > 255) {
                ++seen.above;
                seen.mostAbove = std::max(seen.mostAbove, wanted - 255);
            } else if (!quietWanted) {
                ++seen.below;
                seen.mostBelow = std::max(seen.mostBelow, -wanted);
            }
        }
    }
    if (SilentFrame::isProtected(frame)) {
        const quint16 crc = HeaderFrame::frameCrc(frame);
        frame[4] = char(crc >> 8);
        frame[5] = char(crc & 0xFF);
    }
    if (report)
        report->add(seen);
    return true;
}

} // namespace

void FrameGain::Report::add(const Report &other)
{
    granules += other.granules;
    above += other.above;
    mostAbove = std::max(mostAbove, other.mostAbove);
    below += other.below;
    mostBelow = std::max(mostBelow, other.mostBelow);
}

int FrameGain::granules(const char *header)
{
    if (MpegHeader::layer(header) != 3)
        return 0;
    return MpegHeader::version(header) == 1 ? 2 : 1;
}

int FrameGain::globalGain(const char *frame, int granule, int channel)
{
    return readBits(frame, fieldBit(frame, granule, channel, GlobalGainAt), 8);
}

int FrameGain::mainDataBits(const char *frame, int granule, int channel)
{
    return readBits(frame, fieldBit(frame, granule, channel, 0), PartLengthBits);
}

bool FrameGain::apply(char *frame, int length, const LevelMap &map, qint64 firstGranule,
                      Report *report)
{
    return applySteps(frame, length, [&](int gr, bool *quietWanted) {
        *quietWanted = map.inFade(firstGranule + gr);
        return map.stepAt(firstGranule + gr);
    }, report);
}

bool FrameGain::apply(char *frame, int length, int steps, Report *report)
{
    return applySteps(frame, length, [steps](int, bool *) { return steps; }, report);
}
