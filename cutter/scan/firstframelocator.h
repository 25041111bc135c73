#ifndef FIRSTFRAMELOCATOR_H
#define FIRSTFRAMELOCATOR_H

#include <QByteArray>
#include <QtGlobal>

class QIODevice;
class BufferedSource;

// Finds the first frame header of an MP3 file: after a leading ID3v2 tag, or at
// the start of a file without one.
//
// After a tag, a header starting 0xFF 0xFB right at the tag's end is taken as
// it is; otherwise the search starts at the tag's end. A file without a tag
// that does not begin with a valid header is searched from its first byte. The
// search takes the first Layer III header of any MPEG version that is confirmed
// by the next header (FrameWalker::findFrame), so stray 0xFF bytes in junk or in
// cover art are passed over.
class FirstFrameLocator
{
public:
    struct Result
    {
        bool found = false;
        QByteArray header;    // the 4 header bytes when found
        qint64 offset = -1;   // file offset of the header when found
        int tagSize = 0;      // the tag's total length, 10-byte header included
        int scanCount = 0;    // bytes read by the search, its first 4 included
        bool noTag = false;
    };

    static Result locate(QIODevice *file);

private:
    static void search(BufferedSource &source, qint64 from, qint64 countFrom, Result &result);
};

#endif // FIRSTFRAMELOCATOR_H
