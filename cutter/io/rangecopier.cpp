#include "io/rangecopier.h"

#include <QFileDevice>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <unistd.h>
#endif

namespace {

// A run is copied once it reaches this size, so that the progress shown and
// the bytes on disk stay close to each other.
constexpr qint64 RunLimit = 1024 * 1024;
constexpr int BufferSize = 256 * 1024;

} // namespace

RangeCopier::RangeCopier(QFileDevice &source, QFileDevice &target)
    : m_source(source)
    , m_target(target)
{
}

bool RangeCopier::append(qint64 offset, qint64 length)
{
    if (m_runLength > 0 && offset == m_runStart + m_runLength) {
        m_runLength += length;
        return m_runLength < RunLimit || flush();
    }
    if (!flush())
        return false;
    m_runStart = offset;
    m_runLength = length;
    return true;
}

bool RangeCopier::flush()
{
    qint64 offset = m_runStart;
    qint64 length = m_runLength;
    m_runStart += m_runLength;
    m_runLength = 0;
    if (length <= 0)
        return true;
    if (m_kernelCopy && copyInKernel(offset, length))
        return true;
    // The kernel could not (any more): the rest through a buffer.
    return copyThroughBuffer(offset, length);
}

// Advances offset and length past what was copied. True when all was; false
// with m_kernelCopy cleared when the kernel refused, so the caller copies the
// rest another way.
bool RangeCopier::copyInKernel(qint64 &offset, qint64 &length)
{
#ifdef Q_OS_LINUX
    const int in = m_source.handle();
    const int out = m_target.handle();
    while (length > 0 && in >= 0 && out >= 0) {
        loff_t from = offset;
        const ssize_t copied = copy_file_range(in, &from, out, nullptr, size_t(length), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied <= 0)
            break; // refused, failed, or the source ended: let the buffer try
        offset += copied;
        length -= copied;
    }
    if (length == 0)
        return true;
#else
    Q_UNUSED(offset)
    Q_UNUSED(length)
#endif
    m_kernelCopy = false;
    return false;
}

bool RangeCopier::copyThroughBuffer(qint64 offset, qint64 length)
{
    if (m_buffer.isEmpty())
        m_buffer = QByteArray(BufferSize, Qt::Uninitialized);
    if (!m_source.seek(offset))
        return false;
    while (length > 0) {
        const qint64 got = m_source.read(m_buffer.data(), qMin<qint64>(length, m_buffer.size()));
        if (got <= 0) {
            m_sourceEnded = got == 0;
            if (!m_sourceEnded)
                m_error = m_source.errorString();
            return false;
        }
        // A write cut short is tried again for the rest, which then fails
        // with the system's reason ("No space left on device").
        for (qint64 done = 0; done < got;) {
            const qint64 written = m_target.write(m_buffer.constData() + done, got - done);
            if (written <= 0) {
                m_error = m_target.errorString();
                return false;
            }
            done += written;
        }
        length -= got;
    }
    return true;
}
