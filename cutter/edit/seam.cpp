#include "edit/seam.h"

#include "format/frameheader.h"
#include "format/mpegheader.h"
#include "format/sideinfo.h"

#include <cstring>

namespace {

// Room after the frame's own main data, to the end of its area.
int freeBytes(const char *frame, int length)
{
    return SideInfo::mainDataSize(frame, length) + SideInfo::mainDataBegin(frame)
        - SideInfo::ownMainData(frame);
}

// The frame with the smallest larger bitrate index that frees `needed` bytes.
bool grow(QByteArray &frame, int needed)
{
    const FrameHeader header = FrameHeader::parse(frame);
    for (int index = header.bitRateIndex() + 1; index <= 14; ++index) {
        const QByteArray bytes = header.withBitRateIndex(index).toBytes();
        const int length = MpegHeader::frameBytes(bytes.constData());
        if (length <= frame.size())
            continue;
        QByteArray grown = frame;
        grown.replace(0, MpegHeader::HeaderSize, bytes);
        grown.append(QByteArray(length - frame.size(), '\0'));
        if (freeBytes(grown.constData(), grown.size()) >= needed) {
            SideInfo::writeCrc(grown.data());
            frame = grown;
            return true;
        }
    }
    return false;
}

} // namespace

int Seam::carry(QVector<QByteArray> &frames, const QByteArray &carried)
{
    if (carried.isEmpty() || frames.isEmpty())
        return frames.size();
    QByteArray &last = frames.last();
    if (MpegHeader::layer(last.constData()) != 3)
        return frames.size();
    if (freeBytes(last.constData(), last.size()) < carried.size() && !grow(last, carried.size()))
        return -1;
    // The end of the stream, frame by frame from the last one back.
    int missing = carried.size();
    int changed = frames.size();
    for (int i = frames.size() - 1; i >= 0 && missing > 0; --i) {
        QByteArray &frame = frames[i];
        const int area = SideInfo::mainDataSize(frame.constData(), frame.size());
        const int take = qMin(area, missing);
        std::memcpy(frame.data() + frame.size() - take, carried.constData() + missing - take, size_t(take));
        missing -= take;
        changed = i;
    }
    return missing > 0 ? -1 : changed;
}
