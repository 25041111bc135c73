#include "scan/framewalker.h"

#include "io/bufferedsource.h"
#include "format/mpegheader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int ScanChunk = 64 * 1024;
constexpr int PrefetchFrames = 32;

bool isCandidate(const char *h, const char *reference)
{
    if (!MpegHeader::isValid(h))
        return false;
    if (reference)
        return MpegHeader::sameStream(h, reference);
    return MpegHeader::layer(h) == 3;
}

// The candidate at pos is a frame when the header after it belongs to the
// same stream, or when the file ends exactly where the frame ends.
bool isConfirmed(BufferedSource &source, qint64 pos)
{
    const int length = MpegHeader::frameBytes(source.data(pos));
    const int available = source.fill(pos, length + MpegHeader::HeaderSize);
    if (available < length + MpegHeader::HeaderSize)
        return available == length;
    const char *candidate = source.data(pos);
    const char *follower = candidate + length;
    return MpegHeader::isValid(follower) && MpegHeader::sameStream(candidate, follower);
}

} // namespace

FrameWalker::FrameWalker(BufferedSource &source, qint64 offset, const QByteArray &reference)
    : m_source(source)
    , m_next(offset)
{
    m_reference.fill(0);
    std::copy_n(reference.constData(), std::min<int>(reference.size(), 4), m_reference.begin());
}

const char *FrameWalker::data() const
{
    return m_source.data(m_offset);
}

bool FrameWalker::next()
{
    if (m_ended)
        return false;
    qint64 pos = m_next;
    if (m_source.fill(pos, MpegHeader::HeaderSize) < MpegHeader::HeaderSize)
        return finish();
    // A header of another version, layer or rate is where this stream ends:
    // a second file appended, or something else that looks like one.
    if (MpegHeader::isValid(m_source.data(pos)) && !MpegHeader::sameStream(m_source.data(pos), m_reference.data()))
        return finish();
    if (!MpegHeader::isValid(m_source.data(pos))) {
        const qint64 found = findFrame(m_source, pos + 1, m_reference.data());
        if (found < 0)
            return finish();
        m_dropped += found - pos;
        pos = found;
        m_source.fill(pos, MpegHeader::HeaderSize);
    }
    const int length = MpegHeader::frameBytes(m_source.data(pos));
    if (m_source.fill(pos, length) < length)
        return finish();
    m_offset = pos;
    m_length = length;
    m_next = pos + length;
    // Where the header some frames ahead will be if their lengths stay alike.
    m_source.prefetch(pos + PrefetchFrames * length);
    return true;
}

bool FrameWalker::advance(qint64 count)
{
    if (count <= 0 || m_ended)
        return count <= 0;
    for (qint64 i = 0; i < count; ++i) {
        if (!next())
            return false;
    }
    return true;
}

bool FrameWalker::finish()
{
    m_ended = true;
    m_offset = -1;
    m_length = 0;
    return false;
}

bool FrameWalker::isFrameAt(BufferedSource &source, qint64 pos)
{
    return source.fill(pos, MpegHeader::HeaderSize) == MpegHeader::HeaderSize
        && MpegHeader::isValid(source.data(pos)) && isConfirmed(source, pos);
}

qint64 FrameWalker::findFrame(BufferedSource &source, qint64 from, const char *reference)
{
    qint64 pos = from;
    for (;;) {
        const int available = source.fill(pos, ScanChunk);
        if (available < MpegHeader::HeaderSize)
            return -1;
        // Every position that still has a whole header behind it.
        const int span = available - (MpegHeader::HeaderSize - 1);
        const char *base = source.data(pos);
        const void *hit = std::memchr(base, 0xFF, size_t(span));
        if (!hit) {
            pos += span;
            continue;
        }
        const qint64 candidate = pos + (static_cast<const char *>(hit) - base);
        if (isCandidate(static_cast<const char *>(hit), reference) && isConfirmed(source, candidate))
            return candidate;
        pos = candidate + 1;
    }
}
