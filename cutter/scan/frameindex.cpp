#include "scan/frameindex.h"

#include "io/bufferedsource.h"
#include "scan/firstframelocator.h"
#include "scan/framewalker.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"

#include <QFile>

void FrameIndex::readInfoTag(const char *frame, int length)
{
    const HeaderFrameInfo info = HeaderFrame::read(frame, length);
    if (info.kind == HeaderFrameInfo::Kind::None)
        return;
    infoFrame = true;
    if (info.lame) {
        encoderDelay = info.delay;
        encoderPadding = info.padding;
    }
}

FrameIndex FrameIndex::build(const QString &fileName, const std::atomic<bool> *cancel)
{
    FrameIndex index;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        index.error = file.errorString();
        return index;
    }
    const FirstFrameLocator::Result first = FirstFrameLocator::locate(&file);
    if (!first.found) {
        index.error = QStringLiteral("no MPEG audio frame found");
        return index;
    }
    index.header = first.header;
    index.samplesPerFrame = MpegHeader::samplesPerFrame(first.header.constData());
    index.sampleRate = MpegHeader::sampleRate(first.header.constData());

    BufferedSource source(&file);
    FrameWalker walker(source, first.offset, first.header);
    while (walker.next()) {
        if (index.frames == 0)
            index.readInfoTag(walker.data(), walker.length());
        if (index.frames % CheckpointInterval == 0) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return FrameIndex();
            index.m_checkpoints.append(walker.offset());
        }
        ++index.frames;
    }
    index.found = index.frames > 0;
    if (!index.found)
        index.error = QStringLiteral("no MPEG audio frame found");
    return index;
}
