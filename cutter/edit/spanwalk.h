#ifndef SPANWALK_H
#define SPANWALK_H

#include "edit/cutplan.h"

#include <QByteArray>
#include <QPair>
#include <QVector>
#include <QtGlobal>

class BufferedSource;
class SourceScan;

// Where one frame lies in its source.
struct FramePos
{
    qint64 offset = 0;
    int length = 0;
};

// A walk over the audio frames [first, end) of one source, from the scan's
// checkpoint before them: where their bytes lie, whether their bitrates
// vary, table-of-contents points, and what a seam in front of them or behind
// them needs to know.
class SpanWalk
{
public:
    // Frames remembered at the end of the span, for a seam behind it.
    static constexpr int TailFrames = 64;

    SpanWalk(BufferedSource &source, const SourceScan &scan);

    // False when the span's first frame cannot be reached (the file changed).
    bool walk(qint64 first, qint64 end);

    QVector<ByteSpan> spans;          // the frames' bytes, contiguous runs merged
    qint64 bytes = 0;
    qint64 frames = 0;                // frames walked (fewer than asked at the end)
    bool bitRatesDiffer = false;
    int firstBitRateIndex = -1;
    QByteArray firstHeader;
    QVector<QPair<qint64, qint64>> toc; // (frame, byte) from the first frame
    // Bytes the first frames take from the main data in front of the span:
    // each one's main_data_begin less the main data of the span's frames
    // before it.
    int borrowed = 0;
    QVector<FramePos> tail;           // the last TailFrames frames, oldest first

    // The last count bytes of the main data stream in front of frame `frame`,
    // zeros where the stream has fewer.
    static QByteArray mainDataBefore(BufferedSource &source, const SourceScan &scan, qint64 frame,
                                     int count);

private:
    void noteBorrowing(const char *frame, int length);
    bool walkFrames(qint64 first, qint64 end);
    bool walkKnown(qint64 first, qint64 end);

    BufferedSource &m_source;
    const SourceScan &m_scan;
    int m_borrowScan = 0;
    bool m_borrowDone = false;
};

#endif // SPANWALK_H
