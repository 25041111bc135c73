#include "format/silentframe.h"

#include "format/headerframe.h"
#include "format/mpegheader.h"

namespace {

inline quint8 byteAt(const char *h, int i)
{
    return static_cast<quint8>(h[i]);
}

// channel mode: 11xxxxxx of byte 3, 11 is single channel
inline bool isMono(const char *h) { return (byteAt(h, 3) >> 6) == 3; }

} // namespace

bool SilentFrame::isProtected(const char *header)
{
    // protection bit: xxxxxxx1 of byte 1, 0 means protected
    return (byteAt(header, 1) & 0x01) == 0;
}

int SilentFrame::sideInfoSize(const char *header)
{
    if (MpegHeader::version(header) == 1)
        return isMono(header) ? 17 : 32;
    return isMono(header) ? 9 : 17;
}

int SilentFrame::maxMainDataBegin(const char *header)
{
    return MpegHeader::version(header) == 1 ? 511 : 255;
}

int SilentFrame::mainDataBegin(const char *frame)
{
    const char *side = frame + MpegHeader::HeaderSize + (isProtected(frame) ? 2 : 0);
    if (MpegHeader::version(frame) == 1)
        return (byteAt(side, 0) << 1) | (byteAt(side, 1) >> 7);
    return byteAt(side, 0);
}

int SilentFrame::mainDataSize(const char *frame, int frameLength)
{
    return frameLength - MpegHeader::HeaderSize - (isProtected(frame) ? 2 : 0)
        - sideInfoSize(frame);
}

QByteArray SilentFrame::blank(const QByteArray &reference, int minLength)
{
    if (reference.size() < MpegHeader::HeaderSize || !MpegHeader::isValid(reference.constData())
        || MpegHeader::layer(reference.constData()) != 3)
        return QByteArray();
    char header[4] = {reference[0], reference[1], 0, reference[3]};
    for (int index = 1; index <= 14; ++index) {
        // bitrate index 1111xxxx, sampling index and private bit kept, padding 0
        header[2] = char((index << 4) | (byteAt(reference.constData(), 2) & 0x0D));
        const int length = MpegHeader::frameBytes(header);
        if (length >= minLength) {
            QByteArray frame(length, '\0');
            frame.replace(0, MpegHeader::HeaderSize, header, MpegHeader::HeaderSize);
            return frame;
        }
    }
    return QByteArray();
}

void SilentFrame::writeCrc(QByteArray &frame)
{
    if (!isProtected(frame.constData()))
        return;
    const quint16 crc = HeaderFrame::frameCrc(frame.constData());
    frame[4] = char(crc >> 8);
    frame[5] = char(crc & 0xFF);
}

QByteArray SilentFrame::build(const QByteArray &reference, const QByteArray &tail)
{
    if (reference.size() < MpegHeader::HeaderSize
        || tail.size() > maxMainDataBegin(reference.constData()))
        return QByteArray();
    const char *h = reference.constData();
    const int overhead = MpegHeader::HeaderSize + (isProtected(h) ? 2 : 0) + sideInfoSize(h);
    QByteArray frame = blank(reference, overhead + tail.size());
    if (frame.isEmpty())
        return frame;
    frame.replace(frame.size() - tail.size(), tail.size(), tail);
    writeCrc(frame);
    return frame;
}
