#include "level/levelmap.h"

#include <algorithm>
#include <cmath>

namespace {

// Steps of attenuation for a fraction of the full amplitude, 0 < fraction <= 1.
int attenuation(qint64 position, qint64 length)
{
    if (position <= 0)
        return LevelMap::FadeFloor;
    if (position >= length)
        return 0;
    const double fraction = double(position) / double(length);
    const int steps = int(std::lround(4.0 * std::log2(fraction)));
    return std::max(LevelMap::FadeFloor, steps);
}

} // namespace

bool LevelMap::inFade(qint64 granule) const
{
    return granule < fadeInGranules || totalGranules - 1 - granule < fadeOutGranules;
}

int LevelMap::stepAt(qint64 granule) const
{
    int fade = 0;
    if (granule < fadeInGranules)
        fade = attenuation(granule, fadeInGranules);
    const qint64 left = totalGranules - 1 - granule;
    if (left < fadeOutGranules)
        fade = std::min(fade, attenuation(left, fadeOutGranules));
    return gainSteps + fade;
}

int LevelMap::stepsForDecibels(double db)
{
    return int(std::lround(db / 1.5));
}
