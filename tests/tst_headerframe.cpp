#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "format/sideinfo.h"
#include "format/silentframe.h"
#include "testfiles.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <mpg123.h>

// The header frame and the silent frame, judged by decoders not written here:
// ffmpeg and libmpg123 on files that LAME encodes from a generated signal.

using Frames = QVector<QPair<int, int>>; // offset, length
using Samples = QVector<QPair<qint64, qint64>>;

namespace {

// Whole frames from offset 0 to the first byte that starts no frame.
Frames walk(const QByteArray &mp3)
{
    Frames frames;
    int at = 0;
    while (at + 4 <= mp3.size()) {
        const int length = MpegHeader::frameBytes(mp3.constData() + at);
        if (length == 0 || at + length > mp3.size())
            break;
        frames.append({at, length});
        at += length;
    }
    return frames;
}

// Bitwise CRC-16 in the textbook form, independent of the table-driven code.
quint16 crcBitwise(const QByteArray &data, quint16 crc, bool reflected)
{
    for (const char c : data) {
        for (int bit = 0; bit < 8; ++bit) {
            const int in = reflected ? (quint8(c) >> bit) & 1 : (quint8(c) >> (7 - bit)) & 1;
            const int top = reflected ? crc & 1 : crc >> 15;
            crc = reflected ? quint16(crc >> 1) : quint16(crc << 1);
            if (top ^ in)
                crc ^= reflected ? 0xA001 : 0x8005;
        }
    }
    return crc;
}

QByteArray run(const QString &program, const QStringList &args, QByteArray *errors = nullptr)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    if (errors)
        *errors = process.readAllStandardError();
    return process.readAllStandardOutput();
}

// Decoded 16-bit samples; gapless trims the LAME delay and padding.
QByteArray mpg123Decode(const QString &path, bool gapless)
{
    int error = 0;
    mpg123_handle *handle = mpg123_new(nullptr, &error);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(handle, gapless ? MPG123_ADD_FLAGS : MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(handle);
    for (const long rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        mpg123_format(handle, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    QByteArray pcm;
    if (mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK) {
        unsigned char buffer[16384];
        size_t done = 0;
        int result = MPG123_OK;
        do {
            result = mpg123_read(handle, buffer, sizeof buffer, &done);
            pcm.append(reinterpret_cast<const char *>(buffer), int(done));
        } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
    }
    mpg123_delete(handle);
    return pcm;
}

QByteArray ffmpegDecode(const QString &path, QByteArray *errors = nullptr)
{
    return run("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"}, errors);
}

QByteArray ffprobeDuration(const QString &path)
{
    return run("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                           path}).trimmed();
}

QByteArray headerBytes(int version, int rateIndex, bool mono, bool crc)
{
    static const quint8 versionBits[] = {0, 0x18, 0x10, 0x00};
    const char h[4] = {char(0xFF), char(0xE2 | versionBits[version] | (crc ? 0 : 1)),
                       char(0x90 | rateIndex << 2), char(mono ? 0xC0 : 0x40)};
    return QByteArray(h, 4);
}

} // namespace

class TestHeaderFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void crcs_data();
    void crcs();
    void buildReadsBack_data();
    void buildReadsBack();
    void toc_data();
    void toc();
    void decodersHonourRebuiltHeader_data();
    void decodersHonourRebuiltHeader();
    void silentFrameCarriesReservoir_data();
    void silentFrameCarriesReservoir();

private:
    // A 3 s tone in pink noise at rate Hz, encoded by lame with args.
    QString encode(int rate, int channels, const QStringList &lameArgs);
    QTemporaryDir m_dir;
};

void TestHeaderFrame::initTestCase()
{
    if (QStandardPaths::findExecutable("lame").isEmpty()
        || QStandardPaths::findExecutable("ffmpeg").isEmpty())
        QSKIP("needs lame and ffmpeg (scripts/install-deps.sh)");
    QVERIFY(m_dir.isValid());
}

QString TestHeaderFrame::encode(int rate, int channels, const QStringList &lameArgs)
{
    const QString name = QStringLiteral("%1_%2_%3").arg(rate).arg(channels).arg(lameArgs.join("")
                                                                                 .remove(' '));
    const QString wav = m_dir.filePath(name + ".wav");
    const QString mp3 = m_dir.filePath(name + ".mp3");
    const QString r = QString::number(rate);
    run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=f=440:d=3:r=" + r, "-f", "lavfi",
                   "-i", "anoisesrc=d=3:c=pink:a=0.3:seed=7:r=" + r, "-filter_complex",
                   "amix=inputs=2", "-ac", QString::number(channels), "-y", wav});
    run("lame", QStringList{"--quiet"} + lameArgs + QStringList{wav, mp3});
    return mp3;
}

