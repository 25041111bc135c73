#include "scan/sourcescan.h"

#include "io/cutresult.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "io/bufferedsource.h"
#include "scan/firstframelocator.h"
#include "scan/framewalker.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {

// How far ahead the scan asks for the header it will read, in frames.
constexpr int PrefetchFrames = 32;

HeaderFrameKind kindOf(HeaderFrameInfo::Kind kind)
{
    switch (kind) {
    case HeaderFrameInfo::Kind::Xing: return HeaderFrameKind::Xing;
    case HeaderFrameInfo::Kind::Info: return HeaderFrameKind::Info;
    case HeaderFrameInfo::Kind::Vbri: return HeaderFrameKind::Vbri;
    default:                          return HeaderFrameKind::None;
    }
}

// The first frame, after a tag that 0xFF 0xFB follows: that is taken as a
// header without a look at the rest of it; where it is none, the stream
// starts at the next real frame.
FirstFrameLocator::Result firstFrame(QIODevice *device, BufferedSource &source)
{
    FirstFrameLocator::Result first = FirstFrameLocator::locate(device);
    if (first.found && !MpegHeader::isValid(first.header.constData())) {
        first.offset = FrameWalker::findFrame(source, first.offset + 1, nullptr);
        first.found = first.offset >= 0
            && source.fill(first.offset, MpegHeader::HeaderSize) == MpegHeader::HeaderSize;
        if (first.found)
            first.header = QByteArray(source.data(first.offset), MpegHeader::HeaderSize);
    }
    return first;
}

} // namespace

qint64 SourceScan::msToSample(qint64 ms, qint64 rate)
{
    if (ms <= 0 || rate <= 0)
        return 0;
    // ms x rate overflows 64 bits for very long times: split ms by 1000.
    return (ms / 1000) * rate + (ms % 1000) * rate / 1000;
}

qint64 SourceScan::nearestBoundary(qint64 decoded, int samplesPerFrame)
{
    const qint64 d = samplesPerFrame;
    return decoded >= 0 ? (decoded + d / 2) / d : -((-decoded + d / 2) / d);
}

QString SourceTimeline::kindName() const
{
    switch (kind) {
    case HeaderFrameKind::Xing: return QStringLiteral("Xing");
    case HeaderFrameKind::Info: return QStringLiteral("Info");
    case HeaderFrameKind::Vbri: return QStringLiteral("VBRI");
    default:                    return QStringLiteral("none");
    }
}

