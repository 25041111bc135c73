#include "analysis/silencefinder.h"

#include "io/bufferedsource.h"
#include "scan/framewalker.h"
#include "format/mpegheader.h"
#include "analysis/mpg123decoder.h"
#include "scan/sourcescan.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// How far above the threshold a frame's side-information bound may lie and
// still be decoded: the bound is no exact level (it is off by about 10 dB
// either way on speech), and a pause must not be missed for it.
constexpr double CandidateMarginDb = 12.0;
// Decoding from the middle of a stream starts early enough that the first
// frame judged has the bytes its bit reservoir points back to (up to 511 of
// main data) and two frames ahead of it for the decoder's overlap: libmpg123
// gives silence for a frame whose reservoir is missing, so a frame decoded
// too early would look silent whatever it holds. The audio of the frames
// decoded ahead is not judged.
constexpr int ReservoirBytes = 511;
constexpr int OverlapFrames = 2;
// Frames decoded around a stretch, as its edges are only roughly known: a
// few at first, and more where the audio is still silent at an edge (the
// bound reads high on noise, so a noisy silence may begin well before the
// side information says).
constexpr qint64 NarrowPad = 2;
constexpr qint64 WidePad = 12;
// Loud-looking frames a stretch may hold and still go on (a click, a breath).
constexpr qint64 BridgeFrames = 3;
// How far below the threshold the bound must lie for a frame to be taken as
// silent without decoding it (the bound reads up to about 10 dB low), and
// how many frames on either side must be as quiet.
constexpr double SureMarginDb = 15.0;
constexpr int SureReach = 2;

enum Verdict { Undecided, Silent, Loud };

// The largest absolute value a Huffman table codes: tables 0-15 without
// linbits, 16-31 with 15 plus their linbits.
constexpr std::array<int, 32> TableMaximum = {
    0, 1, 2, 2, 0, 3, 3, 5, 5, 5, 7, 7, 7, 15, 0, 15,
    16, 18, 22, 30, 78, 270, 1038, 8206,
    30, 46, 78, 142, 270, 526, 2062, 8206,
};

// Reads the side information's bit fields, most significant bit first, from
// a zero-padded copy so that every read is one 64-bit load.
class BitReader
{
public:
    BitReader(const char *data, int size)
    {
        std::memcpy(m_bytes.data(), data, size_t(std::min<int>(size, SideInfoMax)));
    }
    int take(int bits)
    {
        quint64 word = 0;
        for (int i = 0; i < 8; ++i)
            word = (word << 8) | m_bytes[size_t((m_pos >> 3) + i)];
        const int value = int((word << (m_pos & 7)) >> (64 - bits));
        m_pos += bits;
        return value;
    }
    void skip(int bits) { m_pos += bits; }

private:
    static constexpr int SideInfoMax = 32;
    std::array<quint8, SideInfoMax + 8> m_bytes{};
    int m_pos = 0;
};

// Bytes of main data a frame carries: what follows its side information.
int mainDataBytes(const char *frame, int length)
{
    if (MpegHeader::layer(frame) != 3)
        return ReservoirBytes;   // no reservoir in Layers I and II
    const bool mono = (quint8(frame[3]) >> 6) == 3;
    const bool crc = (quint8(frame[1]) & 1) == 0;
    const int side = MpegHeader::version(frame) == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return std::max(0, length - MpegHeader::HeaderSize - (crc ? 2 : 0) - side);
}

// The first frame to feed so that frame `judged` decodes right, given the
// main data sizes of the frames before it (main[k] for frame k, from
// `earliest` on).
template <typename MainBytes>
qint64 leadStart(qint64 judged, qint64 earliest, MainBytes main)
{
    qint64 from = judged;
    int bytes = 0;
    while (from > earliest && (bytes < ReservoirBytes || judged - from < OverlapFrames)) {
        --from;
        if (judged - from > OverlapFrames)
            bytes += main(from);
        else if (judged - from == OverlapFrames)
            bytes = 0;
    }
    return from;
}

} // namespace

