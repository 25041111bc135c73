#ifndef CUTPLAN_H
#define CUTPLAN_H

#include "format/frameheader.h"
#include "io/bytespan.h"
#include "level/levelmap.h"
#include "scan/sourcetimeline.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <memory>

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

// One stretch of a source that goes to the output.
struct EditSpan
{
    static constexpr qint64 ToTheEnd = -1;

    int source = 0;              // index into the sources the planner is given
    qint64 startMs = 0;
    qint64 endMs = ToTheEnd;
};

// An edit: stretches of one or more sources, one after the other. A single
// cut is an edit of one span; removing ranges keeps the spans around them,
// and a join takes every source whole. Where two spans meet is a seam, and a
// seam always falls on whole frames; the mode applies to the outer ends.
struct EditRequest
{
    QVector<EditSpan> spans;
    CutRequest::Mode mode = CutRequest::WholeFrames;
    bool keepTags = false;
    // The output gets a header frame of its own whatever its spans, whose
    // delay and padding keep the outer ends as heard (a removal from the
    // middle starts where the source does). A single cut gets one only
    // where its frames differ in bitrate.
    bool freshHeader = false;
    LevelRequest level;
};

// A span as planned: the source's audio frames [firstFrame, endFrame), what
// of them is heard (source samples, the source's timeline) and where in the
// output they start to be heard (output samples).
struct PlanSpan
{
    int source = 0;
    qint64 firstFrame = 0;
    qint64 endFrame = 0;
    qint64 heardStart = 0;
    qint64 heardEnd = 0;
    qint64 outputStart = 0;
    qint64 frames() const { return endFrame - firstFrame; }
};

// Bytes of the output in order: a stretch of a source's whole frames, or
// frames the plan made (one changed at a seam to carry the bytes the frames
// after the seam borrow).
struct PlanSegment
{
    int source = -1;             // -1: the bytes below
    qint64 offset = 0;
    qint64 length = 0;
    QByteArray bytes;
};

// An edit worked out before anything is written: which bytes of which source
// go to the output in which order, and what is written around them. Only
// CutPlanner makes one.
struct CutPlan
{
    int error = 0;                 // an Mp3Splitter error code, 0 when the plan holds
    QString reason;                // what the error is about, where it says more

    // The first source's facts.
    FrameHeader stream;            // the first copied frame's header
    qint64 headerFrameOffset = -1; // the source's header frame, -1 without one
    qint64 firstAudioOffset = -1;  // the first audio frame
    qint64 streamEnd = -1;         // where the source's audio ends
    qint64 audioFrames = 0;        // audio frames in the source
    SourceTimeline source;
    ByteSpan id3v2;                // the source's tags, length 0 when absent
    ByteSpan id3v1;

    qint64 rate = 0;
    int samplesPerFrame = 0;
    // The first span's first frame and the last span's end: all of a single cut.
    qint64 firstFrame = 0;
    qint64 endFrame = 0;
    QVector<PlanSpan> spans;
    QVector<PlanSegment> copy;     // the frames' bytes, in order
    qint64 copyBytes = 0;
    bool vbr = false;              // the output's frames differ in bitrate
    std::shared_ptr<const LevelMap> level;

    QByteArray synthesised;        // a frame written in front of the copied ones
    QByteArray headerFrame;        // written first; empty for bare frames
    QByteArray tagFront;           // rendered tags, with keepTags
    QByteArray tagBack;

    // Measured by decoding, when the level asked for it (-1 when not): the
    // copied audio's loudness in LUFS and its peak (1.0 full scale) before
    // the level changes, and the peak after.
    double loudness = -1;
    double peakBefore = -1;
    double peakAfter = -1;
    double trackGainDb = 0;        // what a player still adds, with normalize

    // What the output plays, in the source's timeline: the samples
    // [heardStart, heardEnd) at rate (the first span's start, the last one's end).
    qint64 heardStart = 0;
    qint64 heardEnd = 0;

    // Audio frames the output holds, the synthesised one not counted.
    qint64 frames() const;
    qint64 heardStartMs() const { return rate > 0 ? heardStart * 1000 / rate : 0; }
    qint64 heardEndMs() const { return rate > 0 ? heardEnd * 1000 / rate : 0; }
    // How far a whole-frame seam may lie from its mark, rounded up.
    qint64 halfFrameMs() const { return rate > 0 ? (samplesPerFrame * 1000 + 2 * rate - 1) / (2 * rate) : 0; }
    // Bytes the output will have.
    qint64 outputBytes() const
    {
        return tagFront.size() + headerFrame.size() + synthesised.size() + copyBytes + tagBack.size();
    }
};

inline qint64 CutPlan::frames() const
{
    if (spans.isEmpty())
        return endFrame - firstFrame;
    qint64 n = 0;
    for (const PlanSpan &span : spans)
        n += span.frames();
    return n;
}

#endif // CUTPLAN_H
