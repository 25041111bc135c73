#ifndef LAMEREPLAYGAIN_H
#define LAMEREPLAYGAIN_H

#include <QByteArray>
#include <QtGlobal>

// The replay-gain fields of a header frame's LAME extension, where players
// that read no tags still find a track's gain and peak:
//   bytes 11-14  peak amplitude: full scale is 2^23, big-endian, as LAME and
//                the decoders that read it have it;
//   bytes 15-16  track ("radio") gain: name 001, originator 3 bits, sign,
//                9 bits of tenths of a decibel.
// Changing them keeps the extension's own CRC right.
class LameReplayGain
{
public:
    struct Fields
    {
        bool hasTrackGain = false;
        double trackGainDb = 0;
        double peak = 0;        // 1.0 is full scale
    };

    // Sets both fields; false when the frame holds no LAME extension.
    static bool write(QByteArray &headerFrame, double trackGainDb, double peak);
    static Fields read(const QByteArray &headerFrame);

    static quint16 encodeTrackGain(double db);
    // 0 when the field holds no track gain.
    static double decodeGain(quint16 field);
};

#endif // LAMEREPLAYGAIN_H
