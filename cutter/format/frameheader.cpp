#include "format/frameheader.h"

#include "format/mpegheader.h"
#include "format/sideinfo.h"

namespace {

inline quint8 byteAt(const char *h, int i)
{
    return static_cast<quint8>(h[i]);
}

} // namespace

FrameHeader FrameHeader::parse(const char *h)
{
    FrameHeader f;
    if (byteAt(h, 0) != 0xFF || (byteAt(h, 1) & 0xE0) != 0xE0)
        return f;
    f.m_versionBits = (byteAt(h, 1) >> 3) & 0x03;     // xxx11xxx of byte 1
    f.m_layerBits = (byteAt(h, 1) >> 1) & 0x03;       // xxxxx11x of byte 1
    f.m_protected = !(byteAt(h, 1) & 0x01);           // xxxxxxx1 of byte 1, 0 = CRC
    f.m_bitRateIndex = byteAt(h, 2) >> 4;             // 1111xxxx of byte 2
    f.m_sampleRateIndex = (byteAt(h, 2) >> 2) & 0x03; // xxxx11xx of byte 2
    f.m_padding = (byteAt(h, 2) >> 1) & 0x01;         // xxxxxx1x of byte 2
    f.m_private = byteAt(h, 2) & 0x01;                // xxxxxxx1 of byte 2
    f.m_channelMode = ChannelMode(byteAt(h, 3) >> 6); // 11xxxxxx of byte 3
    f.m_modeExtension = (byteAt(h, 3) >> 4) & 0x03;   // xx11xxxx of byte 3
    f.m_copyright = (byteAt(h, 3) >> 3) & 0x01;       // xxxx1xxx of byte 3
    f.m_original = (byteAt(h, 3) >> 2) & 0x01;        // xxxxx1xx of byte 3
    f.m_emphasis = byteAt(h, 3) & 0x03;               // xxxxxx11 of byte 3
    return f;
}

QByteArray FrameHeader::toBytes() const
{
    QByteArray h(4, Qt::Uninitialized);
    h[0] = char(0xFF);
    h[1] = char(0xE0 | (m_versionBits << 3) | (m_layerBits << 1) | (m_protected ? 0 : 1));
    h[2] = char((m_bitRateIndex << 4) | (m_sampleRateIndex << 2) | (m_padding << 1) | int(m_private));
    h[3] = char((int(m_channelMode) << 6) | (m_modeExtension << 4) | (m_copyright << 3)
                | (m_original << 2) | m_emphasis);
    return h;
}

int FrameHeader::version() const
{
    return MpegHeader::version(toBytes().constData());
}

int FrameHeader::layer() const
{
    return MpegHeader::layer(toBytes().constData());
}

int FrameHeader::bitRate() const
{
    const QByteArray h = toBytes();
    return int(qMax<qint64>(0, MpegHeader::bitRate(h.constData(), version())));
}

int FrameHeader::sampleRate() const
{
    return isValid() ? int(MpegHeader::sampleRate(toBytes().constData())) : 0;
}

int FrameHeader::frameBytes() const
{
    return MpegHeader::frameBytes(toBytes().constData());
}

int FrameHeader::samplesPerFrame() const
{
    return MpegHeader::samplesPerFrame(toBytes().constData());
}

int FrameHeader::sideInfoSize() const
{
    if (layer() != 3)
        return 0;
    return SideInfo::size(toBytes().constData());
}

bool FrameHeader::sameStream(const FrameHeader &other) const
{
    return m_versionBits == other.m_versionBits && m_layerBits == other.m_layerBits
        && m_sampleRateIndex == other.m_sampleRateIndex;
}

FrameHeader FrameHeader::withBitRateIndex(int index) const
{
    FrameHeader f = *this;
    f.m_bitRateIndex = quint8(index & 0x0F);
    return f;
}

FrameHeader FrameHeader::withPadding(bool on) const
{
    FrameHeader f = *this;
    f.m_padding = on;
    return f;
}
