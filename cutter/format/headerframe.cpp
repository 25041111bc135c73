#include "format/headerframe.h"

#include "format/mpegheader.h"
#include "format/sideinfo.h"
#include "format/silentframe.h"

#include <algorithm>
#include <limits>

namespace {

// CRC-16/ARC, one byte at a time: reflected polynomial 0x8005 (0xA001).
constexpr std::array<quint16, 256> buildArcTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        table[i] = crc;
    }
    return table;
}

static constexpr std::array<quint16, 256> ArcTable = buildArcTable();

inline quint8 byteAt(const char *p, int i)
{
    return static_cast<quint8>(p[i]);
}

inline quint32 readBig32(const char *p)
{
    return quint32(byteAt(p, 0)) << 24 | quint32(byteAt(p, 1)) << 16
        | quint32(byteAt(p, 2)) << 8 | byteAt(p, 3);
}

inline void putBig(QByteArray &out, int at, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + i] = char(value >> (8 * (bytes - 1 - i)));
}

bool isTagName(const char *p)
{
    return qstrncmp(p, "Xing", 4) == 0 || qstrncmp(p, "Info", 4) == 0;
}

// LAME, and ffmpeg's Lavc/Lavf, start the extension with a printable name.
bool looksLikeEncoderName(const char *p)
{
    for (int i = 0; i < 4; ++i) {
        if (byteAt(p, i) < 0x20 || byteAt(p, i) > 0x7E)
            return false;
    }
    return true;
}

void readLame(const char *frame, int at, HeaderFrameInfo &info)
{
    const char *lame = frame + at;
    info.lame = true;
    info.encoder = QByteArray(lame, 9);
    // delay and padding: 12 bits each in bytes 21..23
    const quint32 trims = quint32(byteAt(lame, 21)) << 16 | quint32(byteAt(lame, 22)) << 8
        | byteAt(lame, 23);
    info.delay = int(trims >> 12);
    info.padding = int(trims & 0xFFF);
    info.musicLength = readBig32(lame + 28);
    info.musicCrc = quint16(byteAt(lame, 32) << 8 | byteAt(lame, 33));
    info.tagCrc = quint16(byteAt(lame, 34) << 8 | byteAt(lame, 35));
    info.tagCrcRight = HeaderFrame::crc16(frame, at + 34) == info.tagCrc;
}

// Fields of a Xing/Info tag at tag; false when they run past the frame.
bool readXing(const char *frame, int tag, int limit, HeaderFrameInfo &info)
{
    int at = tag + 8;
    if (at > limit)
        return false;
    info.flags = readBig32(frame + tag + 4);
    auto field = [&](quint32 flag, int size) {
        if (!(info.flags & flag))
            return -1;
        const int start = at;
        at += size;
        return at <= limit ? start : -2;
    };
    const int frames = field(HeaderFrameInfo::FramesFlag, 4);
    const int bytes = field(HeaderFrameInfo::BytesFlag, 4);
    const int toc = field(HeaderFrameInfo::TocFlag, 100);
    const int quality = field(HeaderFrameInfo::QualityFlag, 4);
    if (frames == -2 || bytes == -2 || toc == -2 || quality == -2)
        return false;
    if (frames >= 0)
        info.frames = readBig32(frame + frames);
    if (bytes >= 0)
        info.bytes = readBig32(frame + bytes);
    if (toc >= 0)
        std::copy_n(reinterpret_cast<const quint8 *>(frame + toc), 100, info.toc.begin());
    if (quality >= 0)
        info.quality = readBig32(frame + quality);
    if (at + HeaderFrame::LameSize <= limit && looksLikeEncoderName(frame + at))
        readLame(frame, at, info);
    return true;
}

// Fraunhofer's tag: always 32 bytes after the header's 4.
bool readVbri(const char *frame, int limit, HeaderFrameInfo &info)
{
    constexpr int At = 36;
    // "VBRI", version 2, delay 2, quality 2, bytes 4, frames 4
    if (At + 18 > limit || qstrncmp(frame + At, "VBRI", 4) != 0)
        return false;
    info.kind = HeaderFrameInfo::Kind::Vbri;
    info.tagOffset = At;
    info.flags = HeaderFrameInfo::FramesFlag | HeaderFrameInfo::BytesFlag;
    info.bytes = readBig32(frame + At + 10);
    info.frames = readBig32(frame + At + 14);
    return true;
}

} // namespace

