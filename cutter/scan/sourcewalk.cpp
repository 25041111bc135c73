#include "scan/sourcewalk.h"

#include "io/bufferedsource.h"
#include "edit/cutplan.h"
#include "edit/cutplanner.h"
#include "scan/firstframelocator.h"
#include "scan/framewalker.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"

#include <QFile>

#include <algorithm>

namespace {

// At most this many frame offsets are kept for the tables of contents.
constexpr qint64 MaxTocOffsets = 32768;

} // namespace

SourceWalk::SourceWalk(QFile &file)
    : m_file(file)
{
}

bool SourceWalk::locate(QString *error)
{
    const FirstFrameLocator::Result first = FirstFrameLocator::locate(&m_file);
    if (!first.found) {
        *error = tr("no MPEG audio frame found");
        return false;
    }
    m_header = first.header;
    m_rate = MpegHeader::sampleRate(m_header.constData());
    m_samples = MpegHeader::samplesPerFrame(m_header.constData());
    m_audioOffset = first.offset;

    BufferedSource source(&m_file);
    const int length = MpegHeader::frameBytes(m_header.constData());
    if (MpegHeader::layer(m_header.constData()) == 3 && source.fill(first.offset, length) == length) {
        const HeaderFrameInfo info = HeaderFrame::read(source.data(first.offset), length);
        if (info.kind != HeaderFrameInfo::Kind::None) {
            m_headerFrame = true;
            m_audioOffset = first.offset + length;
            SourceTimeline timeline;
            timeline.lame = info.lame;
            timeline.delay = info.delay;
            m_lead = timeline.leadingTrim();
        }
    }
    return true;
}

bool SourceWalk::walk(const Marks &marks, const Visitor &visit)
{
    m_marked.clear();
    m_bitRatesDiffer = false;
    m_tocOffsets.clear();
    const qint64 frameBytes = std::max(1, MpegHeader::frameBytes(m_header.constData()));
    m_tocStep = std::max<qint64>(1, (m_file.size() - m_audioOffset) / frameBytes / MaxTocOffsets + 1);
    BufferedSource source(&m_file);
    FrameWalker walker(source, m_audioOffset, m_header);
    const char *reference = m_header.constData();
    qint64 mark = marks(-1);
    qint64 index = 0;
    m_end = m_audioOffset;
    while (walker.next()) {
        const char *frame = walker.data();
        if (!MpegHeader::sameStream(frame, reference))
            break;
        // The header frame may have a bitrate of its own: the audio's
        // first frame sets the one to compare with.
        if (index == 0)
            m_audioHeader = QByteArray(frame, MpegHeader::HeaderSize);
        else if ((frame[2] & 0xF0) != (m_audioHeader.at(2) & 0xF0))
            m_bitRatesDiffer = true;
        if (index % m_tocStep == 0)
            m_tocOffsets.append(walker.offset());
        while (mark >= 0 && mark < index)
            mark = marks(mark);
        // Frame 0 always: every job's first piece may start there.
        if (mark == index || index == 0) {
            m_marked.insert(index, walker.offset());
            if (mark == index)
                mark = marks(mark);
        }
        if (visit)
            visit(index, walker.offset(), frame, walker.length());
        m_end = walker.offset() + walker.length();
        ++index;
    }
    m_frameCount = index;
    return !source.sourceTruncated();
}

qint64 SourceWalk::offset(qint64 frame) const
{
    if (frame == m_frameCount)
        return m_end;
    return m_marked.value(frame, -1);
}

qint64 SourceWalk::frameAt(qint64 ms) const
{
    // A mark at the very start takes the audio from its first frame, whose
    // last samples are heard.
    if (m_rate <= 0 || m_samples <= 0 || ms <= 0)
        return 0;
    // The planner's rule for whole frames: the boundary nearest the mark's
    // decoded sample.
    const qint64 decoded = CutPlanner::msToSample(std::max<qint64>(0, ms), m_rate) + m_lead;
    return CutPlanner::nearestBoundary(decoded, m_samples);
}

qint64 SourceWalk::msOf(qint64 frame) const
{
    return msOf(frame, 0);
}

qint64 SourceWalk::msOf(qint64 frame, int trim) const
{
    if (m_rate <= 0)
        return 0;
    const qint64 heard = std::max<qint64>(0, frame * m_samples + trim - m_lead);
    return qint64(__int128(heard) * 1000 / m_rate);
}

QByteArray SourceWalk::pieceHeaderFrame(qint64 first, qint64 end) const
{
    const qint64 from = offset(first);
    const qint64 to = offset(end);
    if (!m_bitRatesDiffer || end <= first || from < 0 || to < from)
        return QByteArray();
    QVector<QPair<qint64, qint64>> samples;
    const qint64 firstSample = first / m_tocStep + 1;
    for (qint64 i = firstSample; i < m_tocOffsets.size() && i * m_tocStep < end; ++i)
        samples.append({i * m_tocStep - first, m_tocOffsets.at(int(i)) - from});
    HeaderFrame::Params p;
    p.reference = m_audioHeader;
    p.vbr = true;
    p.frames = quint32(std::min<qint64>(end - first, 0xFFFFFFFF));
    p.audioBytes = quint64(to - from);
    p.toc = HeaderFrame::toc(samples, end - first, to - from);
    return HeaderFrame::build(p);
}