void TestHeaderFrame::crcs_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("lame -p") << QByteArray("crc_protected.mp3");
}

void TestHeaderFrame::crcs()
{
    QFETCH(QByteArray, file);
    const QByteArray check("123456789");
    QCOMPARE(HeaderFrame::crc16(check.constData(), check.size()), quint16(0xBB3D));
    QCOMPARE(HeaderFrame::crc16(check.constData() + 4, 5, HeaderFrame::crc16(check.constData(), 4)),
             quint16(0xBB3D));
    QCOMPARE(crcBitwise(check, 0xFFFF, false), quint16(0xAEE7));

    // Every frame LAME wrote, its header frame included, carries the CRC
    // SideInfo::crc computes, and its LAME tag CRC reads as right.
    const QByteArray mp3 = readAll(fixturePath(file));
    const Frames frames = walk(mp3);
    QVERIFY(frames.size() > 10);
    for (const auto &f : frames) {
        const char *p = mp3.constData() + f.first;
        const int side = SideInfo::size(p);
        QCOMPARE(SideInfo::crc(p),
                 crcBitwise(mp3.mid(f.first + 2, 2) + mp3.mid(f.first + 6, side), 0xFFFF, false));
        QCOMPARE(SideInfo::crc(p), quint16(quint8(p[4]) << 8 | quint8(p[5])));
    }
    const HeaderFrameInfo info = HeaderFrame::read(mp3.constData(), mp3.size());
    QCOMPARE(int(info.kind), int(HeaderFrameInfo::Kind::Info));
    QVERIFY(info.lame && info.tagCrcRight);
    QCOMPARE(info.tagCrc, crcBitwise(mp3.left(190), 0, true));
}

void TestHeaderFrame::buildReadsBack_data()
{
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<bool>("vbr");
    static const char *names[] = {"", "MPEG-1", "MPEG-2", "MPEG-2.5"};
    for (int version = 1; version <= 3; ++version) {
        for (int rateIndex = 0; rateIndex < 3; ++rateIndex) {
            for (int mode = 0; mode < 4; ++mode) {
                const QByteArray h = headerBytes(version, rateIndex, mode & 1, mode & 2);
                QTest::addRow("%s %lld Hz%s%s", names[version],
                              MpegHeader::sampleRate(h.constData()), mode & 1 ? " mono" : "",
                              mode & 2 ? " CRC" : "")
                    << h << bool(rateIndex & 1);
            }
        }
    }
}

