#include "edit/cutplanner.h"

#include "edit/seam.h"
#include "edit/spanwalk.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "format/silentframe.h"
#include "io/bufferedsource.h"
#include "io/cutresult.h"
#include "scan/sourcescan.h"

#include <QIODevice>

#include <memory>

namespace {

// The largest encoder delay a LAME extension can state (12 bits).
constexpr qint64 MaxDelay = 4095;
constexpr int DecoderDelay = SourceTimeline::DecoderDelay;

// A span's frames, once chosen.
struct Placed
{
    int source = 0;
    qint64 first = 0;
    qint64 end = 0;
    qint64 heardStart = 0;       // source samples
    qint64 heardEnd = 0;
};

// The sources and a read window over each.
class Sources
{
public:
    explicit Sources(const QVector<CutPlanner::Source> &sources)
        : m_sources(sources)
    {
        for (const CutPlanner::Source &s : sources)
            m_buffers.push_back(std::make_unique<BufferedSource>(s.device));
    }
    const SourceScan &scan(int i) const { return *m_sources.at(i).scan; }
    BufferedSource &buffer(int i) { return *m_buffers.at(size_t(i)); }
    int size() const { return m_sources.size(); }

private:
    const QVector<CutPlanner::Source> &m_sources;
    std::vector<std::unique_ptr<BufferedSource>> m_buffers;
};

bool failed(CutPlan &plan, int code, const QString &reason = QString())
{
    plan.error = code;
    plan.reason = reason;
    return false;
}

void takeFacts(CutPlan &plan, const SourceScan &scan)
{
    plan.stream = scan.stream;
    plan.headerFrameOffset = scan.headerFrameOffset;
    plan.firstAudioOffset = scan.audioOffset;
    plan.streamEnd = scan.streamEnd;
    plan.audioFrames = scan.frames;
    plan.source = scan.timeline;
    plan.id3v2 = scan.id3v2;
    plan.id3v1 = scan.id3v1;
    plan.rate = scan.rate();
    plan.samplesPerFrame = scan.samplesPerFrame();
}

void trimSegments(QVector<PlanSegment> &segments, qint64 bytes)
{
    while (bytes > 0 && !segments.isEmpty()) {
        PlanSegment &last = segments.last();
        const qint64 take = qMin(bytes, last.length);
        last.length -= take;
        if (last.source < 0)
            last.bytes.chop(int(take));
        bytes -= take;
        if (last.length == 0)
            segments.removeLast();
    }
}

// The frames of a walk's tail, as they stand.
QVector<QByteArray> tailFrames(BufferedSource &buffer, const SpanWalk &walk)
{
    QVector<QByteArray> frames;
    for (const FramePos &f : walk.tail) {
        if (buffer.fill(f.offset, f.length) < f.length)
            return {};
        frames.append(QByteArray(buffer.data(f.offset), f.length));
    }
    return frames;
}

// Makes the output of the placed spans: walks their frames, and at every seam
// hands the frames after it the main data they borrow (see Seam). Fills the
// plan's segments, spans, bitrate flag and table-of-contents points; exact
// outer ends get the bytes the first frames borrow into firstBorrowed.
bool assemble(Sources &sources, const QVector<Placed> &placed, CutPlan &plan,
              QVector<QPair<qint64, qint64>> &toc, int &firstBorrowed)
{
    std::vector<std::unique_ptr<SpanWalk>> walks;
    int bitRate = -1;
    for (const Placed &p : placed) {
        walks.push_back(std::make_unique<SpanWalk>(sources.buffer(p.source), sources.scan(p.source)));
        SpanWalk &w = *walks.back();
        if (!w.walk(p.first, p.end) || w.frames < p.end - p.first)
            return failed(plan, CutResult::SourceChanged);
        plan.vbr = plan.vbr || w.bitRatesDiffer || (bitRate >= 0 && w.firstBitRateIndex != bitRate);
        bitRate = w.firstBitRateIndex;
    }
    firstBorrowed = walks.front()->borrowed;
    plan.stream = FrameHeader::parse(walks.front()->firstHeader);

    qint64 frameBase = 0;
    for (int i = 0; i < placed.size(); ++i) {
        const SpanWalk &w = *walks[size_t(i)];
        const Placed &p = placed.at(i);
        for (const auto &point : w.toc)
            toc.append({frameBase + point.first, plan.copyBytes + point.second});
        for (const ByteSpan &span : w.spans)
            plan.copy.append({p.source, span.offset, span.length, QByteArray()});
        plan.copyBytes += w.bytes;
        frameBase += w.frames;
        plan.spans.append({p.source, p.first, p.end, p.heardStart, p.heardEnd, 0});

        if (i + 1 == placed.size() || walks[size_t(i) + 1]->borrowed <= 0)
            continue;
        const Placed &next = placed.at(i + 1);
        const QByteArray carried = SpanWalk::mainDataBefore(
            sources.buffer(next.source), sources.scan(next.source), next.first, walks[size_t(i) + 1]->borrowed);
        QVector<QByteArray> frames = tailFrames(sources.buffer(p.source), w);
        if (frames.isEmpty())
            return failed(plan, CutResult::SourceChanged);
        const int changed = Seam::carry(frames, carried);
        // The highest bitrate index always gives a valid frame the room; a
        // frame whose own data claims more than that is damaged.
        if (changed < 0)
            return failed(plan, CutResult::NothingToCut, QStringLiteral("a damaged frame before a seam"));
        QByteArray patched;
        qint64 replaced = 0;
        for (int k = changed; k < frames.size(); ++k) {
            replaced += w.tail.at(k).length;
            patched += frames.at(k);
            plan.vbr = plan.vbr || frames.at(k).size() != w.tail.at(k).length;
        }
        trimSegments(plan.copy, replaced);
        plan.copy.append({-1, 0, patched.size(), patched});
        plan.copyBytes += patched.size() - replaced;
    }
    return true;
}

HeaderFrame::Params headerParams(const CutPlan &plan, const QVector<QPair<qint64, qint64>> &toc,
                                 qint64 frames, qint64 delay, qint64 padding)
{
    HeaderFrame::Params p;
    p.reference = plan.stream.toBytes();
    p.vbr = plan.vbr;
    const int extra = plan.synthesised.isEmpty() ? 0 : 1;
    p.frames = quint32(qMin<qint64>(frames + extra, 0xFFFFFFFF));
    p.audioBytes = quint64(plan.copyBytes + plan.synthesised.size());
    QVector<QPair<qint64, qint64>> samples;
    for (const auto &s : toc)
        samples.append({s.first + extra, s.second + plan.synthesised.size()});
    p.toc = HeaderFrame::toc(samples, p.frames, qint64(p.audioBytes));
    p.delay = int(qBound<qint64>(0, delay, MaxDelay));
    p.padding = int(qBound<qint64>(0, padding, MaxDelay));
    return p;
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
qint64 exactFirstFrame(const FrameHeader &stream, qint64 decodedStart)
{
    const qint64 spf = stream.samplesPerFrame();
    const qint64 startFrame = decodedStart / spf;
    const qint64 plain = startFrame - CutPlanner::prerollFrames(stream);
    if (plain <= 0)
        return 0;
    if (stream.version() != 1)
        return plain;
    constexpr int period = 4;
    for (qint64 candidate = plain; candidate > plain - period && candidate >= 0; --candidate) {
        if (decodedStart - candidate * spf + spf - DecoderDelay > MaxDelay)
            break;
        if (candidate == 0 || (candidate - 1) % period == 0)
            return candidate;
    }
    return plain;
}

// One span of whole frames, as a single cut has always been made: a header
// frame only where the copied frames differ in bitrate, and with it the
// decoder's trim, which moves the first frame.
bool planWholeCut(Sources &sources, qint64 s, qint64 e, bool toTheEnd, bool vbrOutput, CutPlan &plan)
{
    const SourceScan &scan = sources.scan(0);
    const qint64 spf = scan.samplesPerFrame();
    const qint64 lead = scan.timeline.leadingTrim();
    const qint64 outputTrim = vbrOutput ? DecoderDelay : 0;
    const qint64 total = scan.heardSamples();

    // The copied frames play from the first one's first sample, so each end
    // goes to the frame boundary nearest its mark: within half a frame as
    // heard, whatever the encoder put in front.
    const qint64 first = qMax<qint64>(0, SourceScan::nearestBoundary(s + lead - outputTrim, int(spf)));
    if (first >= scan.frames || (s >= total && s > 0))
        return failed(plan, CutResult::StartBeyondEnd);
    // An end in the encoder's padding, or past it, is the end of what is heard.
    // A piece asked to go to the end takes every frame there is.
    const qint64 end = toTheEnd ? scan.frames
                                : qMin(scan.frames, SourceScan::nearestBoundary(qMin(e, total) + lead, int(spf)));
    if (end <= first)
        return failed(plan, CutResult::NothingToCut);

    Placed placed{0, first, end, qMax<qint64>(0, first * spf + outputTrim - lead), end * spf - lead};
    QVector<QPair<qint64, qint64>> toc;
    int borrowed = 0;
    if (!assemble(sources, {placed}, plan, toc, borrowed))
        return false;
    plan.firstFrame = first;
    plan.endFrame = end;
    plan.heardStart = placed.heardStart;
    // The last frame of the file plays its encoder padding too.
    plan.heardEnd = placed.heardEnd;
    if (plan.vbr && vbrOutput)
        plan.headerFrame = HeaderFrame::build(headerParams(plan, toc, plan.frames(), 0, 0));
    return true;
}

// The samples [s, e) of a span in its source's timeline; e past the end or
// ToTheEnd is the end of what is heard.
struct Marks
{
    qint64 s = 0;
    qint64 e = 0;
    bool toTheEnd = false;
};

Marks marksOf(const SourceScan &scan, const EditSpan &span)
{
    const qint64 total = scan.heardSamples();
    Marks m;
    m.s = CutPlanner::msToSample(span.startMs, scan.rate());
    m.e = span.endMs == EditSpan::ToTheEnd ? total : qMin(total, CutPlanner::msToSample(span.endMs, scan.rate()));
    m.toTheEnd = m.e >= total;
    return m;
}

// Any number of spans, outer ends in the request's mode, seams on whole
// frames. The output always gets a header frame: its delay and padding trim
// the outer ends, and its counts and table of contents cover every span.
bool planEdit(Sources &sources, const EditRequest &request, CutPlan &plan)
{
    const bool exact = request.mode == CutRequest::Exact && plan.stream.layer() == 3;
    const int count = request.spans.size();
    QVector<Placed> placed;
    QVector<Marks> marks;
    for (int i = 0; i < count; ++i) {
        const EditSpan &span = request.spans.at(i);
        if (span.source < 0 || span.source >= sources.size())
            return failed(plan, CutResult::NothingToCut);
        const SourceScan &scan = sources.scan(span.source);
        const Marks m = marksOf(scan, span);
        const int spf = scan.samplesPerFrame();
        const qint64 lead = scan.timeline.leadingTrim();
        if (m.s >= scan.heardSamples() && m.s > 0)
            return failed(plan, CutResult::StartBeyondEnd);
        if (m.e <= m.s)
            return failed(plan, CutResult::NothingToCut);
        Placed p;
        p.source = span.source;
        p.first = qMax<qint64>(0, SourceScan::nearestBoundary(m.s + lead, spf));
        // Only the outer end keeps the encoder's padding; at a seam it is
        // trimmed to the frame boundary nearest the end as heard.
        p.end = m.toTheEnd && i + 1 == count ? scan.frames
                                              : qMin(scan.frames, SourceScan::nearestBoundary(m.e + lead, spf));
        p.heardStart = qMax<qint64>(0, p.first * spf - lead);
        p.heardEnd = qMin(scan.heardSamples(), p.end * spf - lead);
        placed.append(p);
        marks.append(m);
    }

    // The outer start.
    const SourceScan &head = sources.scan(placed.first().source);
    const qint64 spf = head.samplesPerFrame();
    const qint64 lead = head.timeline.leadingTrim();
    const Marks &m0 = marks.first();
    Placed &p0 = placed.first();
    qint64 delay = 0;
    if (exact) {
        p0.first = exactFirstFrame(head.stream, m0.s + lead);
        p0.heardStart = m0.s;
    } else if (m0.s == 0) {
        // From the top: the source's own delay trims it as before.
        p0.first = 0;
        p0.heardStart = 0;
    } else {
        p0.first = qMax<qint64>(0, SourceScan::nearestBoundary(m0.s + lead - DecoderDelay, int(spf)));
        p0.heardStart = qMax<qint64>(0, p0.first * spf + DecoderDelay - lead);
    }
    // The outer end.
    const SourceScan &tail = sources.scan(placed.last().source);
    const Marks &mz = marks.last();
    Placed &pz = placed.last();
    if (exact) {
        pz.end = mz.toTheEnd ? tail.frames
                             : qMin(tail.frames, (mz.e + tail.timeline.leadingTrim() - 1) / tail.samplesPerFrame() + 1);
        pz.heardEnd = mz.e;
    }
    for (const Placed &p : placed) {
        if (p.first >= sources.scan(p.source).frames)
            return failed(plan, CutResult::StartBeyondEnd);
        if (p.end <= p.first)
            return failed(plan, CutResult::NothingToCut);
    }

    QVector<QPair<qint64, qint64>> toc;
    int borrowed = 0;
    if (!assemble(sources, placed, plan, toc, borrowed))
        return false;
    qint64 leadIn = 0;
    if (!exact) {
        // Every frame must find its main data, the first ones too: a silent
        // frame in front carries what they borrow, and the delay trims it
        // away. It also makes room for a source without the encoder's delay,
        // whose first sample a decoder's own delay would otherwise trim.
        const bool fromTheTop = m0.s == 0;
        if (borrowed > 0 || (fromTheTop && lead < DecoderDelay)) {
            plan.synthesised = SilentFrame::build(
                plan.stream.toBytes(),
                SpanWalk::mainDataBefore(sources.buffer(p0.source), head, p0.first, qMax(0, borrowed)));
            leadIn = plan.synthesised.isEmpty() ? 0 : spf;
        }
        delay = leadIn + (fromTheTop ? lead - DecoderDelay : 0);
    } else {
        // Decoding starts a few frames early so that the granules in front of
        // the start are rebuilt exactly; a silent frame in front carries what
        // the first frames borrow, and the delay trims all that away.
        const bool fromTheTop = p0.first == 0 && m0.s + lead >= DecoderDelay;
        if (!fromTheTop || borrowed > 0)
            plan.synthesised = SilentFrame::build(
                plan.stream.toBytes(),
                SpanWalk::mainDataBefore(sources.buffer(p0.source), head, p0.first, qMax(0, borrowed)));
        leadIn = plan.synthesised.isEmpty() ? 0 : spf;
        delay = m0.s + lead - (p0.first * spf - leadIn) - DecoderDelay;
    }
    // Where each span starts in the output, as decoded and as heard.
    qint64 decoded = leadIn;
    for (PlanSpan &span : plan.spans) {
        span.outputStart = qMax<qint64>(0, decoded - delay - DecoderDelay);
        decoded += span.frames() * sources.scan(span.source).samplesPerFrame();
    }
    plan.spans.first().outputStart = 0;
    plan.spans.first().heardStart = p0.heardStart;
    plan.spans.last().heardEnd = pz.heardEnd;
    qint64 padding = 0;
    if (exact) {
        const qint64 lastStart = decoded - plan.spans.last().frames() * tail.samplesPerFrame();
        const qint64 heardEndDecoded = lastStart + mz.e + tail.timeline.leadingTrim() - pz.first * tail.samplesPerFrame();
        padding = decoded - heardEndDecoded + DecoderDelay;
    } else if (mz.toTheEnd && tail.timeline.lame) {
        padding = tail.timeline.padding;
    }
    plan.firstFrame = p0.first;
    plan.endFrame = pz.end;
    plan.heardStart = p0.heardStart;
    plan.heardEnd = pz.heardEnd;
    plan.headerFrame = HeaderFrame::build(headerParams(plan, toc, plan.frames(), delay, padding));
    return true;
}

bool sameFormat(const FrameHeader &a, const FrameHeader &b)
{
    return a.version() == b.version() && a.layer() == b.layer() && a.sampleRate() == b.sampleRate()
        && a.channels() == b.channels();
}

} // namespace

qint64 CutPlanner::nearestBoundary(qint64 decoded, int samplesPerFrame)
{
    return SourceScan::nearestBoundary(decoded, samplesPerFrame);
}

qint64 CutPlanner::msToSample(qint64 ms, qint64 rate)
{
    return SourceScan::msToSample(ms, rate);
}

int CutPlanner::prerollFrames(const FrameHeader &stream)
{
    if (stream.layer() == 3)
        return stream.version() == 1 ? 1 : 2;
    // Layers I and II: the synthesis filterbank's 512 samples of memory.
    return stream.layer() == 1 ? 2 : 1;
}

QString CutPlanner::formatName(const FrameHeader &stream)
{
    static const char *const versions[] = {"", "MPEG-1", "MPEG-2", "MPEG-2.5", ""};
    return QStringLiteral("%1 Layer-%2, %3 Hz, %4")
        .arg(QLatin1String(versions[qBound(0, stream.version(), 4)]))
        .arg(stream.layer())
        .arg(stream.sampleRate())
        .arg(stream.channels() == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"));
}

CutPlan CutPlanner::plan(QIODevice *source, const CutRequest &request)
{
    const SourceScan scan = SourceScan::run(source);
    return plan(source, scan, request);
}

CutPlan CutPlanner::plan(QIODevice *source, const SourceScan &scan, const CutRequest &request)
{
    EditRequest edit;
    edit.spans = {EditSpan{0, request.startMs, request.endMs}};
    edit.mode = request.mode;
    edit.keepTags = request.keepTags;
    edit.level = request.level;
    return plan({Source{source, &scan}}, edit);
}

CutPlan CutPlanner::plan(const QVector<Source> &list, const EditRequest &request)
{
    CutPlan plan;
    if (list.isEmpty() || request.spans.isEmpty()) {
        plan.error = CutResult::NothingToCut;
        return plan;
    }
    for (const Source &s : list) {
        if (s.scan->error != CutResult::Ok) {
            plan.error = s.scan->error;
            return plan;
        }
    }
    const SourceScan &first = *list.first().scan;
    takeFacts(plan, first);
    for (const Source &s : list) {
        if (!sameFormat(first.stream, s.scan->stream)) {
            failed(plan, CutResult::FormatsDiffer,
                   formatName(first.stream) + QStringLiteral(" / ") + formatName(s.scan->stream));
            return plan;
        }
    }
    Sources sources(list);
    if (request.spans.size() > 1 || request.freshHeader) {
        planEdit(sources, request, plan);
        return plan;
    }
    // A single cut. Exact cuts rebuild the bit reservoir, which only Layer
    // III has; other layers are cut at whole frames.
    if (request.mode == CutRequest::Exact && plan.stream.layer() == 3) {
        const EditSpan &span = request.spans.first();
        if (span.endMs != EditSpan::ToTheEnd && span.endMs <= span.startMs)
            plan.error = CutResult::NothingToCut;
        else
            planEdit(sources, request, plan);
        return plan;
    }
    // An output of frames that differ in bitrate gets a header frame, and
    // with it the decoder's trim: guess from the source, then check.
    const EditSpan &span = request.spans.first();
    const qint64 s = msToSample(span.startMs, plan.rate);
    const qint64 e = span.endMs == EditSpan::ToTheEnd ? first.heardSamples() : msToSample(span.endMs, plan.rate);
    const CutPlan facts = plan;
    bool vbrOutput = first.timeline.xing();
    for (int attempt = 0; attempt < 2; ++attempt) {
        plan = facts;
        if (!planWholeCut(sources, s, e, span.endMs == EditSpan::ToTheEnd, vbrOutput, plan)
            || plan.vbr == vbrOutput)
            break;
        vbrOutput = plan.vbr;
    }
    return plan;
}
