#include "edit/spanwalk.h"

#include "format/mpegheader.h"
#include "format/sideinfo.h"
#include "io/bufferedsource.h"
#include "scan/framewalker.h"
#include "scan/sourcescan.h"

#include <cstring>

namespace {

// Layer III frames borrow at most this many bytes from frames before them.
constexpr int MaxReservoir = 511;
// Frame positions kept for the output's table of contents.
constexpr int MaxTocSamples = 1024;

} // namespace

SpanWalk::SpanWalk(BufferedSource &source, const SourceScan &scan)
    : m_source(source)
    , m_scan(scan)
{
}

void SpanWalk::noteBorrowing(const char *frame, int length)
{
    if (m_borrowDone || MpegHeader::layer(frame) != 3)
        return;
    borrowed = qMax(borrowed, SideInfo::mainDataBegin(frame) - m_borrowScan);
    m_borrowScan += SideInfo::mainDataSize(frame, length);
    // Past MaxReservoir bytes of the span's own main data none can reach back.
    m_borrowDone = m_borrowScan >= MaxReservoir;
}

bool SpanWalk::walk(qint64 first, qint64 end)
{
    // Where the scan saw one bitrate and no gaps, the span's bytes are known
    // from its ends: only its first frames (for what they borrow) and its
    // last ones (for a seam behind it) are read.
    if (!m_scan.bitRatesDiffer && m_scan.contiguous && end - first > 2 * TailFrames && end <= m_scan.frames)
        return walkKnown(first, end);
    return walkFrames(first, end);
}

bool SpanWalk::walkKnown(qint64 first, qint64 end)
{
    const qint64 from = m_scan.offsetOf(m_source, first);
    const qint64 to = m_scan.offsetOf(m_source, end);
    if (from < 0 || to <= from)
        return false;
    FrameWalker head(m_source, from, m_scan.reference);
    for (int i = 0; i < TailFrames && !m_borrowDone && head.next(); ++i) {
        if (i == 0) {
            firstHeader = QByteArray(head.data(), MpegHeader::HeaderSize);
            firstBitRateIndex = static_cast<quint8>(head.data()[2]) >> 4;
        }
        noteBorrowing(head.data(), head.length());
    }
    if (firstHeader.isEmpty())
        return false;
    SpanWalk last(m_source, m_scan);
    if (!last.walkFrames(end - TailFrames, end))
        return false;
    tail = last.tail;
    spans = {{from, to - from}};
    bytes = to - from;
    frames = end - first;
    toc = m_scan.tocSamples(first, end, from);
    return !m_source.sourceTruncated();
}

bool SpanWalk::walkFrames(qint64 first, qint64 end)
{
    const qint64 from = m_scan.checkpointFrame(first);
    FrameWalker walker(m_source, m_scan.checkpointOffset(first), m_scan.reference);
    if (first > 0 && !walker.advance(first - from))
        return false;
    qint64 tocStep = 1;
    for (qint64 index = first; index < end && walker.next(); ++index) {
        const char *d = walker.data();
        const int length = walker.length();
        const int bitRateIndex = static_cast<quint8>(d[2]) >> 4;
        if (index == first) {
            firstHeader = QByteArray(d, MpegHeader::HeaderSize);
            firstBitRateIndex = bitRateIndex;
        } else if (bitRateIndex != firstBitRateIndex) {
            bitRatesDiffer = true;
        }
        noteBorrowing(d, length);
        if (frames % tocStep == 0) {
            if (toc.size() == MaxTocSamples) {
                // Keep every other point and take them half as often from now on.
                QVector<QPair<qint64, qint64>> thinned;
                for (int i = 0; i < toc.size(); i += 2)
                    thinned.append(toc.at(i));
                toc = thinned;
                tocStep *= 2;
            }
            if (frames % tocStep == 0)
                toc.append({frames, bytes});
        }
        if (!spans.isEmpty() && spans.last().end() == walker.offset())
            spans.last().length += length;
        else
            spans.append({walker.offset(), length});
        if (tail.size() == TailFrames)
            tail.removeFirst();
        tail.append({walker.offset(), length});
        bytes += length;
        ++frames;
    }
    return !m_source.sourceTruncated();
}

QByteArray SpanWalk::mainDataBefore(BufferedSource &source, const SourceScan &scan, qint64 frame,
                                    int count)
{
    QByteArray tail(count, '\0');
    if (count <= 0 || frame <= 0)
        return tail;
    // The frames in front, oldest first.
    const qint64 start = qMax<qint64>(0, frame - TailFrames);
    SpanWalk before(source, scan);
    if (!before.walk(start, frame))
        return tail;
    int missing = count;
    for (int i = before.tail.size() - 1; i >= 0 && missing > 0; --i) {
        const FramePos &f = before.tail.at(i);
        if (source.fill(f.offset, f.length) < f.length)
            break;
        const char *bytes = source.data(f.offset);
        const int size = SideInfo::mainDataSize(bytes, f.length);
        const int take = qMin(size, missing);
        std::memcpy(tail.data() + missing - take, bytes + f.length - take, size_t(take));
        missing -= take;
    }
    return tail;
}
