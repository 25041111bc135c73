#ifndef LOUDNESSSCAN_H
#define LOUDNESSSCAN_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// Decodes stretches of an MP3 file with libmpg123 and measures their
// loudness and peak (see LoudnessMeter), as one stream in the order given.
// A long stream is decoded in two halves at once, the second starting a few
// frames early so that its decoder has the bit reservoir and the overlap
// right when its own part begins.
class LoudnessScan
{
public:
    // Whole frames: length bytes of the file at path from offset, or the
    // bytes given.
    struct Range
    {
        QString path;
        qint64 offset = 0;
        qint64 length = 0;
        QByteArray bytes;
    };

    struct Result
    {
        bool ok = false;
        QString error;       // why not, when not ok
        double loudness = 0; // LUFS
        double peak = 0;     // 1.0 is full scale
    };

    // With peakOnly the loudness is not measured (it reads 0).
    static Result measure(const QVector<Range> &ranges, bool peakOnly = false);
};

// The whole-step change of global_gain that brings a measured loudness
// nearest the target without letting the peak pass full scale, and the track
// gain and peak the output will have.
struct NormalizeChoice
{
    int steps = 0;
    double trackGainDb = 0;  // what a player still has to add to the output
    double peak = 0;         // the output's peak
    bool limitedByPeak = false;

    static NormalizeChoice choose(double loudness, double peak, double targetLufs);
};

#endif // LOUDNESSSCAN_H