SilenceFinder::SilenceFinder(QFile &file, const Settings &settings)
    : m_file(file)
    , m_settings(settings)
    , m_candidateDb(settings.thresholdDb + CandidateMarginDb)
{
}

std::function<void(qint64, qint64, const char *, int)> SilenceFinder::visitor()
{
    return [this](qint64 index, qint64 offset, const char *frame, int length) {
        if (index == 0) {
            // The shortest silence in frames, from the first frame's format.
            const qint64 unit = 1000 * qint64(std::max(1, MpegHeader::samplesPerFrame(frame)));
            m_minFrames = std::max<qint64>(
                1, (m_settings.minSilenceMs * MpegHeader::sampleRate(frame) + unit - 1) / unit);
        }
        see(index, offset, frame, length);
    };
}

double SilenceFinder::levelBound(const char *frame, int length)
{
    if (MpegHeader::layer(frame) != 3)
        return 0.0;
    const bool mpeg1 = MpegHeader::version(frame) == 1;
    const bool mono = (quint8(frame[3]) >> 6) == 3;      // channel mode: xx...... of byte 3
    const bool crc = (quint8(frame[1]) & 1) == 0;        // protection bit: .......x of byte 1
    const int channels = mono ? 1 : 2;
    const int start = MpegHeader::HeaderSize + (crc ? 2 : 0);
    if (length < start + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17)))
        return 0.0;
    BitReader bits(frame + start, length - start);
    // main_data_begin, private bits, and in MPEG-1 the scale factor sharing
    bits.skip(mpeg1 ? 9 + (mono ? 5 : 3) + 4 * channels : 8 + (mono ? 1 : 2));
    double loudest = SilentFrame;
    for (int granule = 0; granule < (mpeg1 ? 2 : 1); ++granule) {
        for (int channel = 0; channel < channels; ++channel) {
            const int part23 = bits.take(12);
            const int bigValues = bits.take(9);
            const int globalGain = bits.take(8);
            bits.skip(mpeg1 ? 4 : 9);                      // scalefac_compress
            int tables[3] = {0, 0, 0};
            if (bits.take(1)) {                            // window switching
                bits.skip(3);                              // block type, mixed blocks
                tables[0] = bits.take(5);
                tables[1] = bits.take(5);
                bits.skip(9);                              // subblock gains
            } else {
                for (int &table : tables)
                    table = bits.take(5);
                bits.skip(7);                              // region counts
            }
            bits.skip(mpeg1 ? 3 : 2);                      // preflag, scalefac_scale, count1 table
            if (part23 == 0)
                continue;
            // Above the big values only 0 and 1 occur; scale factors and
            // subblock gains can only make a value smaller.
            int largest = 1;
            if (bigValues > 0) {
                for (const int table : tables)
                    largest = std::max(largest, TableMaximum[size_t(table)]);
            }
            // x = |i|^(4/3) x 2^((global_gain - 210) / 4), as dB of full scale
            const double db = 20.0 * (4.0 / 3.0) * std::log10(double(largest))
                            + (globalGain - 210) * (20.0 * std::log10(2.0) / 4.0);
            loudest = std::max(loudest, db);
        }
    }
    return loudest;
}

void SilenceFinder::see(qint64 index, qint64 offset, const char *frame, int length)
{
    const qint64 ring = qint64(m_recent.size());
    m_recent[size_t(index % ring)] = {offset, mainDataBytes(frame, length)};
    m_lastSeen = index;
    const bool quiet = levelBound(frame, length) < m_candidateDb;
    if (quiet && m_firstQuiet < 0)
        openStretch(index);
    if (quiet)
        m_lastQuiet = index;
    else if (m_firstQuiet >= 0 && index - m_lastQuiet > BridgeFrames)
        closeStretch();
}

