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

// Bits [bit, bit + width) from p, MSB first; width up to 16. The two or
// three bytes read all lie in the side information, which holds more fields
// after part2_3_length and global_gain.
int readBits(const quint8 *p, int bit, int width)
{
    p += bit >> 3;
    const quint32 window = quint32(p[0]) << 16 | quint32(p[1]) << 8 | p[2];
    return int(window >> (24 - (bit & 7) - width)) & ((1 << width) - 1);
}

const quint8 *sideInfo(const char *frame)
{
    return reinterpret_cast<const quint8 *>(frame + SideInfo::offset(frame));
}

// Where the fields of a frame's side information lie. That depends only on
// header byte 1 (version, layer, protection) and the channel mode, which
// stay the same through a stream: worked out once, not for every frame.
struct SideLayout
{
    bool layer3 = false;
    int offset = 0;
    int end = 0; // header, CRC and side information
    int granules = 0;
    int channels = 0;
    // global_gain of each granule and channel: the first of the two bytes
    // that hold it, from the side information's start, and how far the
    // 16 bits from there are shifted to bring it down.
    struct Field
    {
        int byte = 0;
        int shift = 0;
    };
    Field gain[2][2];
};

const SideLayout &layoutOf(const char *frame)
{
    thread_local int key = -1;
    thread_local SideLayout layout;
    const int k = quint8(frame[1]) << 2 | quint8(frame[3]) >> 6;
    if (k == key)
        return layout;
    key = k;
    layout = SideLayout();
    layout.layer3 = MpegHeader::layer(frame) == 3 && MpegHeader::version(frame) != 4;
    if (!layout.layer3)
        return layout;
    layout.offset = SideInfo::offset(frame);
    layout.end = layout.offset + SideInfo::size(frame);
    layout.granules = SideInfo::granules(frame);
    layout.channels = SideInfo::channels(frame);
    for (int gr = 0; gr < layout.granules; ++gr) {
        for (int ch = 0; ch < layout.channels; ++ch) {
            const int bit = SideInfo::globalGainBit(frame, gr, ch);
            layout.gain[gr][ch] = {bit >> 3, 8 - (bit & 7)};
        }
    }
    return layout;
}

template <typename StepOf>
bool applySteps(char *frame, int length, StepOf stepOf, FrameGain::Report *report)
{
    if (length < MpegHeader::HeaderSize || !MpegHeader::isValid(frame))
        return false;
    const SideLayout &layout = layoutOf(frame);
    if (!layout.layer3 || length < layout.end)
        return false;
    auto *side = reinterpret_cast<quint8 *>(frame + layout.offset);
    FrameGain::Report seen;
    for (int gr = 0; gr < layout.granules; ++gr) {
        bool quietWanted = false;
        const int steps = stepOf(gr, &quietWanted);
        ++seen.granules;
        for (int ch = 0; ch < layout.channels; ++ch) {
            const SideLayout::Field field = layout.gain[gr][ch];
            quint8 *p = side + field.byte;
            const quint32 window = quint32(p[0]) << 8 | p[1];
            const int wanted = int((window >> field.shift) & 0xFF) + steps;
            const int held = std::clamp(wanted, 0, 255);
            const quint32 changed = (window & ~(0xFFu << field.shift)) | quint32(held) << field.shift;
            p[0] = quint8(changed >> 8);
            p[1] = quint8(changed);
            if (held == wanted
                || readBits(side, field.byte * 8 + 8 - field.shift - PartLengthBefore, PartLengthBits) == 0)
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
    if (SideInfo::isProtected(frame))
        SideInfo::writeCrc(frame);
    if (report)
        report->add(seen);
    return true;
}

} // namespace

int FrameGain::granules(const char *header)
{
    const SideLayout &layout = layoutOf(header);
    return layout.layer3 ? layout.granules : 0;
}

int FrameGain::globalGain(const char *frame, int granule, int channel)
{
    return readBits(sideInfo(frame), SideInfo::globalGainBit(frame, granule, channel), 8);
}

int FrameGain::mainDataBits(const char *frame, int granule, int channel)
{
    return readBits(sideInfo(frame), SideInfo::globalGainBit(frame, granule, channel) - PartLengthBefore,
                    PartLengthBits);
}

bool FrameGain::apply(char *frame, int length, const LevelMap &map, qint64 firstGranule,
                      Report *report)
{
    if (!map.hasFades())
        return apply(frame, length, map.gainSteps, report);
    return applySteps(frame, length, [&](int gr, bool *quietWanted) {
        *quietWanted = map.inFade(firstGranule + gr);
        return map.stepAt(firstGranule + gr);
    }, report);
}

bool FrameGain::apply(char *frame, int length, int steps, Report *report)
{
    return applySteps(frame, length, [steps](int, bool *) { return steps; }, report);
}
