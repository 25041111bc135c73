#include "scan/mp3fileinfo.h"

#include "io/bufferedsource.h"
#include "edit/cutplanner.h"
#include "scan/firstframelocator.h"
#include "scan/framewalker.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"

#include <QFile>

namespace {

QString kindName(HeaderFrameInfo::Kind kind)
{
    switch (kind) {
    case HeaderFrameInfo::Kind::Xing: return QStringLiteral("Xing");
    case HeaderFrameInfo::Kind::Info: return QStringLiteral("Info");
    case HeaderFrameInfo::Kind::Vbri: return QStringLiteral("VBRI");
    default:                          return QStringLiteral("none");
    }
}

} // namespace

Mp3FileInfo Mp3FileInfo::read(const QString &fileName)
{
    Mp3FileInfo info;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return info;
    const FirstFrameLocator::Result first = FirstFrameLocator::locate(&file);
    if (!first.found)
        return info;
    info.tagSize = first.tagSize;
    info.firstFrameOffset = first.offset;

    BufferedSource source(&file);
    FrameWalker walker(source, first.offset, first.header);
    int firstBitRateIndex = -1;
    qint64 samples = 0;
    bool lame = false;
    while (walker.next()) {
        const char *h = walker.data();
        const int bitRateIndex = static_cast<quint8>(h[2]) >> 4;
        if (walker.offset() == first.offset) {
            const HeaderFrameInfo tag = HeaderFrame::read(h, walker.length());
            if (tag.kind != HeaderFrameInfo::Kind::None) {
                info.headerFrame = kindName(tag.kind);
                info.headerFrames = tag.hasFrames() || tag.kind == HeaderFrameInfo::Kind::Vbri ? qint64(tag.frames) : -1;
                info.headerBytes = tag.hasBytes() ? qint64(tag.bytes) : -1;
                lame = tag.lame;
                info.encoderDelay = tag.lame ? tag.delay : 0;
                info.encoderPadding = tag.lame ? tag.padding : 0;
                continue;
            }
        }
        if (info.frames == 0) {
            info.version = MpegHeader::version(h);
            info.layer = MpegHeader::layer(h);
            info.format = MpegHeader::formatText(h);
            info.bitRate = MpegHeader::bitRate(h, info.version);
            info.sampleRate = MpegHeader::sampleRate(h);
            firstBitRateIndex = bitRateIndex;
            samples = MpegHeader::samplesPerFrame(h);
        } else if (bitRateIndex != firstBitRateIndex) {
            info.vbr = true;
        }
        info.streamEnd = walker.offset() + walker.length();
        ++info.frames;
    }
    if (info.frames == 0)
        return info;
    info.found = true;
    qint64 heard = info.frames * samples;
    if (lame)
        heard -= info.encoderDelay + qMax(info.encoderPadding, SourceTimeline::DecoderDelay);
    info.durationMs = qMax<qint64>(0, heard) * 1000 / info.sampleRate;
    return info;
}
