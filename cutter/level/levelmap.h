#ifndef LEVELMAP_H
#define LEVELMAP_H

#include <QtGlobal>

// What level a person asked for: a gain in whole steps, fades at the
// output's ends, or the loudness brought to a common reference.
struct LevelRequest
{
    int gainSteps = 0;
    qint64 fadeInMs = 0;
    qint64 fadeOutMs = 0;
    bool normalize = false;

    bool isNone() const { return gainSteps == 0 && fadeInMs <= 0 && fadeOutMs <= 0 && !normalize; }
};

// The level of an output, granule by granule, as steps of global_gain: one
// step scales the decoded samples by 2^(1/4), 1.5 dB. A fixed gain applies to
// every granule; a fade-in rises from the floor to that gain over the first
// granules, a fade-out falls back to it over the last ones. Granules are
// counted over the output's audio frames (two a frame in MPEG-1, one in
// MPEG-2 and 2.5).
struct LevelMap
{
    // A fade starts (or ends) this many steps below the level: 96 dB, under
    // the least significant bit of 16-bit audio, and far enough above 0 that
    // the granules keep decoding as the quiet sound they are.
    static constexpr int FadeFloor = -64;

    int gainSteps = 0;
    qint64 fadeInGranules = 0;
    qint64 fadeOutGranules = 0;
    qint64 totalGranules = 0;
    // Granules at the ends that decoders trim away (the encoder's delay and
    // padding, the frames decoded ahead of an exact start): the fades begin
    // and end where the audio is heard, and stay at the floor outside.
    qint64 leadGranules = 0;
    qint64 tailGranules = 0;

    bool isIdentity() const { return gainSteps == 0 && !hasFades(); }
    bool hasFades() const { return fadeInGranules > 0 || fadeOutGranules > 0; }
    // Whether the granule lies in a fade, where a gain clamped at 0 is wanted.
    bool inFade(qint64 granule) const;
    // The change to global_gain for an output granule. Within a fade the
    // amplitude follows a straight line from silence to the level, rounded to
    // steps, so the steps never fall during a fade-in nor rise during a
    // fade-out.
    int stepAt(qint64 granule) const;

    // The map for an output of frames Layer III frames at rate: the fades
    // cover whole granules of 576 samples, at least the times asked for, and
    // never more than the output.
    static LevelMap forOutput(const LevelRequest &request, qint64 frames, int granulesPerFrame,
                              qint64 rate);

    // The nearest whole step to a gain in decibels.
    static int stepsForDecibels(double db);
    static double decibelsForSteps(int steps) { return steps * StepDb; }
    // 20 log10(2^(1/4)): "1.5 dB" to a person
    static constexpr double StepDb = 1.5051499783199058;
};

#endif // LEVELMAP_H
