#include "level/loudnessscan.h"

#include "analysis/mpg123decoder.h"
#include "format/mpegheader.h"
#include "level/levelmap.h"
#include "level/loudnessmeter.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <thread>

namespace {

constexpr int ReadSize = 256 * 1024;
// Frames the second half decodes before its own: enough for a reservoir of
// 511 bytes at the smallest frames, and for the overlap.
constexpr int LeadFrames = 12;
// Streams shorter than this are not worth a second thread.
constexpr qint64 SplitFrom = 4 * 1024 * 1024;

// One decoder over the bytes [from, to) of the stream made of the ranges,
// dropping the first `skip` frames it decodes.
struct Part
{
    qint64 from = 0;
    qint64 to = 0;
    int skip = 0;
    bool peakOnly = false;
    LoudnessMeter meter;
    QString error;
};

// Reads the ranges' bytes, opening their files as they come.
class RangeReader
{
public:
    // want bytes of the range from at (counted from the range's start).
    bool read(const LoudnessScan::Range &r, qint64 at, qint64 want, char *out)
    {
        if (!r.bytes.isEmpty()) {
            memcpy(out, r.bytes.constData() + at, size_t(want));
            return true;
        }
        if (m_file.fileName() != r.path || !m_file.isOpen()) {
            m_file.close();
            m_file.setFileName(r.path);
            if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
                m_error = r.path + QStringLiteral(": ") + m_file.errorString();
                return false;
            }
        }
        if (!m_file.seek(r.offset + at) || m_file.read(out, want) != want) {
            m_error = r.path + QStringLiteral(": ") + m_file.errorString();
            return false;
        }
        return true;
    }
    QString errorString() const { return m_error; }

private:
    QFile m_file;
    QString m_error;
};

void decodePart(const QVector<LoudnessScan::Range> &ranges, Part &part)
{
    RangeReader reader;
    Mpg123Decoder decoder(Mpg123Decoder::Options{});
    if (!decoder.isValid()) {
        part.error = decoder.errorText();
        return;
    }
    QByteArray buffer(ReadSize, Qt::Uninitialized);
    bool started = false;
    int skip = part.skip;
    auto drain = [&] {
        Mpg123Decoder::Frame frame;
        while (decoder.nextFrame(&frame)) {
            if (!started) {
                part.meter = LoudnessMeter(frame.rate, frame.channels);
                part.meter.setPeakOnly(part.peakOnly);
                started = true;
            }
            // Frames of another rate or channel count belong to something
            // else in the file (an appended stream, junk that looks like one).
            const bool same = frame.rate == part.meter.rate() && frame.channels == part.meter.channels();
            if (skip > 0)
                --skip;
            else if (same)
                part.meter.add(frame.samples, frame.sampleCount);
        }
    };
    qint64 stream = 0; // position in the stream of ranges
    for (const LoudnessScan::Range &r : ranges) {
        const qint64 begin = qMax(part.from, stream);
        const qint64 end = qMin(part.to, stream + r.length);
        for (qint64 at = begin; at < end; at += ReadSize) {
            const qint64 want = qMin<qint64>(ReadSize, end - at);
            if (!reader.read(r, at - stream, want, buffer.data())) {
                part.error = reader.errorString();
                return;
            }
            decoder.feed(buffer.constData(), want);
            drain();
        }
        stream += r.length;
    }
    // The last frame is only given out once the decoder knows it has ended.
    decoder.feed("\0\0\0\0", 4);
    drain();
}

// A frame header at p that the next frame's header confirms.
bool frameAt(const QByteArray &bytes, int p)
{
    const char *d = bytes.constData();
    if (p + MpegHeader::HeaderSize > bytes.size())
        return false;
    const int len = MpegHeader::frameBytes(d + p);
    return len > 0 && p + len + MpegHeader::HeaderSize <= bytes.size()
        && MpegHeader::frameBytes(d + p + len) > 0 && MpegHeader::sameStream(d + p, d + p + len);
}

// The stream position of a frame at or after at, and of the frame up to n
// frames after it (n is set to how many); -1 when there are none.
QPair<qint64, qint64> frameAfter(const QVector<LoudnessScan::Range> &ranges, qint64 at, int &n)
{
    constexpr int Window = 128 * 1024;
    RangeReader reader;
    qint64 stream = 0;
    for (const LoudnessScan::Range &r : ranges) {
        if (at >= stream + r.length) {
            stream += r.length;
            continue;
        }
        const qint64 local = at - stream;
        QByteArray bytes(int(qMin<qint64>(Window, r.length - local)), Qt::Uninitialized);
        if (!reader.read(r, local, bytes.size(), bytes.data()))
            return {-1, -1};
        int p = 0;
        while (p < bytes.size() && !frameAt(bytes, p))
            ++p;
        const int first = p;
        int walked = 0;
        for (; walked < n && frameAt(bytes, p); ++walked)
            p += MpegHeader::frameBytes(bytes.constData() + p);
        n = walked;
        if (p == first || first >= bytes.size())
            return {-1, -1};
        return {at + first, at + p};
    }
    return {-1, -1};
}

} // namespace

LoudnessScan::Result LoudnessScan::measure(const QVector<Range> &ranges, bool peakOnly)
{
    qint64 total = 0;
    for (const Range &r : ranges)
        total += r.length;
    Part first;
    first.to = total;
    first.peakOnly = peakOnly;
    Part second;
    second.peakOnly = peakOnly;
    if (total >= SplitFrom && std::thread::hardware_concurrency() > 1) {
        int lead = LeadFrames;
        const auto split = frameAfter(ranges, total / 2, lead);
        if (split.first > 0 && split.second > 0) {
            second.from = split.first;
            second.to = total;
            second.skip = lead;
            first.to = split.second;
        }
    }
    Result result;
    if (second.to > 0) {
        std::thread helper([&] { decodePart(ranges, second); });
        decodePart(ranges, first);
        helper.join();
    } else {
        decodePart(ranges, first);
    }
    result.error = !first.error.isEmpty() ? first.error : second.error;
    if (!result.error.isEmpty())
        return result;
    first.meter.merge(second.meter);
    if (first.meter.samples() == 0) {
        result.error = QStringLiteral("no audio could be decoded");
        return result;
    }
    result.ok = true;
    result.loudness = peakOnly ? 0 : first.meter.loudness();
    result.peak = first.meter.peak();
    return result;
}

NormalizeChoice NormalizeChoice::choose(double loudness, double peak, double targetLufs)
{
    NormalizeChoice c;
    const double wanted = targetLufs - loudness;
    c.steps = LevelMap::stepsForDecibels(wanted);
    if (peak > 0) {
        // the largest step that keeps the peak at or under full scale
        const int headroom = int(std::floor(4.0 * std::log2(1.0 / peak)));
        if (c.steps > headroom) {
            c.steps = headroom;
            c.limitedByPeak = true;
        }
    }
    c.trackGainDb = wanted - LevelMap::decibelsForSteps(c.steps);
    c.peak = peak * std::pow(2.0, c.steps / 4.0);
    return c;
}
