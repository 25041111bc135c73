#ifndef HEADERFRAME_H
#define HEADERFRAME_H

#include <QByteArray>
#include <QPair>
#include <QVector>
#include <QtGlobal>

#include <array>

// What an encoder's header frame says about the stream after it: a Xing or
// Info tag (with a LAME extension when LAME or ffmpeg wrote it) or a
// Fraunhofer VBRI tag. Fields a tag does not carry stay 0.
struct HeaderFrameInfo
{
    enum class Kind { None, Xing, Info, Vbri };
    static constexpr quint32 FramesFlag = 1;
    static constexpr quint32 BytesFlag = 2;
    static constexpr quint32 TocFlag = 4;
    static constexpr quint32 QualityFlag = 8;

    Kind kind = Kind::None;
    int tagOffset = -1;         // of "Xing", "Info" or "VBRI" in the frame
    quint32 flags = 0;          // which of the fields below the tag holds
    quint32 frames = 0;         // audio frames after the header frame
    quint32 bytes = 0;          // header frame + audio frames
    std::array<quint8, 100> toc{};
    quint32 quality = 0;

    bool lame = false;          // a LAME extension follows the Xing fields
    QByteArray encoder;         // 9 bytes, e.g. "LAME3.100"
    int delay = 0;              // samples the encoder put in front
    int padding = 0;            // samples it added at the end
    quint32 musicLength = 0;
    quint16 musicCrc = 0;
    quint16 tagCrc = 0;
    bool tagCrcRight = false;   // tagCrc matches the bytes in front of it

    bool hasFrames() const { return flags & FramesFlag; }
    bool hasBytes() const { return flags & BytesFlag; }
    bool hasToc() const { return flags & TocFlag; }
};

// Reads and writes the header frame that LAME puts in front of the audio: a
// silent Layer III frame holding a Xing (VBR) or Info (CBR) tag and the LAME
// extension with the encoder delay and padding that gapless decoders trim.
class HeaderFrame
{
public:
    // The LAME extension's size, after the Xing fields.
    static constexpr int LameSize = 36;
    // "Xing" + flags + frames + bytes + TOC + quality.
    static constexpr int XingSize = 4 + 4 + 4 + 4 + 100 + 4;

    struct Params
    {
        // 4 header bytes of the stream's frames: version, layer (III), rate,
        // channel mode and protection bit are taken from it.
        QByteArray reference;
        bool vbr = false;                   // "Xing" when set, else "Info"
        quint32 frames = 0;                 // audio frames after the header frame
        quint64 audioBytes = 0;             // bytes of those frames
        std::array<quint8, 100> toc{};
        int delay = 0;                      // clamped to 0..4095
        int padding = 0;                    // clamped to 0..4095
        QByteArray encoder = QByteArrayLiteral("LAME3.100"); // cut or padded to 9 bytes
        quint16 musicCrc = 0;               // CRC-16/ARC of the audio frames; decoders ignore it
    };

    // The tag of frame (length bytes available, the frame's own length is
    // taken from its header); Kind::None when it holds none.
    static HeaderFrameInfo read(const char *frame, int length);

    // A complete header frame for the stream of p.reference, with the smallest
    // bitrate index that has room for the tag and the LAME extension; empty
    // when the reference is no valid Layer III header. The byte count and the
    // music length say length() + audioBytes (saturated at 32 bits).
    static QByteArray build(const Params &p);
    // The length of the frame build() makes for this reference, 0 when none.
    static int length(const QByteArray &reference);

    // The Xing table of contents. samples are (frame index, byte offset from
    // the first audio frame) pairs in increasing order, sparse, e.g. every
    // 2^k frames; (0, 0) and (totalFrames, audioBytes) are implied, samples
    // out of order or past the end are passed over. Entry i is where frame
    // floor(i x totalFrames / 100) starts, interpolated linearly between the
    // samples around it, as a fraction of audioBytes scaled to 0..255. Like
    // LAME, it counts from the first audio frame; ffmpeg seeks by it so.
    static std::array<quint8, 100> toc(const QVector<QPair<qint64, qint64>> &samples,
                                       qint64 totalFrames, qint64 audioBytes);

    // CRC-16/ARC (reflected polynomial 0xA001), continued from crc.
    static quint16 crc16(const char *data, int length, quint16 crc = 0);
};

#endif // HEADERFRAME_H
