#ifndef MP3STREAMBUILDER_H
#define MP3STREAMBUILDER_H

// Builds MPEG audio byte streams for the cutter tests: real frame headers, frame
// bodies of the right length, tags and junk, and a record of where every frame
// lies so a test can say which bytes a cut must produce.

#include <QByteArray>
#include <QVector>

class Mp3StreamBuilder
{
public:
    // Frame length in bytes from the standard formulas, worked out here
    // independently of the cutter. Header bytes 1 and 2 are enough.
    static int frameLength(quint8 b1, quint8 b2)
    {
        static const int l1v1[] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
        static const int l2v1[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
        static const int l3v1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        static const int l1v2[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
        static const int lxv2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
        const bool mpeg1 = (b1 & 0x18) == 0x18;
        const int rates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
        const int row = mpeg1 ? 0 : (b1 & 0x18) == 0x10 ? 1 : 2;
        const int rate = rates[row][(b2 >> 2) & 3];
        const int index = b2 >> 4;
        const int pad = (b2 >> 1) & 1;
        switch (b1 & 0x06) {
        case 0x06: // Layer I: slots of 4 bytes
            return (12 * (mpeg1 ? l1v1 : l1v2)[index] * 1000 / rate + pad) * 4;
        case 0x04: // Layer II
            return 144 * (mpeg1 ? l2v1 : lxv2)[index] * 1000 / rate + pad;
        default:   // Layer III
            return (mpeg1 ? 144 : 72) * (mpeg1 ? l3v1 : lxv2)[index] * 1000 / rate + pad;
        }
    }

    // An ID3v2 tag whose size field says bodySize; the body is filled with
    // fill (0xFF makes it look like cover art full of sync bytes).
    Mp3StreamBuilder &tag(int bodySize, char fill = 0)
    {
        bytes += QByteArray("ID3\x03\x00\x00", 6);
        bytes += char((bodySize >> 21) & 0x7F);
        bytes += char((bodySize >> 14) & 0x7F);
        bytes += char((bodySize >> 7) & 0x7F);
        bytes += char(bodySize & 0x7F);
        bytes += QByteArray(bodySize, fill);
        return *this;
    }

    Mp3StreamBuilder &raw(const QByteArray &data)
    {
        bytes += data;
        return *this;
    }

    // One frame; its body never holds 0xFF, so only real headers look like sync.
    Mp3StreamBuilder &frame(quint8 b1, quint8 b2, quint8 b3 = 0x44)
    {
        const int length = frameLength(b1, b2);
        offsets.append(bytes.size());
        lengths.append(length);
        const int number = offsets.size();
        bytes += char(0xFF);
        bytes += char(b1);
        bytes += char(b2);
        bytes += char(b3);
        for (int i = 4; i < length; ++i)
            bytes += char((number * 31 + i) % 251);
        return *this;
    }

    // count frames; the padding bit follows the pattern of a 44.1 kHz encoder
    // (roughly 2 padded frames in 3) or is set by padEvery when given.
    Mp3StreamBuilder &frames(int count, quint8 b1, quint8 b2, int padEvery = 0)
    {
        for (int i = 0; i < count; ++i) {
            const bool pad = padEvery > 0 ? i % padEvery == 0 : (i * 41) % 100 < 66;
            frame(b1, quint8(pad ? (b2 | 0x02) : (b2 & ~0x02)));
        }
        return *this;
    }

    // Frames count..: MPEG-1 Layer III 44.1 kHz with the bitrate changing from
    // frame to frame, as in a VBR file.
    Mp3StreamBuilder &vbrFrames(int count)
    {
        static const quint8 indexes[] = {9, 5, 11, 14, 1, 7, 10, 12, 3, 13, 8};
        for (int i = 0; i < count; ++i)
            frame(0xFB, quint8((indexes[i % 11] << 4) | ((i % 3) ? 0x02 : 0x00)));
        return *this;
    }

    // The bytes of frames first .. first + count - 1.
    QByteArray framesBytes(int first, int count) const
    {
        QByteArray out;
        for (int i = first; i < first + count && i < offsets.size(); ++i)
            out += bytes.mid(offsets[i], lengths[i]);
        return out;
    }

    QByteArray bytes;
    QVector<int> offsets;
    QVector<int> lengths;
};

#endif // MP3STREAMBUILDER_H
