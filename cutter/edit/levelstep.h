#ifndef LEVELSTEP_H
#define LEVELSTEP_H

#include "edit/cutplan.h"
#include "tags/tagcopier.h"

#include <QStringList>

// The last step of planning an edit whose level changes: the level map for
// the output's granules (the fades placed where the audio is heard), and,
// for normalize or a gain that makes the audio louder, one decode of the
// output's audio to measure its loudness and peak. Normalize then records
// the gain left and the peak in the header frame's LAME extension.
class LevelStep
{
public:
    // sources: the paths of the plan's sources, in the planner's order.
    static void apply(CutPlan &plan, const LevelRequest &request, const QStringList &sources);
    // What the output's tags say of its replay gain, with keepTags.
    static ReplayGainTags replayGainTags(const CutPlan &plan, const LevelRequest &request);
};

#endif // LEVELSTEP_H
