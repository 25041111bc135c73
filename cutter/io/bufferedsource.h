#ifndef BUFFEREDSOURCE_H
#define BUFFEREDSOURCE_H

#include "io/mappedrange.h"

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// A read window over a file, addressed by absolute file offsets. The frame
// walk and the frame searches look at a few kilobytes at a time; memory stays
// at one window whatever the size of the file, and a jump past a large tag
// costs nothing.
//
// A regular file is mapped a window at a time (see MappedRange), so the walk
// reads frame headers where they lie instead of copying every byte of the
// file into a buffer first. Any other device, or a file that cannot be mapped,
// is read in blocks of capacity() bytes; a longer request grows the block.
class BufferedSource
{
public:
    static constexpr int DefaultCapacity = 1 << 18;

    explicit BufferedSource(QIODevice *device, int capacity = DefaultCapacity);

    // Makes up to n bytes starting at pos readable and returns how many are
    // (fewer only where the data ends; none for a negative pos or n). Any n
    // is served: a window or buffer longer than the usual one is made for it.
    int fill(qint64 pos, int n);
    // Pointer to the byte at pos; valid after a fill that covered pos, until
    // the next fill.
    const char *data(qint64 pos) const { return m_base + (pos - m_start); }
    int capacity() const { return m_capacity; }
    // Asks the processor to fetch the byte at pos into its cache, when pos is
    // in the window. A walk reads one header per frame and each header says
    // where the next one is, so without this every header waits for memory.
    void prefetch(qint64 pos) const
    {
        const quint64 at = quint64(pos - m_start);
        if (at < quint64(m_length))
            __builtin_prefetch(m_base + at);
    }

    bool isMapped() const { return m_mapped; }
    // The file shrank under a mapped window; the lost bytes read as zeros.
    bool sourceTruncated() const { return m_map.truncated(); }

private:
    int fillMapped(qint64 pos, int n);
    int fillRead(qint64 pos, int n);
    void useBuffer();

    QIODevice *m_device;
    int m_capacity;
    QByteArray m_buffer;           // read mode only, allocated on first use
    MappedRange m_map;
    const char *m_base = nullptr;  // byte at m_start
    qint64 m_start = 0;            // file offset of m_base[0]
    qint64 m_length = 0;           // valid bytes from m_base
    qint64 m_size = 0;             // mapped mode: the file's size when opened
    qint64 m_window = 0;           // mapped mode: length of the next window
    bool m_mapped = false;
    bool m_atEnd = false;          // read mode: nothing more after m_start + m_length
};

#endif // BUFFEREDSOURCE_H
