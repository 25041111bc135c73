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

// Bits [bit, bit + width) of the side information, MSB first; width up to
// 16. The two or three bytes read all lie in the side information, which
// holds more fields after part2_3_length and global_gain.
int readBits(const char *frame, int bit, int width)
{
    const auto *p = reinterpret_cast<const quint8 *>(frame + SideInfo::offset(frame)) + (bit >> 3);
    const quint32 window = quint32(p[0]) << 16 | quint32(p[1]) << 8 | p[2];
    return int(window >> (24 - (bit & 7) - width)) & ((1 << width) - 1);
}

void writeBits(char *frame, int bit, int width, int value)
{
    auto *p = reinterpret_cast<quint8 *>(frame + SideInfo::offset(frame)) + (bit >> 3);
    quint32 window = quint32(p[0]) << 16 | quint32(p[1]) << 8 | p[2];
    const int shift = 24 - (bit & 7) - width;
    const quint32 mask = quint32((1 << width) - 1) << shift;
    window = (window & ~mask) | ((quint32(value) << shift) & mask);
    p[0] = quint8(window >> 16);
    p[1] = quint8(window >> 8);
    p[2] = quint8(window);
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