SourceScan SourceScan::run(QIODevice *device, const Visitor &visit, const std::atomic<bool> *cancel)
{
    SourceScan scan;
    BufferedSource source(device, BufferedSource::DefaultCapacity, BufferedSource::Access::Blocks);
    const FirstFrameLocator::Result first = firstFrame(device, source);
    scan.tagSize = first.tagSize;
    scan.scanCount = first.scanCount;
    if (!first.found) {
        scan.error = CutResult::FirstFrameNotFound;
        return scan;
    }
    scan.firstOffset = first.offset;
    scan.reference = first.header;
    scan.stream = FrameHeader::parse(first.header);
    if (first.tagSize > 0)
        scan.id3v2 = {0, qMin<qint64>(first.tagSize, first.offset)};
    const qint64 size = device->size();
    if (size >= 128 + first.offset && source.fill(size - 128, 3) == 3
        && std::memcmp(source.data(size - 128), "TAG", 3) == 0)
        scan.id3v1 = {size - 128, 128};
    if (scan.rate() <= 0 || scan.samplesPerFrame() <= 0) {
        scan.error = CutResult::SampleRateError;
        return scan;
    }
    // Room for the checkpoints at once, generously: pages never written to
    // cost no memory, while growing on the way would hold two copies.
    const qint64 smallFrame = qMax(24, scan.stream.frameBytes() / 4);
    scan.m_checkpoints.reserve((size - first.offset) / smallFrame / CheckpointInterval + 1);

    int firstBitRate = -1;
    bool cancelled = false;
    // Counts an audio frame whose header frame and bitrate were seen to.
    auto count = [&](qint64 offset, const char *frame, int length) {
        if (scan.frames % CheckpointInterval == 0) {
            cancelled = cancelled || (cancel && cancel->load(std::memory_order_relaxed));
            scan.m_checkpoints.append(offset);
        }
        if (visit)
            visit(scan.frames, offset, frame, length);
        scan.streamEnd = offset + length;
        ++scan.frames;
    };
    auto see = [&](qint64 offset, const char *frame, int length) {
        if (offset == first.offset && scan.stream.layer() == 3) {
            const HeaderFrameInfo tag = HeaderFrame::read(frame, length);
            if (tag.kind != HeaderFrameInfo::Kind::None) {
                SourceTimeline &t = scan.timeline;
                t.kind = kindOf(tag.kind);
                t.headerFrames = tag.hasFrames() || tag.kind == HeaderFrameInfo::Kind::Vbri ? qint64(tag.frames) : -1;
                t.headerBytes = tag.hasBytes() ? qint64(tag.bytes) : -1;
                t.lame = tag.lame;
                t.delay = tag.delay;
                t.padding = tag.padding;
                scan.headerFrameOffset = offset;
                return;
            }
        }
        // bitrate index: 1111xxxx of byte 2
        const int bitRate = static_cast<quint8>(frame[2]) >> 4;
        if (scan.frames == 0) {
            scan.audioOffset = offset;
            scan.stream = FrameHeader::parse(frame);
            firstBitRate = bitRate;
        } else if (bitRate != firstBitRate) {
            scan.bitRatesDiffer = true;
        }
        count(offset, frame, length);
    };

    // Frames that stand where the one before ends, whole in the read window,
    // are taken straight from it: a few nanoseconds a frame. A header like the
    // one before it (the same sync, stream, bitrate and sampling rate) has the
    // length that one had, give or take its padding, and changes nothing but
    // the count. Anything else (lost sync, another stream, the end of the
    // file) is one step of the frame walker, which knows what to do with it.
    const auto ref1 = quint8(first.header.at(1)) & 0xFE; // sync, version, layer
    const auto ref2 = quint8(first.header.at(2)) & 0x0C; // sampling rate
    quint32 knownHeader = 0;                              // 0: none yet
    int knownLength[2] = {};                              // without and with padding
    qint64 next = first.offset;
    while (!cancelled) {
        const int available = source.fill(next, source.capacity());
        const char *base = source.data(next);
        int at = 0;
        bool plain = true;
        while (at + MpegHeader::HeaderSize <= available) {
            const auto *h = reinterpret_cast<const quint8 *>(base + at);
            const quint32 header = quint32(h[0]) << 16 | quint32(h[1] & 0xFE) << 8 | (h[2] & 0xFC);
            const bool known = header == knownHeader;
            if (!known) {
                const int bitRateIndex = h[2] >> 4;
                if (h[0] != 0xFF || (h[1] & 0xFE) != ref1 || (h[2] & 0x0C) != ref2 || bitRateIndex == 0
                    || bitRateIndex == 15) {
                    plain = false;
                    break;
                }
                char unpadded[MpegHeader::HeaderSize] = {char(h[0]), char(h[1]), char(h[2] & ~0x02), char(h[3])};
                knownLength[0] = MpegHeader::frameBytes(unpadded);
                unpadded[2] = char(h[2] | 0x02);
                knownLength[1] = MpegHeader::frameBytes(unpadded);
                knownHeader = header;
            }
            const int length = knownLength[(h[2] >> 1) & 1];
            if (at + length > available)
                break;
            // Each header says where the next one is: without a look ahead
            // every one of them would wait for memory.
            source.prefetch(next + at + PrefetchFrames * length);
            if (known && scan.frames > 0)
                count(next + at, base + at, length);
            else
                see(next + at, base + at, length);
            at += length;
        }
        next += at;
        if (plain && at > 0 && available == source.capacity())
            continue;
        FrameWalker walker(source, next, first.header);
        if (!walker.next())
            break;
        scan.contiguous = scan.contiguous && (walker.offset() == next || scan.frames == 0);
        see(walker.offset(), walker.data(), walker.length());
        next = walker.offset() + walker.length();
    }
    if (cancelled)
        return SourceScan();
    // Read in blocks, a file that shrank on the way shows only in its size.
    if (source.sourceTruncated() || device->size() < size)
        scan.error = CutResult::SourceChanged;
    return scan;
}

qint64 SourceScan::heardSamples() const
{
    return qMax<qint64>(0, frames * samplesPerFrame() - timeline.leadingTrim() - timeline.trailingTrim());
}

qint64 SourceScan::durationMs() const
{
    return rate() > 0 ? heardSamples() * 1000 / rate() : 0;
}

qint64 SourceScan::checkpointFrame(qint64 frame) const
{
    return std::clamp<qint64>(frame / CheckpointInterval, 0, qMax(0, m_checkpoints.size() - 1))
        * CheckpointInterval;
}

qint64 SourceScan::checkpointOffset(qint64 frame) const
{
    if (m_checkpoints.isEmpty())
        return -1;
    return m_checkpoints.at(int(checkpointFrame(frame) / CheckpointInterval));
}

qint64 SourceScan::offsetOf(BufferedSource &source, qint64 frame) const
{
    if (frame == frames)
        return streamEnd;
    if (frame < 0 || frame > frames)
        return -1;
    const qint64 from = checkpointFrame(frame);
    FrameWalker walker(source, checkpointOffset(frame), reference);
    if (!walker.advance(frame - from + 1))
        return -1;
    return walker.offset();
}

QVector<QPair<qint64, qint64>> SourceScan::tocSamples(qint64 first, qint64 end, qint64 firstOffset) const
{
    QVector<QPair<qint64, qint64>> samples;
    // A few hundred points are plenty for 100 entries.
    const qint64 step = qMax<qint64>(1, (end - first) / CheckpointInterval / 400 + 1);
    for (qint64 k = first / CheckpointInterval + 1; k * CheckpointInterval < end && k < m_checkpoints.size();
         k += step)
        samples.append({k * CheckpointInterval - first, m_checkpoints.at(int(k)) - firstOffset});
    return samples;
}

qint64 SourceScan::frameAt(qint64 ms, int trim) const
{
    if (samplesPerFrame() <= 0)
        return 0;
    const qint64 decoded = msToSample(ms, rate()) + timeline.leadingTrim() - trim;
    return qMax<qint64>(0, nearestBoundary(decoded, samplesPerFrame()));
}

qint64 SourceScan::msOf(qint64 frame, int trim) const
{
    if (rate() <= 0)
        return 0;
    const qint64 heard = qMax<qint64>(0, frame * samplesPerFrame() + trim - timeline.leadingTrim());
    return qint64(__int128(heard) * 1000 / rate());
}
