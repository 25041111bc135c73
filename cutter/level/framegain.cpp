#include "level/framegain.h"

#include "format/mpegheader.h"
#include "format/sideinfo.h"
#include "level/levelmap.h"

#include <algorithm>

namespace {

// Each granule and channel starts part2_3_length 12, big_values 9,
// global_gain 8.
constexpr int PartLengthBits = 12;
constexpr int PartLengthBefore = 12 + 9;

// Bits [bit, bit + width) of the side information, MSB first.
int readBits(const char *frame, int bit, int width)
{
    const auto *side = reinterpret_cast<const quint8 *>(frame + SideInfo::offset(frame));
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const int at = bit + i;
        value = value << 1 | ((side[at >> 3] >> (7 - (at & 7))) & 1);
    }
    return value;
}

void writeBits(char *frame, int bit, int width, int value)
{
    auto *side = reinterpret_cast<quint8 *>(frame + SideInfo::offset(frame));
    for (int i = 0; i < width; ++i) {
        const int at = bit + i;
        const quint8 mask = quint8(0x80 >> (at & 7));
        if ((value >> (width - 1 - i)) & 1)
            side[at >> 3] |= mask;
        else
            side[at >> 3] &= quint8(~mask);
    }
}

bool holdsSideInfo(const char *frame, int length)
{
    return length >= MpegHeader::HeaderSize && MpegHeader::isValid(frame)
        && MpegHeader::layer(frame) == 3 && length >= SideInfo::offset(frame) + SideInfo::size(frame);
}

template <typename StepOf>
bool applySteps(char *frame, int length, StepOf stepOf, FrameGain::Report *report)
{
    if (!holdsSideInfo(frame, length))
        return false;
    const int granules = SideInfo::granules(frame);
    const int channels = SideInfo::channels(frame);
    FrameGain::Report seen;
    for (int gr = 0; gr < granules; ++gr) {
        bool quietWanted = false;
        const int steps = stepOf(gr, &quietWanted);
        ++seen.granules;
        for (int ch = 0; ch < channels; ++ch) {
            const int bit = SideInfo::globalGainBit(frame, gr, ch);
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
    SideInfo::writeCrc(frame);
    if (report)
        report->add(seen);
    return true;
}

} // namespace

int FrameGain::granules(const char *header)
{
    return MpegHeader::layer(header) == 3 ? SideInfo::granules(header) : 0;
}

int FrameGain::globalGain(const char *frame, int granule, int channel)
{
    return readBits(frame, SideInfo::globalGainBit(frame, granule, channel), 8);
}

int FrameGain::mainDataBits(const char *frame, int granule, int channel)
{
    return readBits(frame, SideInfo::globalGainBit(frame, granule, channel) - PartLengthBefore,
                    PartLengthBits);
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
