#ifndef CUTRESULT_H
#define CUTRESULT_H

#include <QString>
#include <QtGlobal>

#include <algorithm>

// Granules whose global_gain could not take the whole level change and was
// held at 0 or 255, counted while the frames are written.
struct LevelShortfall
{
    qint64 granules = 0;     // granules changed
    qint64 above = 0;        // held at 255
    int mostAbove = 0;       // the largest shortfall, in steps
    qint64 below = 0;        // held at 0
    int mostBelow = 0;

    void add(const LevelShortfall &other)
    {
        granules += other.granules;
        above += other.above;
        mostAbove = std::max(mostAbove, other.mostAbove);
        below += other.below;
        mostBelow = std::max(mostBelow, other.mostBelow);
    }
};

// How a cut, or a step of it, ended: one of the splitter's error codes, and
// the system's reason where the system gave one ("No space left on device").
struct CutResult
{
    enum Code {
        Ok = 0,
        FirstFrameNotFound = -1,
        FirstFrameOffsetError = -2,
        BitRateError = -3,
        SampleRateError = -4,
        SourceOpenFailed = -5,
        SkipBitRateError = -6,
        SkipSampleRateError = -7,
        OutputCreateFailed = -8,
        CopySampleRateError = -9,
        StartBeyondEnd = -10,
        NothingToCut = -11,
        SourceChanged = -12,
        OutputIsSource = -13,
        FormatsDiffer = -14,
        LevelNeedsLayer3 = -15,   // the level of Layer I or II audio cannot change without decoding
        MeasureFailed = -16,      // the audio could not be decoded to measure it
    };

    int code = Ok;
    QString reason;
    LevelShortfall level;

    bool ok() const { return code == Ok; }
    static CutResult failure(int code, const QString &reason = QString())
    {
        CutResult r;
        r.code = code;
        r.reason = reason;
        return r;
    }
};

#endif // CUTRESULT_H
