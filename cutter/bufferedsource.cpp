#include "bufferedsource.h"

#include <QIODevice>

#include <cstring>

BufferedSource::BufferedSource(QIODevice *device, int capacity)
    : m_device(device)
    , m_buffer(capacity, Qt::Uninitialized)
{
}

int BufferedSource::fill(qint64 pos, int n)
{
    Q_ASSERT(n >= 0 && n <= m_buffer.size());
    if (pos < 0)
        return 0;
    qint64 end = m_start + m_length;
    // Near the end of the data the window already holds all there is.
    if (pos >= m_start && pos <= end && (pos + n <= end || m_atEnd))
        return int(qMin<qint64>(n, end - pos));

    if (pos >= m_start && pos <= end) {
        // Keep the bytes from pos on, at the front of the buffer.
        const int kept = int(end - pos);
        if (kept > 0 && pos != m_start)
            std::memmove(m_buffer.data(), m_buffer.constData() + (pos - m_start), size_t(kept));
        m_start = pos;
        m_length = kept;
    } else {
        m_start = pos;
        m_length = 0;
        m_atEnd = false;
    }
    end = m_start + m_length;

    if (!m_atEnd && m_device->pos() != end && !m_device->seek(end))
        m_atEnd = true;
    while (!m_atEnd && m_length < n) {
        const qint64 got = m_device->read(m_buffer.data() + m_length, m_buffer.size() - m_length);
        if (got <= 0) {
            m_atEnd = true;
            break;
        }
        m_length += int(got);
    }
    return int(qMin<qint64>(n, m_length));
}