SilenceFinder::Window SilenceFinder::windowFrom(qint64 quiet, qint64 pad) const
{
    const qint64 ring = qint64(m_recent.size());
    Window window;
    const qint64 judged = std::max<qint64>(0, quiet - pad);
    window.frame = leadStart(judged, std::max<qint64>(0, m_lastSeen - ring + 1),
                             [this, ring](qint64 k) { return m_recent[size_t(k % ring)].second; });
    window.offset = m_recent[size_t(window.frame % ring)].first;
    window.judgedFrom = judged - window.frame;
    return window;
}

void SilenceFinder::openStretch(qint64 index)
{
    m_firstQuiet = index;
    m_open.narrow = windowFrom(index, NarrowPad);
    m_open.wide = windowFrom(index, WidePad);
}

void SilenceFinder::closeStretch()
{
    if (m_firstQuiet < 0)
        return;
    // The quiet-looking run may be short of the silence by the pads.
    if (m_lastQuiet - m_firstQuiet + 1 >= m_minFrames - 2 * WidePad) {
        const qint64 narrowEnd = m_lastQuiet + 1 + NarrowPad;
        const qint64 wideEnd = m_lastQuiet + 1 + WidePad;
        // One that overlaps the stretch before joins it, so that no frame is
        // judged twice and no silence is cut in two.
        Stretch *last = m_stretches.isEmpty() ? nullptr : &m_stretches.last();
        if (last && last->wide.frame + last->wide.frames >= m_open.wide.frame + m_open.wide.judgedFrom) {
            last->narrow.frames = narrowEnd - last->narrow.frame;
            last->wide.frames = wideEnd - last->wide.frame;
        } else {
            m_open.narrow.frames = narrowEnd - m_open.narrow.frame;
            m_open.wide.frames = wideEnd - m_open.wide.frame;
            m_stretches.append(m_open);
        }
    }
    m_firstQuiet = -1;
    m_lastQuiet = -1;
}

bool SilenceFinder::find(const SourceScan &scan, QVector<Split> *splits, QString *error)
{
    m_scan = &scan;
    m_decoded = 0;
    splits->clear();
    if (scan.error != 0) {
        *error = tr("the file changed while it was read");
        return false;
    }
    closeStretch();
    for (const Stretch &stretch : qAsConst(m_stretches)) {
        if (!decode(stretch, splits, error))
            return false;
    }
    return true;
}

struct SilenceFinder::Judgement
{
    QVector<qint64> offsets;
    QVector<int> verdicts;   // Verdict per frame of the window
    int judgedFrom = 0;
};

bool SilenceFinder::decode(const Stretch &stretch, QVector<Split> *splits, QString *error)
{
    Judgement judged;
    if (!judge(stretch.narrow, &judged, error))
        return false;
    const int count = judged.verdicts.size();
    const bool silentStart = judged.judgedFrom < count && judged.verdicts.at(judged.judgedFrom) == Silent
        && stretch.narrow.frame + judged.judgedFrom > 0;
    const bool silentEnd = count > 0 && judged.verdicts.last() == Silent
        && stretch.narrow.frame + count < m_scan->frames;
    Window window = stretch.narrow;
    if (silentStart || silentEnd) {
        window = stretch.wide;
        if (!judge(window, &judged, error))
            return false;
    }
    findSilences(window, judged, splits);
    return true;
}