void TestHeaderFrame::buildReadsBack()
{
    QFETCH(QByteArray, reference);
    QFETCH(bool, vbr);
    HeaderFrame::Params p;
    p.reference = reference;
    p.vbr = vbr;
    p.frames = 123456;
    p.audioBytes = 9876543;
    for (int i = 0; i < 100; ++i)
        p.toc[i] = quint8(i * 2 + 3);
    p.delay = vbr ? 5000 : 576;     // clamped to 4095
    p.padding = vbr ? -4 : 1234;    // clamped to 0
    p.musicCrc = 0xBEEF;

    const QByteArray frame = HeaderFrame::build(p);
    const char *h = frame.constData();
    QCOMPARE(MpegHeader::frameBytes(h), frame.size());
    QCOMPARE(HeaderFrame::length(reference), frame.size());
    QVERIFY(MpegHeader::sameStream(h, reference.constData()));
    QCOMPARE(h[1], reference[1]);   // version, layer and protection
    QCOMPARE(h[3], reference[3]);   // channel mode and the rest
    QCOMPARE(MpegHeader::padding(h), 0);
    const int side = SideInfo::size(h);
    const int needed = 4 + side + HeaderFrame::XingSize + HeaderFrame::LameSize;
    QByteArray smaller = frame.left(4);
    smaller[2] = char(frame[2] - 0x10);
    QVERIFY((quint8(frame[2]) >> 4) == 1 || MpegHeader::frameBytes(smaller) < needed);
    // Silent: the side information is zero up to the tag.
    const int crc = SideInfo::isProtected(h) ? 2 : 0;
    QCOMPARE(frame.mid(4 + crc, 4 + side - 4 - crc), QByteArray(side - crc, '\0'));
    if (crc)
        QCOMPARE(SideInfo::crc(h), quint16(quint8(h[4]) << 8 | quint8(h[5])));

    const HeaderFrameInfo info = HeaderFrame::read(h, frame.size());
    QCOMPARE(int(info.kind), int(vbr ? HeaderFrameInfo::Kind::Xing : HeaderFrameInfo::Kind::Info));
    QCOMPARE(info.tagOffset, 4 + side);
    QCOMPARE(info.flags, quint32(15));
    QCOMPARE(info.frames, p.frames);
    QCOMPARE(info.bytes, quint32(p.audioBytes + frame.size()));
    QCOMPARE(info.musicLength, info.bytes);
    QVERIFY(info.toc == p.toc);
    QVERIFY(info.lame);
    QCOMPARE(info.encoder, QByteArray("LAME3.100"));
    QCOMPARE(info.delay, vbr ? 4095 : 576);
    QCOMPARE(info.padding, vbr ? 0 : 1234);
    QCOMPARE(info.musicCrc, quint16(0xBEEF));
    QVERIFY(info.tagCrcRight);
}

void TestHeaderFrame::toc_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QVector<int>>("expected"); // entries 0, 25, 50, 75, 99

    QTest::newRow("no samples: even spread") << Samples{} << qint64(1000)
                                             << qint64(100000)
                                             << QVector<int>{0, 64, 128, 192, 253};
    // 400 frames of 100 bytes, then 400 of 300 bytes, sampled every 256 frames
    // (and in between, where the rate changes, the line is the best guess).
    QTest::newRow("two rates, sparse")
        << Samples{{256, 25600}, {512, 73600}, {768, 150400}}
        << qint64(800) << qint64(160000) << QVector<int>{0, 32, 84, 160, 252};
    QTest::newRow("repeated, backward and late samples passed over")
        << Samples{{0, 0}, {500, 50000}, {500, 60000}, {400, 1}, {2000, 1}} << qint64(1000)
        << qint64(100000) << QVector<int>{0, 64, 128, 192, 253};
}

void TestHeaderFrame::toc()
{
    QFETCH(Samples, samples);
    QFETCH(qint64, frames);
    QFETCH(qint64, bytes);
    QFETCH(QVector<int>, expected);
    const auto table = HeaderFrame::toc(samples, frames, bytes);
    const QVector<int> got = {table[0], table[25], table[50], table[75], table[99]};
    QCOMPARE(got, expected);
    QVERIFY(std::is_sorted(table.begin(), table.end()));
}

