#ifndef CUTPLANNER_H
#define CUTPLANNER_H

#include "edit/cutplan.h"

#include <QVector>

class QIODevice;
class SourceScan;

// Works out an edit from the sources' scans and the marks; writes nothing.
// The only place plans are made: the window's cut, the command line, batch
// pieces, removals, kept pieces, joins and the preview of what a cut will
// hold all come from here.
//
// A mark is a position in the player's timeline: decoded samples, less the
// encoder delay and padding a LAME header frame announces, as GStreamer,
// ffmpeg and mpg123 play them. Sample s of that timeline is decoded sample
// s + leadingTrim() of the source, and decoded sample x comes out of audio
// frame x / samplesPerFrame (the encoder's header frame is no audio).
class CutPlanner
{
public:
    struct Source
    {
        QIODevice *device = nullptr;
        const SourceScan *scan = nullptr;
    };

    // One cut of one source, scanned here.
    static CutPlan plan(QIODevice *source, const CutRequest &request);
    // One cut of a scanned source (batch pieces share one scan).
    static CutPlan plan(QIODevice *source, const SourceScan &scan, const CutRequest &request);
    // Any edit: spans of the sources, in order.
    static CutPlan plan(const QVector<Source> &sources, const EditRequest &request);

    // The frame boundary nearest decoded sample x (rounded half up): where
    // whole-frame cuts, and the pieces of a batch, begin and end.
    static qint64 nearestBoundary(qint64 decoded, int samplesPerFrame);
    // floor(ms x rate / 1000) in integers, for any ms >= 0.
    static qint64 msToSample(qint64 ms, qint64 rate);
    // Frames decoded in front of the first wanted one so that it decodes
    // exactly: two granules' worth.
    static int prerollFrames(const FrameHeader &stream);
    // "MPEG-1 Layer-3, 44100 Hz, 2 channels": what must agree for a join.
    static QString formatName(const FrameHeader &stream);
};

#endif // CUTPLANNER_H
