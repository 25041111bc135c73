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
    return (fadeInGranules > 0 && granule - leadGranules < fadeInGranules)
        || (fadeOutGranules > 0 && totalGranules - tailGranules - 1 - granule < fadeOutGranules);
}

int LevelMap::stepAt(qint64 granule) const
{
    int fade = 0;
    const qint64 in = granule - leadGranules;
    if (fadeInGranules > 0 && in < fadeInGranules)
        fade = attenuation(in, fadeInGranules);
    const qint64 left = totalGranules - tailGranules - 1 - granule;
    if (fadeOutGranules > 0 && left < fadeOutGranules)
        fade = std::min(fade, attenuation(left, fadeOutGranules));
    return gainSteps + fade;
}

LevelMap LevelMap::forOutput(const LevelRequest &request, qint64 frames, int granulesPerFrame,
                             qint64 rate)
{
    constexpr qint64 GranuleSamples = 576;
    LevelMap map;
    map.gainSteps = request.gainSteps;
    map.totalGranules = frames * granulesPerFrame;
    auto granules = [&](qint64 ms) {
        if (ms <= 0 || rate <= 0)
            return qint64(0);
        const qint64 samples = (ms * rate + 999) / 1000;
        return std::min(map.totalGranules, (samples + GranuleSamples - 1) / GranuleSamples);
    };
    map.fadeInGranules = granules(request.fadeInMs);
    map.fadeOutGranules = granules(request.fadeOutMs);
    return map;
}

int LevelMap::stepsForDecibels(double db)
{
    return int(std::lround(db / StepDb));
}