void TestHeaderFrame::decodersHonourRebuiltHeader_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("lameArgs");
    QTest::newRow("MPEG-1 44.1k stereo CBR") << 44100 << 2 << QStringList{"-b", "128"};
    QTest::newRow("MPEG-1 48k stereo VBR") << 48000 << 2 << QStringList{"-V", "2"};
    QTest::newRow("MPEG-1 32k mono CRC") << 32000 << 1 << QStringList{"-p", "-b", "64"};
    QTest::newRow("MPEG-2 22.05k mono VBR") << 22050 << 1 << QStringList{"-V", "6"};
    QTest::newRow("MPEG-2 24k stereo VBR CRC") << 24000 << 2 << QStringList{"-p", "-V", "5"};
    QTest::newRow("MPEG-2.5 11.025k stereo CBR") << 11025 << 2 << QStringList{"-b", "32"};
    QTest::newRow("MPEG-2.5 8k mono VBR") << 8000 << 1 << QStringList{"-V", "7"};
}

// A LAME file's header frame rebuilt from its own facts plays the same in
// every decoder: same samples, same trims, same duration.
void TestHeaderFrame::decodersHonourRebuiltHeader()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArgs);
    const QString original = encode(rate, channels, lameArgs);
    const QByteArray mp3 = readAll(original);
    const Frames frames = walk(mp3);
    QVERIFY(frames.size() > 20);
    QCOMPARE(frames.last().first + frames.last().second, mp3.size());
    const HeaderFrameInfo lame = HeaderFrame::read(mp3.constData(), frames[0].second);
    QVERIFY(lame.kind != HeaderFrameInfo::Kind::None && lame.lame && lame.tagCrcRight);
    QCOMPARE(lame.frames, quint32(frames.size() - 1));
    QCOMPARE(lame.bytes, quint32(mp3.size()));

    HeaderFrame::Params p;
    p.reference = mp3.mid(frames[1].first, 4);
    p.vbr = lame.kind == HeaderFrameInfo::Kind::Xing;
    p.frames = lame.frames;
    p.audioBytes = quint64(mp3.size() - frames[1].first);
    p.delay = lame.delay;
    p.padding = lame.padding;
    Samples samples;
    for (int i = 16; i < frames.size() - 1; i += 16)
        samples.append({i, frames[i + 1].first - frames[1].first});
    p.toc = HeaderFrame::toc(samples, p.frames, qint64(p.audioBytes));
    const QString rebuilt = m_dir.filePath("rebuilt.mp3");
    QVERIFY(!writeFile(rebuilt, HeaderFrame::build(p) + mp3.mid(frames[1].first)).isEmpty());
    const QByteArray pcm = mpg123Decode(original, true);
    QCOMPARE(pcm.size(), 3 * rate * channels * 2); // the trims are at work
    QCOMPARE(mpg123Decode(rebuilt, true), pcm);
    const QByteArray ffmpegPcm = ffmpegDecode(original);
    QCOMPARE(ffmpegPcm.size(), pcm.size());
    QCOMPARE(ffmpegDecode(rebuilt), ffmpegPcm);
    QCOMPARE(ffprobeDuration(rebuilt), ffprobeDuration(original));
}

void TestHeaderFrame::silentFrameCarriesReservoir_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("lameArgs");
    QTest::newRow("MPEG-1 44.1k 128k") << 44100 << 2 << QStringList{"-b", "128"};
    QTest::newRow("MPEG-1 32k 48k CRC") << 32000 << 2 << QStringList{"-p", "-b", "48"};
    QTest::newRow("MPEG-2 16k mono 8k") << 16000 << 1 << QStringList{"-b", "8"};
    QTest::newRow("MPEG-2 22.05k VBR CRC") << 22050 << 2 << QStringList{"-p", "-V", "6"};
    QTest::newRow("MPEG-2.5 8k mono 8k") << 8000 << 1 << QStringList{"-b", "8"};
}

