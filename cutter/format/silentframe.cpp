#include "format/silentframe.h"

#include "format/mpegheader.h"
#include "format/sideinfo.h"

namespace {

inline quint8 byteAt(const char *h, int i)
{
    return static_cast<quint8>(h[i]);
}

} // namespace

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

QByteArray SilentFrame::build(const QByteArray &reference, const QByteArray &tail)
{
    if (reference.size() < MpegHeader::HeaderSize
        || tail.size() > SideInfo::maxMainDataBegin(reference.constData()))
        return QByteArray();
    const char *h = reference.constData();
    const int overhead = SideInfo::offset(h) + SideInfo::size(h);
    QByteArray frame = blank(reference, overhead + tail.size());
    if (frame.isEmpty())
        return frame;
    frame.replace(frame.size() - tail.size(), tail.size(), tail);
    SideInfo::writeCrc(frame.data());
    return frame;
}
