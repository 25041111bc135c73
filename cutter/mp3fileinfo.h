#ifndef MP3FILEINFO_H
#define MP3FILEINFO_H

#include <QString>
#include <QtGlobal>

// What a walk over a whole MP3 file finds: the stream's format from its first
// frame, where that frame lies, and how many frames follow. The walk is the one
// the split uses, so the frame numbers here are the split's frame numbers.
class Mp3FileInfo
{
public:
    static Mp3FileInfo read(const QString &fileName);

    bool found = false;          // a first frame was found
    QString format;              // "MPEG-1 Layer-3", worded like Mp3Splitter::getFormat
    int version = 0;             // version code: 1, 2, or 3 for MPEG-2.5
    int layer = 0;
    qint64 bitRate = 0;          // kbit/s of the first frame
    qint64 sampleRate = 0;       // Hz
    int tagSize = 0;             // leading ID3v2 tag, header included; 0 without one
    qint64 firstFrameOffset = -1;
    qint64 frames = 0;           // from the first frame to the end
    qint64 durationMs = 0;       // frames x samples per frame / sampling rate
    bool vbr = false;            // frame bitrates differ
};

#endif // MP3FILEINFO_H
