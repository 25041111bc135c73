#include "level/lamereplaygain.h"

#include "format/headerframe.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int PeakAt = 11;
constexpr int TrackGainAt = 15;
constexpr int TagCrcAt = 34;
// name code: 001 is the track (radio) gain
constexpr quint16 TrackName = 1 << 13;
// originator: 011 is a gain set automatically by a measurement
constexpr quint16 Measured = 3 << 10;
constexpr quint16 Negative = 1 << 9;

// Where the LAME extension starts in the frame, -1 without one.
int extensionAt(const QByteArray &frame)
{
    const HeaderFrameInfo info = HeaderFrame::read(frame.constData(), frame.size());
    if (!info.lame)
        return -1;
    int at = info.tagOffset + 8;
    if (info.flags & HeaderFrameInfo::FramesFlag)
        at += 4;
    if (info.flags & HeaderFrameInfo::BytesFlag)
        at += 4;
    if (info.flags & HeaderFrameInfo::TocFlag)
        at += 100;
    if (info.flags & HeaderFrameInfo::QualityFlag)
        at += 4;
    return at;
}

quint32 readBig(const QByteArray &b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | quint8(b[at + i]);
    return v;
}

void putBig(QByteArray &b, int at, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char(value >> (8 * (bytes - 1 - i)));
}

} // namespace

quint16 LameReplayGain::encodeTrackGain(double db)
{
    const int tenths = std::min(511, int(std::lround(std::abs(db) * 10)));
    return quint16(TrackName | Measured | (db < 0 && tenths > 0 ? Negative : 0) | tenths);
}

double LameReplayGain::decodeGain(quint16 field)
{
    if ((field & 0xE000) == 0)
        return 0;
    const double db = (field & 0x1FF) / 10.0;
    return field & Negative ? -db : db;
}

bool LameReplayGain::write(QByteArray &headerFrame, double trackGainDb, double peak)
{
    const int lame = extensionAt(headerFrame);
    if (lame < 0)
        return false;
    const double scaled = std::clamp(peak, 0.0, 255.0) * double(1 << 23);
    putBig(headerFrame, lame + PeakAt, quint32(std::lround(scaled)), 4);
    putBig(headerFrame, lame + TrackGainAt, encodeTrackGain(trackGainDb), 2);
    putBig(headerFrame, lame + TagCrcAt,
           HeaderFrame::crc16(headerFrame.constData(), lame + TagCrcAt), 2);
    return true;
}

LameReplayGain::Fields LameReplayGain::read(const QByteArray &headerFrame)
{
    Fields f;
    const int lame = extensionAt(headerFrame);
    if (lame < 0)
        return f;
    f.peak = readBig(headerFrame, lame + PeakAt, 4) / double(1 << 23);
    const quint16 gain = quint16(readBig(headerFrame, lame + TrackGainAt, 2));
    f.hasTrackGain = (gain >> 13) == 1;
    f.trackGainDb = decodeGain(gain);
    return f;
}
