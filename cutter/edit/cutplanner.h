#ifndef CUTPLANNER_H
#define CUTPLANNER_H

#include "edit/cutplan.h"

class QIODevice;

// Works out a cut from the source and the marks, reading the source once from
// its first frame to the end of the range; writes nothing. The same plan
// drives the window's cut, the command line and the preview of what a cut
// will hold.
//
// A mark is a position in the player's timeline: decoded samples, less the
// encoder delay and padding a LAME header frame announces, as GStreamer,
// ffmpeg and mpg123 play them. Sample s of that timeline is decoded sample
// s + leadingTrim() of the source, and decoded sample x comes out of audio
// frame x / samplesPerFrame (the encoder's header frame is no audio).
class CutPlanner
{
public:
    static CutPlan plan(QIODevice *source, const CutRequest &request);

    // The frame boundary nearest decoded sample x (rounded half up): where
    // whole-frame cuts, and the pieces of a batch, begin and end.
    static qint64 nearestBoundary(qint64 decoded, int samplesPerFrame);
    // floor(ms x rate / 1000) in integers, for any ms >= 0.
    static qint64 msToSample(qint64 ms, qint64 rate);
    // Frames decoded in front of the first wanted one so that it decodes
    // exactly: two granules' worth.
    static int prerollFrames(const FrameHeader &stream);
};

#endif // CUTPLANNER_H
