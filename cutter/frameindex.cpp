#include "frameindex.h"

#include "bufferedsource.h"
#include "firstframelocator.h"
#include "framewalker.h"
#include "mpegheader.h"

#include <QFile>

#include <cstring>

namespace {

quint32 bigEndian32(const char *p)
{
    const auto *u = reinterpret_cast<const quint8 *>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | u[3];
}

// Bytes of Layer III side information after the header.
int sideInfoSize(const char *h)
{
    const bool mono = (quint8(h[3]) >> 6) == 3;  // channel mode: 11xxxxxx of byte 3
    if (MpegHeader::version(h) == 1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}

} // namespace

void FrameIndex::readInfoTag(const char *frame, int length)
{
    if (MpegHeader::layer(frame) != 3)
        return;
    const int side = sideInfoSize(frame);
    // LAME writes the tag right after the side information even in a frame
    // with a CRC; other encoders leave room for the CRC.
    int at = -1;
    for (const int candidate : {4 + side, 6 + side}) {
        if (candidate + 8 <= length && (std::memcmp(frame + candidate, "Xing", 4) == 0
                                        || std::memcmp(frame + candidate, "Info", 4) == 0)) {
            at = candidate;
            break;
        }
    }
    if (at < 0)
        return;
    infoFrame = true;
    const quint32 flags = bigEndian32(frame + at + 4);
    int lame = at + 8;
    lame += (flags & 1) ? 4 : 0;    // frame count
    lame += (flags & 2) ? 4 : 0;    // byte count
    lame += (flags & 4) ? 100 : 0;  // TOC
    lame += (flags & 8) ? 4 : 0;    // quality
    if (lame + 24 > length)
        return;
    // An encoder name such as "LAME3.100" or "Lavc" opens the extension.
    for (int i = 0; i < 4; ++i) {
        const char c = frame[lame + i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return;
    }
    const auto *u = reinterpret_cast<const quint8 *>(frame + lame);
    encoderDelay = u[21] << 4 | u[22] >> 4;       // 12 bits from byte 21
    encoderPadding = (u[22] & 0x0F) << 8 | u[23];  // the 12 bits after them
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
