#ifndef BUFFEREDSOURCE_H
#define BUFFEREDSOURCE_H

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// A read window over a file, addressed by absolute file offsets. The frame
// walk and the frame searches look at a few kilobytes at a time while the
// device is read in large blocks; memory stays at one block whatever the size
// of the file, and a jump past a large tag is a seek, not a read.
class BufferedSource
{
public:
    static constexpr int DefaultCapacity = 1 << 18;

    explicit BufferedSource(QIODevice *device, int capacity = DefaultCapacity);

    // Makes up to n bytes starting at pos readable and returns how many are
    // (fewer only where the data ends). n must not exceed the capacity.
    int fill(qint64 pos, int n);
    // Pointer to the byte at pos; valid after a fill that covered pos, until
    // the next fill.
    const char *data(qint64 pos) const { return m_buffer.constData() + (pos - m_start); }
    int capacity() const { return m_buffer.size(); }

private:
    QIODevice *m_device;
    QByteArray m_buffer;
    qint64 m_start = 0;    // file offset of m_buffer[0]
    int m_length = 0;      // valid bytes in m_buffer
    bool m_atEnd = false;  // the device had nothing more after m_start + m_length
};

#endif // BUFFEREDSOURCE_H
