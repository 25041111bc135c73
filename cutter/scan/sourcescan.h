#ifndef SOURCESCAN_H
#define SOURCESCAN_H

#include "format/frameheader.h"
#include "io/bytespan.h"
#include "scan/offsetlist.h"
#include "scan/sourcetimeline.h"

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <atomic>
#include <functional>

class BufferedSource;
class QIODevice;

// One walk over an MP3 source, and everything the rest of the cutter needs
// from it: where the first frame lies, the encoder's header frame and the
// timeline it sets, the tags around the audio, how many audio frames there
// are, whether their bitrates vary, and where every CheckpointInterval-th
// frame starts. The planner, batch jobs, the file facts, the envelope and the
// silence finder all start from it; nothing else walks a whole source.
//
// Audio frames are counted from 0 at the first frame that holds audio: an
// encoder's header frame (Xing, Info or VBRI) is not one. The audio ends at
// the end of the file, at a trailing tag, or at the first header of another
// version, layer or sampling rate. Times are the player's timeline: decoded
// samples less the leading trim a LAME extension announces.
//
// Memory: one offset per CheckpointInterval frames, so a few megabytes for
// a source of gigabytes; a frame between checkpoints is found by walking on
// from the one before it (at most CheckpointInterval - 1 headers).
class SourceScan
{
public:
    static constexpr int CheckpointInterval = 16;

    // Sees every audio frame: its index, file offset and bytes.
    using Visitor = std::function<void(qint64 index, qint64 offset, const char *frame, int length)>;

    // Walks the source once. error is set (a CutResult code) when no frame
    // is found, the stream's format is unusable or the file shrank on the
    // way; an empty scan when cancel turned true.
    static SourceScan run(QIODevice *device, const Visitor &visit = Visitor(),
                          const std::atomic<bool> *cancel = nullptr);

    int error = 0;                 // 0, or why there is nothing to use
    bool found() const { return error == 0 && frames > 0; }

    int tagSize = 0;               // leading ID3v2 tag, header included; 0 without one
    int scanCount = 0;             // bytes the first-frame search read, its first 4 included
    qint64 firstOffset = -1;       // the first frame: the header frame if there is one
    qint64 headerFrameOffset = -1; // the encoder's header frame, -1 without one
    QByteArray reference;          // the 4 header bytes the walk follows
    FrameHeader stream;            // the first audio frame's header
    SourceTimeline timeline;
    ByteSpan id3v2;                // the source's tags, length 0 when absent
    ByteSpan id3v1;

    qint64 audioOffset = -1;       // the first audio frame
    qint64 frames = 0;             // audio frames
    qint64 streamEnd = -1;         // the byte after the last of them
    bool bitRatesDiffer = false;
    // Every audio frame starts where the one before it ends: no bytes were
    // passed over to find the next one.
    bool contiguous = true;

    qint64 rate() const { return stream.sampleRate(); }
    int samplesPerFrame() const { return stream.samplesPerFrame(); }
    // Samples the player plays of the whole source.
    qint64 heardSamples() const;
    qint64 durationMs() const;

    // Where audio frame `frame` starts; streamEnd for frames, -1 outside.
    // Walks from the checkpoint before it through source.
    qint64 offsetOf(BufferedSource &source, qint64 frame) const;
    // The checkpoint at or before a frame: its frame index and offset.
    qint64 checkpointFrame(qint64 frame) const;
    qint64 checkpointOffset(qint64 frame) const;
    // (frame, offset from the first one) pairs for a table of contents of the
    // frames [first, end), at the checkpoints between them.
    QVector<QPair<qint64, qint64>> tocSamples(qint64 first, qint64 end, qint64 firstOffset) const;

    // floor(ms x rate / 1000) in integers, for any ms >= 0.
    static qint64 msToSample(qint64 ms, qint64 rate);
    // The frame boundary nearest decoded sample x (rounded half up).
    static qint64 nearestBoundary(qint64 decoded, int samplesPerFrame);

    // The frame boundary nearest a time, as whole-frame cuts choose it, for
    // an output whose decoder trims `trim` samples more in front (an output
    // header frame makes it 529).
    qint64 frameAt(qint64 ms, int trim = 0) const;
    // Where a frame starts in the player's timeline, in milliseconds, rounded
    // down, for an output whose decoder trims `trim` more in front.
    qint64 msOf(qint64 frame, int trim = 0) const;

private:
    OffsetList m_checkpoints;
};

#endif // SOURCESCAN_H