HeaderFrameInfo HeaderFrame::read(const char *frame, int length)
{
    HeaderFrameInfo info;
    if (length < MpegHeader::HeaderSize || !MpegHeader::isValid(frame)
        || MpegHeader::layer(frame) != 3)
        return info;
    const int limit = std::min(length, MpegHeader::frameBytes(frame));
    const int side = SideInfo::size(frame);
    // LAME writes the tag right after the side information even in a
    // protected frame; other writers leave room for the CRC.
    for (const int tag : {4 + side, 6 + side}) {
        if (tag + 4 > limit || !isTagName(frame + tag))
            continue;
        HeaderFrameInfo found;
        if (!readXing(frame, tag, limit, found))
            continue;
        found.kind = frame[tag] == 'X' ? HeaderFrameInfo::Kind::Xing : HeaderFrameInfo::Kind::Info;
        found.tagOffset = tag;
        return found;
    }
    readVbri(frame, limit, info);
    return info;
}

int HeaderFrame::length(const QByteArray &reference)
{
    if (reference.size() < MpegHeader::HeaderSize)
        return 0;
    const int tag = 4 + SideInfo::size(reference.constData());
    return SilentFrame::blank(reference, tag + XingSize + LameSize).size();
}

QByteArray HeaderFrame::build(const Params &p)
{
    if (p.reference.size() < MpegHeader::HeaderSize)
        return QByteArray();
    const int tag = 4 + SideInfo::size(p.reference.constData());
    QByteArray frame = SilentFrame::blank(p.reference, tag + XingSize + LameSize);
    if (frame.isEmpty())
        return frame;
    const quint32 bytes = quint32(std::min<quint64>(frame.size() + p.audioBytes,
                                                    std::numeric_limits<quint32>::max()));
    frame.replace(tag, 4, p.vbr ? "Xing" : "Info", 4);
    putBig(frame, tag + 4, HeaderFrameInfo::FramesFlag | HeaderFrameInfo::BytesFlag
           | HeaderFrameInfo::TocFlag | HeaderFrameInfo::QualityFlag, 4);
    putBig(frame, tag + 8, p.frames, 4);
    putBig(frame, tag + 12, bytes, 4);
    std::copy(p.toc.begin(), p.toc.end(), frame.begin() + tag + 16);
    // quality (4 bytes) stays 0

    const int lame = tag + XingSize;
    frame.replace(lame, 9, p.encoder.leftJustified(9, ' ', true));
    // tag revision 0; VBR method 1 is CBR, 0 leaves it unknown
    frame[lame + 9] = char(p.vbr ? 0x00 : 0x01);
    const quint32 delay = quint32(std::clamp(p.delay, 0, 4095));
    const quint32 padding = quint32(std::clamp(p.padding, 0, 4095));
    putBig(frame, lame + 21, delay << 12 | padding, 3);
    putBig(frame, lame + 28, bytes, 4);
    putBig(frame, lame + 32, p.musicCrc, 2);

    // The frame CRC covers the side information, which the tag's first two
    // bytes overlap in a protected frame; the tag CRC covers the frame CRC.
    SideInfo::writeCrc(frame.data());
    putBig(frame, lame + 34, crc16(frame.constData(), lame + 34), 2);
    return frame;
}

std::array<quint8, 100> HeaderFrame::toc(const QVector<QPair<qint64, qint64>> &samples,
                                          qint64 totalFrames, qint64 audioBytes)
{
    std::array<quint8, 100> table{};
    if (totalFrames <= 0 || audioBytes <= 0)
        return table;
    QVector<QPair<qint64, qint64>> points;
    points.reserve(samples.size() + 2);
    points.append({0, 0});
    for (const auto &s : samples) {
        if (s.first > points.last().first && s.first < totalFrames)
            points.append(s);
    }
    points.append({totalFrames, audioBytes});

    int next = 1; // the first point after the wanted frame
    for (int i = 0; i < 100; ++i) {
        const qint64 frame = i * totalFrames / 100;
        while (points[next].first <= frame && next + 1 < points.size())
            ++next;
        const auto &a = points[next - 1];
        const auto &b = points[next];
        // in doubles: byte offset x frame count can pass 64 bits
        const double offset = double(a.second)
            + double(b.second - a.second) * double(frame - a.first) / double(b.first - a.first);
        const double position = offset * 256.0 / double(audioBytes);
        table[i] = quint8(std::clamp(int(position), 0, 255));
    }
    return table;
}

quint16 HeaderFrame::crc16(const char *data, int length, quint16 crc)
{
    for (int i = 0; i < length; ++i)
        crc = quint16((crc >> 8) ^ ArcTable[(crc ^ byteAt(data, i)) & 0xFF]);
    return crc;
}
