#include "mp3fileinfo.h"

#include "bufferedsource.h"
#include "firstframelocator.h"
#include "framewalker.h"
#include "mpegheader.h"

#include <QFile>

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

    BufferedSource source(&file);
    FrameWalker walker(source, first.offset, first.header);
    int firstBitRateIndex = -1;
    qint64 samples = 0;
    while (walker.next()) {
        const char *h = walker.data();
        const int bitRateIndex = static_cast<quint8>(h[2]) >> 4;
        if (info.frames == 0) {
            info.version = MpegHeader::version(h);
            info.layer = MpegHeader::layer(h);
            info.format = MpegHeader::formatText(h);
            info.bitRate = MpegHeader::bitRate(h, info.version);
            info.sampleRate = MpegHeader::sampleRate(h);
            info.firstFrameOffset = walker.offset();
            firstBitRateIndex = bitRateIndex;
            samples = MpegHeader::samplesPerFrame(h);
        } else if (bitRateIndex != firstBitRateIndex) {
            info.vbr = true;
        }
        ++info.frames;
    }
    if (info.frames == 0)
        return info;
    info.found = true;
    info.durationMs = info.frames * samples * 1000 / info.sampleRate;
    return info;
}
