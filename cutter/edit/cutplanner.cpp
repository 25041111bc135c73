#include "edit/cutplanner.h"

#include "io/bufferedsource.h"
#include "edit/cutresult.h"
#include "scan/firstframelocator.h"
#include "scan/framewalker.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "format/silentframe.h"

#include <QIODevice>

#include <array>
#include <cstring>

namespace {

// Layer III frames borrow at most this many bytes from frames before them.
constexpr int MaxReservoir = 511;
// Frames remembered in front of the first copied one, for the bytes it borrows.
constexpr int RingSize = 64;
// The largest encoder delay a LAME extension can state (12 bits).
constexpr qint64 MaxDelay = 4095;
// Frame positions kept for the output's table of contents.
constexpr int MaxTocSamples = 1024;

qint64 roundDiv(qint64 n, qint64 d)
{
    return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
}

struct FramePos
{
    qint64 offset = 0;
    int length = 0;
};

// Which audio frames to copy, and what the walk over them found.
struct Walk
{
    qint64 first = 0;            // frames [first, end) are wanted
    qint64 end = 0;
    bool exact = false;          // also gather what the first frames borrow

    bool reachedFirst = false;
    bool atEnd = false;          // the stream ended before `end`
    bool lengthKnown = false;    // the walk saw where the stream ends
    qint64 frames = 0;           // audio frames seen
    std::array<FramePos, RingSize> ring{};
    int ringCount = 0;           // frames in the ring, the newest at (frames - 1) % RingSize
    int borrowed = 0;            // bytes the copied frames need from before them
    int borrowScan = 0;          // main data bytes of copied frames looked at so far
    bool borrowDone = false;
    QVector<QPair<qint64, qint64>> toc; // (frame, byte) from the first copied frame
    qint64 tocStep = 1;
};

void addSpan(CutPlan &plan, qint64 offset, int length)
{
    if (!plan.copy.isEmpty() && plan.copy.last().end() == offset)
        plan.copy.last().length += length;
    else
        plan.copy.append({offset, length});
    plan.copyBytes += length;
}

void addTocSample(Walk &walk, qint64 frame, qint64 byte)
{
    if (frame % walk.tocStep != 0)
        return;
    if (walk.toc.size() == MaxTocSamples) {
        // Keep every other sample and sample half as often from now on.
        QVector<QPair<qint64, qint64>> thinned;
        for (int i = 0; i < walk.toc.size(); i += 2)
            thinned.append(walk.toc.at(i));
        walk.toc = thinned;
        walk.tocStep *= 2;
        if (frame % walk.tocStep != 0)
            return;
    }
    walk.toc.append({frame, byte});
}

// The bytes the first copied frames take from the main data of frames before
// them: for each, main_data_begin less the main data of the copied frames in
// between. Past MaxReservoir bytes of copied main data none can reach back.
void noteBorrowing(Walk &walk, const char *frame, int length)
{
    if (walk.borrowDone)
        return;
    const int need = SilentFrame::mainDataBegin(frame) - walk.borrowScan;
    walk.borrowed = qMax(walk.borrowed, need);
    walk.borrowScan += SilentFrame::mainDataSize(frame, length);
    walk.borrowDone = walk.borrowScan >= MaxReservoir;
}

void readSourceFacts(BufferedSource &source, qint64 size, const FirstFrameLocator::Result &first,
                     CutPlan &plan)
{
    if (first.tagSize > 0)
        plan.id3v2 = {0, qMin<qint64>(first.tagSize, first.offset)};
    if (size >= 128 + first.offset && source.fill(size - 128, 3) == 3
        && std::memcmp(source.data(size - 128), "TAG", 3) == 0)
        plan.id3v1 = {size - 128, 128};

    plan.stream = FrameHeader::parse(first.header);
    plan.rate = plan.stream.sampleRate();
    plan.samplesPerFrame = plan.stream.samplesPerFrame();
    const int length = plan.stream.frameBytes();
    if (source.fill(first.offset, length) < length)
        return;
    const HeaderFrameInfo info = HeaderFrame::read(source.data(first.offset), length);
    if (info.kind == HeaderFrameInfo::Kind::None)
        return;
    plan.headerFrameOffset = first.offset;
    SourceTimeline &t = plan.source;
    t.headerFrame = true;
    t.xing = info.kind == HeaderFrameInfo::Kind::Xing || info.kind == HeaderFrameInfo::Kind::Vbri;
    t.headerFrames = info.hasFrames() || info.kind == HeaderFrameInfo::Kind::Vbri ? qint64(info.frames) : -1;
    t.headerBytes = info.hasBytes() ? qint64(info.bytes) : -1;
    t.lame = info.lame;
    t.delay = info.delay;
    t.padding = info.padding;
}

// Heard samples of the whole source, when the walk saw where it ends. The
// header frame's own count is not trusted for this: files joined end to end
// keep the first one's.
qint64 heardTotal(const CutPlan &plan, const Walk &walk)
{
    if (!walk.lengthKnown)
        return -1;
    const qint64 frames = walk.frames;
    return qMax<qint64>(0, frames * plan.samplesPerFrame - plan.source.leadingTrim()
                               - plan.source.trailingTrim());
}

bool walkFrames(BufferedSource &source, const FirstFrameLocator::Result &first, CutPlan &plan,
                Walk &walk)
{
    FrameWalker walker(source, first.offset, first.header);
    if (plan.headerFrameOffset >= 0)
        walker.next();
    qint64 index = 0;
    int firstBitRate = -1;
    qint64 lastEnd = -1;
    while (index < walk.end && walker.next()) {
        const char *d = walker.data();
        const int length = walker.length();
        lastEnd = walker.offset() + length;
        if (index == 0)
            plan.firstAudioOffset = walker.offset();
        if (index < walk.first) {
            walk.ring[index % RingSize] = {walker.offset(), length};
            walk.ringCount = int(qMin<qint64>(RingSize, index + 1));
            ++index;
            continue;
        }
        const int bitRateIndex = static_cast<quint8>(d[2]) >> 4;
        if (index == walk.first) {
            walk.reachedFirst = true;
            plan.stream = FrameHeader::parse(d);
            firstBitRate = bitRateIndex;
        } else if (bitRateIndex != firstBitRate) {
            plan.vbr = true;
        }
        if (walk.exact)
            noteBorrowing(walk, d, length);
        addTocSample(walk, index - walk.first, plan.copyBytes);
        addSpan(plan, walker.offset(), length);
        ++index;
    }
    walk.frames = index;
    walk.atEnd = index < walk.end;
    // Whether the stream ends right behind the range, where the encoder's
    // padding may lie.
    walk.lengthKnown = walk.atEnd || !walker.next();
    if (walk.lengthKnown) {
        plan.streamEnd = lastEnd;
        plan.audioFrames = index;
        walk.end = index;
    }
    return !source.sourceTruncated();
}

// The last `count` bytes of the main data stream in front of the first copied
// frame, zeros where the stream has fewer.
QByteArray borrowedBytes(BufferedSource &source, const Walk &walk, int count)
{
    QByteArray tail(count, '\0');
    int missing = count;
    for (int i = 0; i < walk.ringCount && missing > 0; ++i) {
        const FramePos &f = walk.ring[(walk.first - 1 - i) % RingSize];
        if (source.fill(f.offset, f.length) < f.length)
            break;
        const char *frame = source.data(f.offset);
        const int size = SilentFrame::mainDataSize(frame, f.length);
        const int take = qMin(size, missing);
        std::memcpy(tail.data() + missing - take, frame + f.length - take, size_t(take));
        missing -= take;
    }
    return tail;
}

HeaderFrame::Params headerParams(const CutPlan &plan, const Walk &walk, int delay, int padding)
{
    HeaderFrame::Params p;
    p.reference = plan.stream.toBytes();
    p.vbr = plan.vbr;
    const int extra = plan.synthesised.isEmpty() ? 0 : 1;
    p.frames = quint32(plan.frames() + extra);
    p.audioBytes = quint64(plan.copyBytes + plan.synthesised.size());
    QVector<QPair<qint64, qint64>> samples;
    for (const auto &s : walk.toc)
        samples.append({s.first + extra, s.second + plan.synthesised.size()});
    p.toc = HeaderFrame::toc(samples, p.frames, qint64(p.audioBytes));
    p.delay = delay;
    p.padding = padding;
    return p;
}

bool failed(CutPlan &plan, int code)
{
    plan.error = code;
    return false;
}

// s and e: the marks in samples. total: set to the heard length of the
// source when the walk came to its end.
bool planWholeFrames(BufferedSource &source, const FirstFrameLocator::Result &first, qint64 s,
                     qint64 e, bool vbrOutput, CutPlan &plan, qint64 &total)
{
    const qint64 spf = plan.samplesPerFrame;
    const qint64 lead = plan.source.leadingTrim();
    // An output with a header frame is trimmed by the decoder's own delay.
    const qint64 outputTrim = vbrOutput ? SourceTimeline::DecoderDelay : 0;

    // The copied frames play from the first one's first sample, so each end
    // goes to the frame boundary nearest its mark: within half a frame as
    // heard, whatever the encoder put in front.
    Walk walk;
    walk.first = qMax<qint64>(0, CutPlanner::nearestBoundary(s + lead - outputTrim, int(spf)));
    const qint64 wanted = CutPlanner::nearestBoundary(e + lead, int(spf));
    // The walk goes as far as the first frame at least, to tell a start
    // beyond the audio from a range too short for a whole frame.
    walk.end = qMax(wanted, walk.first + 1);
    if (!walkFrames(source, first, plan, walk))
        return failed(plan, CutResult::SourceChanged);
    total = heardTotal(plan, walk);
    if (!walk.reachedFirst || (total >= 0 && s >= total && s > 0))
        return failed(plan, CutResult::StartBeyondEnd);
    walk.end = qMin(walk.end, wanted);
    if (walk.end <= walk.first)
        return failed(plan, CutResult::NothingToCut);

    plan.firstFrame = walk.first;
    plan.endFrame = walk.end;
    plan.heardStart = qMax<qint64>(0, walk.first * spf + outputTrim - lead);
    // The last frame of the file plays its encoder padding too.
    plan.heardEnd = walk.end * spf - lead;
    if (plan.vbr && vbrOutput)
        plan.headerFrame = HeaderFrame::build(headerParams(plan, walk, 0, 0));
    return true;
}

// Where an exact cut starts decoding: `pre` frames before the frame that
// holds the start, or a little earlier. A decoder's synthesis filterbank
// (mpg123's, which GStreamer plays through) keeps its history in a ring of
// 16 blocks of 32 samples, and how its 16-bit output rounds depends on where
// in the ring a block falls. An MPEG-1 frame moves the ring on by 36 blocks,
// so it comes back to the same place every 4 frames. In the source, frame K
// is decoded after K frames; in the cut after the silent frame and the
// frames from `first` on, so a first frame of 1 modulo 4 makes the cut round
// exactly as the source does, where the header frame's 12-bit delay can hold
// that longer lead-in. MPEG-2 and 2.5 follow no such simple rule (measured):
// their cuts, like the rest, may come out one step apart in some samples in
// those decoders, while ffmpeg's decoder gives the source's samples exactly.
qint64 exactFirstFrame(const CutPlan &plan, qint64 decodedStart)
{
    const qint64 spf = plan.samplesPerFrame;
    const qint64 startFrame = decodedStart / spf;
    const qint64 plain = startFrame - CutPlanner::prerollFrames(plan.stream);
    if (plain <= 0)
        return 0;
    if (plan.stream.version() != 1)
        return plain;
    constexpr int period = 4;
    for (qint64 candidate = plain; candidate > plain - period && candidate >= 0; --candidate) {
        if (decodedStart - candidate * spf + spf - SourceTimeline::DecoderDelay > MaxDelay)
            break;
        if (candidate == 0 || (candidate - 1) % period == 0)
            return candidate;
    }
    return plain;
}

bool planExact(BufferedSource &source, const FirstFrameLocator::Result &first,
               const CutRequest &request, CutPlan &plan)
{
    const qint64 spf = plan.samplesPerFrame;
    const qint64 lead = plan.source.leadingTrim();
    const qint64 s = CutPlanner::msToSample(request.startMs, plan.rate);
    qint64 e = CutPlanner::msToSample(request.endMs, plan.rate);
    if (e <= s)
        return failed(plan, CutResult::NothingToCut);

    // Heard sample t is decoded sample t + lead, made by frame (t + lead) / spf.
    // Decoding starts a few frames earlier, so that the granules in front of
    // the start are rebuilt exactly; those and the silent frame put first are
    // trimmed away again by the header frame's delay.
    Walk walk;
    walk.exact = true;
    const qint64 startFrame = (s + lead) / spf;
    walk.first = exactFirstFrame(plan, s + lead);
    walk.end = (e + lead - 1) / spf + 1;
    if (!walkFrames(source, first, plan, walk))
        return failed(plan, CutResult::SourceChanged);
    if (!walk.reachedFirst || walk.frames <= startFrame)
        return failed(plan, CutResult::StartBeyondEnd);
    const qint64 total = heardTotal(plan, walk);
    // As in whole frames: a start at or past the heard end is beyond it.
    if (total >= 0 && s >= total && s > 0)
        return failed(plan, CutResult::StartBeyondEnd);
    if (total >= 0)
        e = qMin(e, total);
    if (e <= s)
        return failed(plan, CutResult::NothingToCut);

    plan.firstFrame = walk.first;
    plan.endFrame = walk.end;
    // A cut from the source's first frame decodes as the source does without
    // a silent frame, unless the delay would have to be negative.
    const bool fromTheTop = walk.first == 0 && s + lead >= SourceTimeline::DecoderDelay;
    if (!fromTheTop || walk.borrowed > 0)
        plan.synthesised = SilentFrame::build(plan.stream.toBytes(),
                                              borrowedBytes(source, walk, qMax(0, walk.borrowed)));
    // Output decoded sample 0 is the first of the silent frame, if there is
    // one; source decoded sample x is output sample x - base.
    const qint64 leadIn = plan.synthesised.isEmpty() ? 0 : spf;
    const qint64 base = walk.first * spf - leadIn;
    const qint64 delay = s + lead - base - SourceTimeline::DecoderDelay;
    const qint64 decoded = (walk.end - walk.first) * spf + leadIn;
    const qint64 padding = decoded - delay - (e - s);
    plan.heardStart = s;
    plan.heardEnd = e;
    plan.headerFrame = HeaderFrame::build(headerParams(plan, walk, int(delay), int(padding)));
    return true;
}

} // namespace

