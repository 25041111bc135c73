#ifndef BYTESPAN_H
#define BYTESPAN_H

#include <QtGlobal>

// A stretch of bytes of a file.
struct ByteSpan
{
    qint64 offset = 0;
    qint64 length = 0;
    qint64 end() const { return offset + length; }
};

#endif // BYTESPAN_H
