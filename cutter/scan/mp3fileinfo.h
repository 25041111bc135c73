#ifndef MP3FILEINFO_H
#define MP3FILEINFO_H

#include <QString>
#include <QtGlobal>

class SourceScan;

// A file's facts as --info tells them, from the scan the cut uses, so the
// frame numbers here are the cut's frame numbers.
class Mp3FileInfo
{
public:
    static Mp3FileInfo read(const QString &fileName);
    static Mp3FileInfo fromScan(const SourceScan &scan);

    bool found = false;          // a first frame was found
    QString format;              // "MPEG-1 Layer-3", "MPEG-2.5 Layer-3"
    int version = 0;             // version code: 1, 2, or 3 for MPEG-2.5
    int layer = 0;
    qint64 bitRate = 0;          // kbit/s of the first frame
    qint64 sampleRate = 0;       // Hz
    int tagSize = 0;             // leading ID3v2 tag, header included; 0 without one
    qint64 firstFrameOffset = -1; // the first frame, the header frame if there is one
    qint64 frames = 0;           // audio frames, the header frame not counted
    qint64 durationMs = 0;       // as the player plays it: the encoder's delay and padding trimmed
    bool vbr = false;            // audio frame bitrates differ
    int encoderDelay = 0;        // from a LAME extension, else 0
    int encoderPadding = 0;
    QString headerFrame = QStringLiteral("none"); // "Xing", "Info", "VBRI" or "none"
    qint64 headerFrames = -1;    // the header frame's frame and byte counts, -1 when absent
    qint64 headerBytes = -1;
    qint64 streamEnd = -1;       // the byte after the last audio frame
};

#endif // MP3FILEINFO_H
