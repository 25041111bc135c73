#ifndef FRAMEHEADER_H
#define FRAMEHEADER_H

#include <QByteArray>
#include <QtGlobal>

// The four bytes of an MPEG audio frame header, decoded into their fields.
// A value type: parse it from the bytes where they stand, compare it, change a
// field and turn it back into bytes. Arithmetic that needs only the bytes
// stays in MpegHeader; this adds the fields the cut has to keep when it writes
// frames of its own (channel mode, protection, the flags).
class FrameHeader
{
public:
    enum ChannelMode { Stereo = 0, JointStereo = 1, DualChannel = 2, Mono = 3 };

    FrameHeader() = default;
    // Reads exactly 4 bytes.
    static FrameHeader parse(const char *h);
    static FrameHeader parse(const QByteArray &h) { return h.size() >= 4 ? parse(h.constData()) : FrameHeader(); }

    bool isValid() const { return frameBytes() > 0; }
    // Version code: 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5, 4 reserved.
    int version() const;
    // 1, 2, 3, or -1 for the reserved layer bits.
    int layer() const;
    bool isProtected() const { return m_protected; }
    int bitRateIndex() const { return m_bitRateIndex; }
    // kbit/s; 0 for free format and index 15.
    int bitRate() const;
    int sampleRateIndex() const { return m_sampleRateIndex; }
    // Hz; 0 when not valid.
    int sampleRate() const;
    bool isPadded() const { return m_padding; }
    bool privateBit() const { return m_private; }
    ChannelMode channelMode() const { return m_channelMode; }
    int channels() const { return m_channelMode == Mono ? 1 : 2; }
    int modeExtension() const { return m_modeExtension; }
    bool isCopyright() const { return m_copyright; }
    bool isOriginal() const { return m_original; }
    int emphasis() const { return m_emphasis; }

    int frameBytes() const;
    int samplesPerFrame() const;
    // Layer III side information: 32 (MPEG-1 stereo), 17 (MPEG-1 mono,
    // MPEG-2/2.5 stereo) or 9 bytes (MPEG-2/2.5 mono); 0 for other layers.
    int sideInfoSize() const;
    // Where the side information starts: after the header and its CRC.
    int sideInfoOffset() const { return m_protected ? 6 : 4; }
    // Same version, layer and sampling rate: one stream.
    bool sameStream(const FrameHeader &other) const;

    FrameHeader withBitRateIndex(int index) const;
    FrameHeader withPadding(bool on) const;
    QByteArray toBytes() const;

    bool operator==(const FrameHeader &o) const { return toBytes() == o.toBytes(); }
    bool operator!=(const FrameHeader &o) const { return !(*this == o); }

private:
    quint8 m_versionBits = 1;      // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    quint8 m_layerBits = 0;        // 1 Layer III, 2 Layer II, 3 Layer I, 0 reserved
    bool m_protected = false;      // a CRC follows the header
    quint8 m_bitRateIndex = 0;
    quint8 m_sampleRateIndex = 3;
    bool m_padding = false;
    bool m_private = false;
    ChannelMode m_channelMode = Stereo;
    quint8 m_modeExtension = 0;
    bool m_copyright = false;
    bool m_original = false;
    quint8 m_emphasis = 0;
};

#endif // FRAMEHEADER_H
