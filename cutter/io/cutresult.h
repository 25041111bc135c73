#ifndef CUTRESULT_H
#define CUTRESULT_H

#include <QString>

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
    };

    int code = Ok;
    QString reason;

    bool ok() const { return code == Ok; }
    static CutResult failure(int code, const QString &reason = QString()) { return {code, reason}; }
};

#endif // CUTRESULT_H
