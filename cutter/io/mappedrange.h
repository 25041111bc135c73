#ifndef MAPPEDRANGE_H
#define MAPPEDRANGE_H

#include <QtGlobal>

// A read-only mapping of a range of a file, read without a copy into a buffer.
//
// A mapped file that another program shrinks would make the next access to a
// page past its new end raise SIGBUS and end the process. While a range is
// mapped, a SIGBUS handler (installed once, chaining to whatever handler was
// there before) puts a page of zeros in place of the lost one instead, and
// truncated() turns true. Zeros are never a frame header, so a frame walk over
// them sees the audio end where the file now ends.
class MappedRange
{
public:
    MappedRange() = default;
    ~MappedRange();
    MappedRange(const MappedRange &) = delete;
    MappedRange &operator=(const MappedRange &) = delete;

    // Maps length bytes of the open file fd from offset, which must be a
    // multiple of pageSize(). The pages are read in at once. Any earlier
    // range is unmapped first. False when mapping is not possible here.
    bool map(int fd, qint64 offset, qint64 length);
    void unmap();

    const char *data() const { return m_data; }
    qint64 length() const { return m_length; }
    // A page of this range vanished from the file while mapped.
    bool truncated() const;

    static qint64 pageSize();
    // Whether this platform maps files at all.
    static bool isSupported();

private:
    const char *m_data = nullptr;
    qint64 m_length = 0;
    int m_slot = -1;
    bool m_truncated = false;
};

#endif // MAPPEDRANGE_H