qint64 CutPlanner::nearestBoundary(qint64 decoded, int samplesPerFrame)
{
    return roundDiv(decoded, samplesPerFrame);
}

qint64 CutPlanner::msToSample(qint64 ms, qint64 rate)
{
    if (ms <= 0 || rate <= 0)
        return 0;
    // ms x rate overflows 64 bits for very long times: split ms by 1000.
    return (ms / 1000) * rate + (ms % 1000) * rate / 1000;
}

int CutPlanner::prerollFrames(const FrameHeader &stream)
{
    if (stream.layer() == 3)
        return stream.version() == 1 ? 1 : 2;
    // Layers I and II: the synthesis filterbank's 512 samples of memory.
    return stream.layer() == 1 ? 2 : 1;
}

CutPlan CutPlanner::plan(QIODevice *device, const CutRequest &request)
{
    CutPlan plan;
    FirstFrameLocator::Result first = FirstFrameLocator::locate(device);
    BufferedSource source(device);
    // 0xFF 0xFB right after a tag is taken as a header without a look at the
    // rest of it; where it is none, the stream starts at the next real frame.
    if (first.found && !MpegHeader::isValid(first.header.constData())) {
        first.offset = FrameWalker::findFrame(source, first.offset + 1, nullptr);
        first.found = first.offset >= 0 && source.fill(first.offset, MpegHeader::HeaderSize) == MpegHeader::HeaderSize;
        if (first.found)
            first.header = QByteArray(source.data(first.offset), MpegHeader::HeaderSize);
    }
    if (!first.found) {
        plan.error = CutResult::FirstFrameNotFound;
        return plan;
    }
    readSourceFacts(source, device->size(), first, plan);
    if (plan.rate <= 0 || plan.samplesPerFrame <= 0) {
        plan.error = CutResult::SampleRateError;
        return plan;
    }
    const CutPlan facts = plan;
    // Exact cuts rebuild the bit reservoir, which only Layer III has; other
    // layers are cut at whole frames.
    if (request.mode == CutRequest::Exact && plan.stream.layer() == 3) {
        planExact(source, first, request, plan);
        return plan;
    }
    // An output of frames that differ in bitrate gets a header frame, and
    // with it the decoder's trim: guess from the source, then check. An end
    // in the encoder's padding, or past it, is taken as the end of what is
    // heard, once the walk has seen where that is.
    bool vbrOutput = plan.source.xing;
    const qint64 s = msToSample(request.startMs, plan.rate);
    qint64 e = msToSample(request.endMs, plan.rate);
    for (int attempt = 0; attempt < 3; ++attempt) {
        plan = facts;
        qint64 total = -1;
        if (!planWholeFrames(source, first, s, e, vbrOutput, plan, total))
            break;
        const bool pastTheEnd = total >= 0 && e > total;
        if (!pastTheEnd && plan.vbr == vbrOutput)
            break;
        if (pastTheEnd)
            e = total;
        vbrOutput = plan.vbr;
    }
    return plan;
}