// [silent frame ending with the borrowed bytes] + source frames from one
// (MPEG-1) or two (MPEG-2/2.5) frames before frame k decodes from frame k on
// exactly as the whole source does; without those bytes it does not.
void TestHeaderFrame::silentFrameCarriesReservoir()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArgs);
    QByteArray mp3 = readAll(encode(rate, channels, lameArgs));
    Frames frames = walk(mp3);
    if (HeaderFrame::read(mp3.constData(), mp3.size()).kind != HeaderFrameInfo::Kind::None)
        frames.removeFirst();
    mp3 = mp3.mid(frames[0].first);
    frames = walk(mp3);
    const QString sourcePath = writeFile(m_dir.filePath("source.mp3"), mp3);
    const QByteArray source = mpg123Decode(sourcePath, false);

    // The main data stream and where each frame's part of it starts.
    QByteArray stream;
    QVector<int> starts;
    for (const auto &f : frames) {
        starts.append(stream.size());
        const int size = SideInfo::mainDataSize(mp3.constData() + f.first, f.second);
        stream += mp3.mid(f.first + f.second - size, size);
    }
    const int lead = MpegHeader::version(mp3.constData()) == 1 ? 1 : 2;
    int k = frames.size() / 2;
    int borrowed = 0;
    for (; k < frames.size() - 4 && borrowed == 0; ++k) {
        for (int j = k - lead; j < frames.size(); ++j) {
            const int begin = SideInfo::mainDataBegin(mp3.constData() + frames[j].first);
            borrowed = qMax(borrowed, begin - (starts[j] - starts[k - lead]));
        }
    }
    --k;
    QVERIFY2(borrowed > 0, "no frame borrows from before the cut");
    const int first = k - lead;
    const QByteArray reference = mp3.left(4);
    const QByteArray tail = stream.mid(starts[first] - borrowed, borrowed);
    const QByteArray silent = SilentFrame::build(reference, tail);
    QCOMPARE(MpegHeader::frameBytes(silent.constData()), silent.size());
    QCOMPARE(SideInfo::mainDataBegin(silent.constData()), 0);
    QCOMPARE(silent.right(tail.size()), tail);
    QByteArray smaller = silent.left(4);
    smaller[2] = char(silent[2] - 0x10);
    QVERIFY((quint8(silent[2]) >> 4) == 1
            || SideInfo::mainDataSize(smaller.constData(), MpegHeader::frameBytes(smaller))
                < tail.size());
    if (SideInfo::isProtected(silent.constData()))
        QCOMPARE(SideInfo::crc(silent.constData()),
                 quint16(quint8(silent[4]) << 8 | quint8(silent[5])));

    // mpg123 rounds its synthesis by the phase of a 16-granule ring buffer
    // (output may differ by 1 LSB otherwise), so empty silent frames in
    // front give the cut as many granules before frame k as the source, mod 16.
    const int period = MpegHeader::version(mp3.constData()) == 1 ? 8 : 16;
    const int pads = ((k - lead - 1) % period + period) % period;
    const QByteArray front = SilentFrame::build(reference, QByteArray()).repeated(pads);
    const int frameBytes = MpegHeader::samplesPerFrame(mp3.constData()) * channels * 2;
    const int skip = (pads + 1 + lead) * frameBytes;
    const QByteArray wanted = source.mid(k * frameBytes);
    QVERIFY(wanted.size() > 2 * frameBytes);
    const QString cut = writeFile(m_dir.filePath("cut.mp3"),
                                  front + silent + mp3.mid(frames[first].first));
    QCOMPARE(mpg123Decode(cut, false).mid(skip), wanted);
    QByteArray errors;
    QVERIFY(!ffmpegDecode(cut, &errors).isEmpty());
    QVERIFY2(errors.isEmpty(), errors.constData());

    const QByteArray zeros = SilentFrame::build(reference, QByteArray(borrowed, '\0'));
    const QString broken = writeFile(m_dir.filePath("broken.mp3"),
                                     front + zeros + mp3.mid(frames[first].first));
    QVERIFY(mpg123Decode(broken, false).mid(skip) != wanted);
}

QTEST_GUILESS_MAIN(TestHeaderFrame)
#include "tst_headerframe.moc"
