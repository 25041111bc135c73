#ifndef CUTPLAN_H
#define CUTPLAN_H

#include "format/frameheader.h"
#include "level/levelmap.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// What to cut: times in the player's timeline, milliseconds.
struct CutRequest
{
    enum Mode {
        WholeFrames, // whole source frames, each end within a frame of its mark
        Exact,       // whole frames plus a header that trims them to the sample
    };

    qint64 startMs = 0;
    qint64 endMs = 0;
    Mode mode = WholeFrames;
    bool keepTags = false;
    LevelRequest level;
};

struct ByteSpan
{
    qint64 offset = 0;
    qint64 length = 0;
    qint64 end() const { return offset + length; }
};

// The source's encoder facts that set its timeline.
struct SourceTimeline
{
    bool headerFrame = false;     // the first frame is an encoder's Xing/Info frame
    bool xing = false;            // ... and it says VBR
    qint64 headerFrames = -1;     // its frame count, -1 when it has none
    qint64 headerBytes = -1;      // its byte count, -1 when it has none
    bool lame = false;            // it has a LAME extension
    int delay = 0;                // encoder delay and padding from that extension
    int padding = 0;
    // Decoded samples the player drops in front: delay + 529 with a LAME
    // extension, else none.
    int leadingTrim() const { return lame ? delay + DecoderDelay : 0; }
    int trailingTrim() const { return lame ? qMax(0, padding - DecoderDelay) : 0; }

    static constexpr int DecoderDelay = 529;
};

// A cut worked out before anything is written: which bytes of the source go
// to the output in which order, and what is written around them.
struct CutPlan
{
    int error = 0;                 // an Mp3Splitter error code, 0 when the plan holds
    QString errorReason;           // the system's or the decoder's reason, when one

    FrameHeader stream;            // the first audio frame's header
    qint64 headerFrameOffset = -1; // the source's header frame, -1 without one
    qint64 firstAudioOffset = -1;  // the first audio frame
    qint64 streamEnd = -1;         // where the source's audio ends
    qint64 audioFrames = 0;        // audio frames in the source
    SourceTimeline source;
    ByteSpan id3v2;                // the source's tags, length 0 when absent
    ByteSpan id3v1;

    qint64 rate = 0;
    int samplesPerFrame = 0;
    qint64 firstFrame = 0;         // audio frames [firstFrame, endFrame) are copied
    qint64 endFrame = 0;
    QVector<ByteSpan> copy;        // their bytes, in order
    qint64 copyBytes = 0;
    bool vbr = false;              // the copied frames differ in bitrate

    QByteArray synthesised;        // a frame written in front of the copied ones
    QByteArray headerFrame;        // written first; empty for bare frames
    QByteArray tagFront;           // rendered tags, with keepTags
    QByteArray tagBack;

    LevelMap level;                // the copied frames' level, granule by granule
    // Measured by decoding, when the level asked for it (-1 when not): the
    // copied audio's loudness in LUFS and its peak (1.0 full scale) before
    // the level changes, and the peak after.
    double loudness = -1;
    double peakBefore = -1;
    double peakAfter = -1;
    double trackGainDb = 0;        // what a player still adds, with normalize

    // What the output plays, in the source's timeline: the samples
    // [heardStart, heardEnd) at rate.
    qint64 heardStart = 0;
    qint64 heardEnd = 0;

    qint64 frames() const { return endFrame - firstFrame; }
    qint64 heardStartMs() const { return rate > 0 ? heardStart * 1000 / rate : 0; }
    qint64 heardEndMs() const { return rate > 0 ? heardEnd * 1000 / rate : 0; }
    // Bytes the output will have.
    qint64 outputBytes() const
    {
        return tagFront.size() + headerFrame.size() + synthesised.size() + copyBytes + tagBack.size();
    }
};

#endif // CUTPLAN_H
