#include "sourcewalk.h"

#include "bufferedsource.h"
#include "firstframelocator.h"
#include "framewalker.h"
#include "mpegheader.h"

#include <QFile>

#include <cstring>

namespace {

// Bytes of Layer III side information after the header (and its CRC).
int sideInfoSize(const char *h)
{
    const bool mono = (quint8(h[3]) >> 6) == 3;   // channel mode: xx...... of byte 3
    if (MpegHeader::version(h) == 1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}

bool tagAt(const char *frame, int length, int at, const char *tag)
{
    return at + 4 <= length && std::memcmp(frame + at, tag, 4) == 0;
}

} // namespace

SourceWalk::SourceWalk(QFile &file)
    : m_file(file)
{
}

bool SourceWalk::isHeaderFrame(const char *frame, int length)
{
    if (length < MpegHeader::HeaderSize)
        return false;
    // LAME puts its tag right after the side information, and there even
    // when the frame has a CRC; other encoders put it after the CRC.
    const int at = MpegHeader::HeaderSize + sideInfoSize(frame);
    for (const int place : {at, at + 2}) {
        if (tagAt(frame, length, place, "Xing") || tagAt(frame, length, place, "Info"))
            return true;
    }
    return tagAt(frame, length, MpegHeader::HeaderSize + 32, "VBRI");
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
    if (MpegHeader::layer(m_header.constData()) == 3 && source.fill(first.offset, length) == length
        && isHeaderFrame(source.data(first.offset), length)) {
        m_headerFrame = true;
        m_audioOffset = first.offset + length;
    }
    return true;
}

bool SourceWalk::walk(const Marks &marks, const Visitor &visit)
{
    m_marked.clear();
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
    if (m_rate <= 0 || m_samples <= 0 || ms <= 0)
        return 0;
    const __int128 unit = __int128(1000) * m_samples;
    return qint64((__int128(2) * ms * m_rate + unit) / (2 * unit));
}

qint64 SourceWalk::msOf(qint64 frame) const
{
    if (m_rate <= 0)
        return 0;
    return qint64(__int128(frame) * m_samples * 1000 / m_rate);
}