bool SilenceFinder::judge(const Window &window, Judgement *judged, QString *error)
{
    // The window's frames: where they lie, and whether their side
    // information alone already says silence.
    QVector<qint64> &offsets = judged->offsets;
    offsets.clear();
    QVector<int> lengths;
    QVector<int> main;
    QVector<bool> sure;
    BufferedSource source(&m_file);
    FrameWalker frames(source, window.offset, m_scan->reference);
    for (qint64 i = 0; i < window.frames && frames.next(); ++i) {
        offsets << frames.offset();
        lengths << frames.length();
        main << mainDataBytes(frames.data(), frames.length());
        sure << (levelBound(frames.data(), frames.length()) < m_settings.thresholdDb - SureMarginDb);
    }
    const int count = offsets.size();
    const int judgedFrom = int(qMin<qint64>(window.judgedFrom, count));
    judged->judgedFrom = judgedFrom;

    // A frame's audio also holds the end of the frame before it, so only a
    // frame amid sure frames goes undecoded; the rest is decoded in runs.
    QVector<int> &verdicts = judged->verdicts;
    verdicts.fill(Loud, count);
    for (int i = judgedFrom; i < count; ++i) {
        bool amidSure = i >= SureReach && i + SureReach < count;
        for (int j = i - SureReach; amidSure && j <= i + SureReach; ++j)
            amidSure = sure.at(j);
        verdicts[i] = amidSure ? Silent : Undecided;
    }
    const double limit = 32768.0 * 32768.0 * std::pow(10.0, m_settings.thresholdDb / 10.0);
    // Mixed to mono at a quarter of the rate: the level is all that counts.
    Mpg123Decoder::Options options;
    options.mono = true;
    options.downSample = Mpg123Decoder::downSampleFor(m_scan->rate(), 2);
    for (int i = judgedFrom; i < count; ++i) {
        if (verdicts.at(i) != Undecided)
            continue;
        int end = i;
        while (end < count && verdicts.at(end) == Undecided)
            ++end;
        // The window starts early enough for its first judged frame; a run
        // further in gets its own frames ahead.
        const int from = i <= judgedFrom ? 0 : int(leadStart(i, 0, [&main](qint64 k) { return main.at(int(k)); }));
        // A decoder of its own for every run: what it holds from one run
        // would be wrong for the next.
        Mpg123Decoder decoder(options);
        if (!decoder.isValid()) {
            *error = decoder.errorText();
            return false;
        }
        for (int f = from; f < end; ++f) {
            source.fill(offsets.at(f), lengths.at(f));
            if (!decoder.feed(source.data(offsets.at(f)), lengths.at(f))) {
                *error = decoder.errorText();
                return false;
            }
            ++m_decoded;
            Mpg123Decoder::Frame out;
            while (decoder.nextFrame(&out)) {
                const qint64 at = from + out.number;
                const int n = out.sampleCount * out.channels;
                if (at < i || at >= end || n <= 0)
                    continue;
                double power = 0;
                for (int k = 0; k < n; ++k)
                    power += double(out.samples[k]) * out.samples[k];
                verdicts[int(at)] = power / n < limit ? Silent : Loud;
            }
        }
        // A frame the decoder gave nothing for counts as sound.
        for (int f = i; f < end; ++f) {
            if (verdicts.at(f) == Undecided)
                verdicts[f] = Loud;
        }
        i = end;
    }
    return true;
}

void SilenceFinder::findSilences(const Window &window, const Judgement &judged, QVector<Split> *splits) const
{
    const qint64 frameCount = m_scan->frames;
    const int count = judged.verdicts.size();
    int silentFrom = -1;
    for (int i = judged.judgedFrom; i <= count; ++i) {
        if (i < count && judged.verdicts.at(i) == Silent) {
            if (silentFrom < 0)
                silentFrom = i;
            continue;
        }
        // A pause is a pause between sounds: none at the very start or end.
        const qint64 first = window.frame + silentFrom;
        const qint64 end = window.frame + i;
        if (silentFrom >= 0 && first > 0 && end < frameCount && end - first >= m_minFrames) {
            const int middle = silentFrom + (i - silentFrom) / 2;
            Split split;
            split.frame = window.frame + middle;
            split.offset = judged.offsets.at(middle);
            if (splits->isEmpty() || splits->last().frame < split.frame)
                splits->append(split);
        }
        silentFrom = -1;
    }
}
