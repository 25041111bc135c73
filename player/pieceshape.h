#ifndef PIECESHAPE_H
#define PIECESHAPE_H

#include <QtGlobal>

// What the next cuts do to the level of the piece beyond copying it: fades
// at its ends, a level change in steps of 1.5 dB, or a normalised level.
struct PieceShape
{
    // The lengths a fade is offered in, and the level steps.
    static constexpr qint64 FadeChoicesMs[] = {0, 500, 1000, 2000, 3000};
    static constexpr double LevelStepDb = 1.5;
    static constexpr int MaxLevelSteps = 4; // -6 .. +6 dB

    qint64 fadeInMs = 0;
    qint64 fadeOutMs = 0;
    int levelSteps = 0; // of LevelStepDb
    bool normalize = false;

    double levelDb() const { return levelSteps * LevelStepDb; }
    bool isPlain() const { return fadeInMs == 0 && fadeOutMs == 0 && levelSteps == 0 && !normalize; }
    bool operator==(const PieceShape &o) const
    {
        return fadeInMs == o.fadeInMs && fadeOutMs == o.fadeOutMs && levelSteps == o.levelSteps
            && normalize == o.normalize;
    }
};

#endif // PIECESHAPE_H
