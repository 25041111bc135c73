#include "io/bufferedsource.h"

#include <QFileDevice>

#include <cstring>

namespace {

// Mapped windows start small, for the reader that only wants the first frame,
// and grow to this for the long walks.
constexpr qint64 LargestWindow = 2 * 1024 * 1024;

} // namespace

BufferedSource::BufferedSource(QIODevice *device, int capacity)
    : m_device(device)
    , m_capacity(capacity)
{
    auto *file = qobject_cast<QFileDevice *>(device);
    if (MappedRange::isSupported() && file && file->handle() >= 0 && !file->isSequential()) {
        m_size = file->size();
        m_mapped = m_size > 0;
        m_window = capacity + MappedRange::pageSize();
    }
    if (!m_mapped)
        useBuffer();
}

void BufferedSource::useBuffer()
{
    m_mapped = false;
    m_map.unmap();
    m_buffer = QByteArray(m_capacity, Qt::Uninitialized);
    m_base = m_buffer.constData();
    m_start = 0;
    m_length = 0;
    m_atEnd = false;
}

int BufferedSource::fill(qint64 pos, int n)
{
    if (pos < 0 || n <= 0)
        return 0;
    return m_mapped ? fillMapped(pos, n) : fillRead(pos, n);
}

int BufferedSource::fillMapped(qint64 pos, int n)
{
    if (pos >= m_size)
        return 0;
    const int wanted = int(qMin<qint64>(n, m_size - pos));
    if (pos >= m_start && pos + wanted <= m_start + m_length)
        return wanted;

    const qint64 start = pos - pos % MappedRange::pageSize();
    // A request longer than the window gets a window of its own length.
    const qint64 length = qMin(qMax(m_window, pos - start + wanted), m_size - start);
    if (!m_map.map(static_cast<QFileDevice *>(m_device)->handle(), start, length)) {
        useBuffer();
        return fillRead(pos, n);
    }
    m_window = qMin(m_window * 2, LargestWindow);
    m_base = m_map.data();
    m_start = start;
    m_length = length;
    return wanted;
}

int BufferedSource::fillRead(qint64 pos, int n)
{
    // A request longer than the buffer grows it; what it holds stays.
    if (n > m_buffer.size()) {
        m_buffer.resize(n);
        m_base = m_buffer.constData();
    }
    char *buffer = m_buffer.data();
    qint64 end = m_start + m_length;
    // Near the end of the data the window already holds all there is.
    if (pos >= m_start && pos <= end && (pos + n <= end || m_atEnd))
        return int(qMin<qint64>(n, end - pos));

    if (pos >= m_start && pos <= end) {
        // Keep the bytes from pos on, at the front of the buffer.
        const qint64 kept = end - pos;
        if (kept > 0 && pos != m_start)
            std::memmove(buffer, buffer + (pos - m_start), size_t(kept));
        m_start = pos;
        m_length = kept;
    } else {
        m_start = pos;
        m_length = 0;
        m_atEnd = false;
    }
    end = m_start + m_length;

    if (!m_atEnd && m_device->pos() != end && (end > m_device->size() || !m_device->seek(end)))
        m_atEnd = true;
    while (!m_atEnd && m_length < n) {
        const qint64 got = m_device->read(buffer + m_length, m_buffer.size() - m_length);
        if (got <= 0) {
            m_atEnd = true;
            break;
        }
        m_length += got;
    }
    return int(qMin<qint64>(n, m_length));
}
