#ifndef MPEGHEADER_H
#define MPEGHEADER_H

#include <QString>
#include <QtGlobal>

// Stateless arithmetic on a 4-byte MPEG audio frame header, byte 0 first as it
// stands in the file. Every function reads exactly 4 bytes through the pointer.
class MpegHeader
{
public:
    static constexpr int HeaderSize = 4;
    static constexpr int Id3HeaderSize = 10;
    static constexpr qint64 NominalFrameDuration = 26000; // microseconds
    // The longest frame any valid header can describe (MPEG-2.5 Layer II,
    // 160 kbit/s at 8000 Hz, padded) is 2881 bytes; readers size windows by it.
    static constexpr int MaxFrameLength = 2881;

    // Version code: 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5, 4 reserved.
    static int version(const char *h);
    // Layer 1, 2, 3, or -1 for the reserved layer bits.
    static int layer(const char *h);
    // kbit/s; -1 when the version code is 4; 0 for free format and index 15.
    static qint64 bitRate(const char *h, int version);
    // Hz; -1 for the reserved version bits. Index 3 reads as the third rate.
    static qint64 sampleRate(const char *h);
    static int padding(const char *h);

    // The Layer III length formula for every layer (144 for MPEG-1, else 72),
    // bitrate in bit/s. Kept for callers that want exactly this number; the
    // frame walk uses frameBytes().
    static qint64 frameLength(int version, qint64 bitRate, qint64 sampleRate, int padding);
    // Frames in a span at a nominal 26 ms per frame, truncated.
    static qint64 framesBetween(qint64 start, qint64 end);
    // Offset of the first frame from the tag size and the search's byte count.
    static int firstFrameOffset(int tagSize, int scanCount);
    // "MPEG-<version> Layer-<layer>", empty for a reserved version or layer.
    static QString formatText(const char *h);

    // A header a frame can start with: 11 sync bits, version and layer not
    // reserved, bitrate index 1..14, sampling index not 3.
    static bool isValid(const char *h);
    // Same version, layer and sampling rate (both headers valid or not).
    static bool sameStream(const char *a, const char *b);
    // The real length of the frame in bytes, header included, per layer;
    // 0 for a header that is not valid.
    static int frameBytes(const char *h);
    // 384 (Layer I), 1152 (Layer II, MPEG-1 Layer III), 576 (MPEG-2/2.5
    // Layer III); 0 for a reserved version or layer.
    static int samplesPerFrame(const char *h);
    // floor(t x rate / (samples x 1000000)) for t in microseconds, exact in
    // 64-bit integers for every t; 0 when rate or samples are not positive.
    static qint64 frameIndex(qint64 microseconds, qint64 rate, int samples);

};

#endif // MPEGHEADER_H
