#include "scan/mp3fileinfo.h"

#include "format/mpegheader.h"
#include "scan/sourcescan.h"

#include <QFile>

Mp3FileInfo Mp3FileInfo::read(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Mp3FileInfo();
    return fromScan(SourceScan::run(&file));
}

Mp3FileInfo Mp3FileInfo::fromScan(const SourceScan &scan)
{
    Mp3FileInfo info;
    if (scan.firstOffset < 0 || scan.frames == 0)
        return info;
    info.found = true;
    info.tagSize = scan.tagSize;
    info.firstFrameOffset = scan.firstOffset;
    const QByteArray header = scan.stream.toBytes();
    const char *h = header.constData();
    info.version = MpegHeader::version(h);
    info.layer = MpegHeader::layer(h);
    // The designed format text numbers MPEG-2.5 as version 3; people know it
    // by its name.
    info.format = MpegHeader::formatText(h);
    if (info.version == 3)
        info.format.replace(QStringLiteral("MPEG-3"), QStringLiteral("MPEG-2.5"));
    info.bitRate = MpegHeader::bitRate(h, info.version);
    info.sampleRate = scan.rate();
    info.frames = scan.frames;
    info.durationMs = scan.durationMs();
    info.vbr = scan.bitRatesDiffer;
    info.encoderDelay = scan.timeline.lame ? scan.timeline.delay : 0;
    info.encoderPadding = scan.timeline.lame ? scan.timeline.padding : 0;
    info.headerFrame = scan.timeline.kindName();
    info.headerFrames = scan.timeline.headerFrames;
    info.headerBytes = scan.timeline.headerBytes;
    info.streamEnd = scan.streamEnd;
    return info;
}
