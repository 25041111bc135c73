#include "level/levelcopier.h"

#include "format/mpegheader.h"

#include <QFileDevice>

#include <cstring>

namespace {

constexpr int BufferSize = 1024 * 1024;

} // namespace

LevelCopier::LevelCopier(QFileDevice &source, QFileDevice &target, const LevelMap &map)
    : m_source(source)
    , m_target(target)
    , m_map(map)
{
    m_buffer.resize(BufferSize);
}

bool LevelCopier::copy(qint64 offset, qint64 length)
{
    while (length > 0) {
        const int want = int(qMin<qint64>(length, m_buffer.size()));
        if (!m_source.seek(offset)) {
            m_error = m_source.errorString();
            return false;
        }
        const qint64 got = m_source.read(m_buffer.data(), want);
        if (got != want) {
            m_sourceEnded = got >= 0;
            m_error = m_source.errorString();
            return false;
        }
        // A frame cut by the buffer's end starts the next read.
        const int done = applyLevel(want, want == length);
        if (m_target.write(m_buffer.constData(), done) != done) {
            m_error = m_target.errorString();
            return false;
        }
        offset += done;
        length -= done;
    }
    return true;
}

int LevelCopier::applyLevel(int size, bool final)
{
    char *data = m_buffer.data();
    int at = 0;
    while (at + MpegHeader::HeaderSize <= size) {
        const int bytes = MpegHeader::frameBytes(data + at);
        if (bytes <= 0) {
            // not a frame: passed on as it is, up to the next sync
            const void *sync = memchr(data + at + 1, 0xFF, size_t(size - at - 1));
            at = sync ? int(static_cast<const char *>(sync) - data) : size;
            continue;
        }
        if (at + bytes > size)
            return final || at == 0 ? size : at;
        if (FrameGain::apply(data + at, bytes, m_map, m_granule, &m_report))
            m_granule += FrameGain::granules(data + at);
        at += bytes;
    }
    return final || at == 0 ? size : at;
}
