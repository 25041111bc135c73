#include "edit/cutjob.h"
#include "edit/editjob.h"
#include "format/headerframe.h"
#include "format/sideinfo.h"
#include "format/mpegheader.h"
#include "level/framegain.h"
#include "level/lamereplaygain.h"
#include "level/levelmap.h"
#include "level/loudnessmeter.h"
#include "level/loudnessscan.h"
#include "scan/mp3fileinfo.h"
#include "testfiles.h"

#include <QtTest>

#include <QProcess>
#include <QRegularExpression>
#include <QVector>

#include <cmath>

// The level changed without decoding, judged by listening: ffmpeg decodes the
// source and the output, checking every frame's CRC, and the samples must
// scale as the global_gain steps say.
class TestLevel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_dir.renew()); }

    void gainScalesEverySample_data();
    void gainScalesEverySample();
    void gainCrossesSeams_data();
    void gainCrossesSeams();
    void fadesRampMonotonically_data();
    void fadesRampMonotonically();
    void gainOutOfRangeIsHeldAndReported_data();
    void gainOutOfRangeIsHeldAndReported();
    void replayGainFieldsReachTheDecoder_data();
    void replayGainFieldsReachTheDecoder();
    void loudnessOfKnownSignals_data();
    void loudnessOfKnownSignals();
    void loudnessAgreesWithFfmpeg();
    void normalizeRecordsWhatIsLeft_data();
    void normalizeRecordsWhatIsLeft();
    void recordedReplayGainFollowsTheGain_data();
    void recordedReplayGainFollowsTheGain();
    void normalizeNeverClips_data();
    void normalizeNeverClips();

private:
    QString source(const QString &name) const { return m_fixtures.filePath(name + QStringLiteral(".mp3")); }
    QString leveled(const QString &name, const LevelRequest &level);

    QTemporaryDir m_fixtures;
    ScratchFolder m_dir;
};

namespace {

bool run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr,
         QByteArray *err = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return false;
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitCode() == 0;
}

// Interleaved 16-bit samples as ffmpeg plays the file; any complaint of the
// decoder (a CRC that does not match, a frame it cannot read) fails.
QVector<qint16> decode(const QString &path)
{
    QByteArray raw, complaints;
    if (!run(QStringLiteral("ffmpeg"), {"-v", "error", "-err_detect", "crccheck", "-i", path,
                                         "-f", "s16le", "-"}, &raw, &complaints)
        || !complaints.isEmpty()) {
        qWarning("ffmpeg: %s", complaints.constData());
        return {};
    }
    QVector<qint16> samples(raw.size() / 2);
    memcpy(samples.data(), raw.constData(), size_t(samples.size()) * 2);
    return samples;
}

double rms(const QVector<qint16> &s, int from, int count)
{
    double sum = 0;
    for (int i = from; i < from + count; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / count);
}

} // namespace

void TestLevel::initTestCase()
{
    QVERIFY(m_fixtures.isValid());
    // Pink noise that swells and fades, well under full scale.
    const QString wav = m_fixtures.filePath(QStringLiteral("source.wav"));
    QVERIFY(run(QStringLiteral("ffmpeg"), {"-v", "error", "-f", "lavfi", "-i",
        "anoisesrc=d=4:c=pink:r=44100:seed=3,volume='0.2+0.1*sin(2*PI*0.7*t)':eval=frame",
        "-ac", "2", wav}));
    const QList<QPair<QString, QStringList>> encodings = {
        {"cbr128", {"-b", "128"}},
        {"vbr", {"-V", "2"}},
        {"crc", {"-b", "112", "-p"}},
        {"mpeg2mono", {"--resample", "22.05", "-b", "32", "-m", "m"}},
        {"low8k", {"--resample", "8", "-b", "8", "-m", "m", "-p"}},
    };
    for (const auto &e : encodings)
        QVERIFY2(run(QStringLiteral("lame"), QStringList{"--quiet"} + e.second + QStringList{wav, source(e.first)}),
                 qPrintable(e.first));
    QVERIFY(run(QStringLiteral("lame"), {"--quiet", "-b", "96", "--tv", "TXXX=REPLAYGAIN_TRACK_GAIN=-5.00 dB",
                                         "--tv", "TXXX=REPLAYGAIN_ALBUM_PEAK=0.500000", wav, source("replaygain")}));
}

// The whole source at another level, as the command line makes it.
QString TestLevel::leveled(const QString &name, const LevelRequest &level)
{
    const QString output = m_dir.filePath(name + QStringLiteral("-leveled.mp3"));
    CutJob::Options options;
    options.request = CutJob::wholeFile();
    options.request.level = level;
    return CutJob::run(source(name), output, options).ok() ? output : QString();
}

static void addFiles()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"cbr128", "vbr", "crc", "mpeg2mono", "low8k"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestLevel::gainScalesEverySample_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("steps");
    for (const char *name : {"cbr128", "vbr", "crc", "mpeg2mono", "low8k"}) {
        for (int steps : {-4, -1, 3})
            QTest::addRow("%s %+d", name, steps) << QString::fromLatin1(name) << steps;
    }
}

void TestLevel::gainScalesEverySample()
{
    QFETCH(QString, name);
    QFETCH(int, steps);
    LevelRequest level;
    level.gainSteps = steps;
    const QString output = leveled(name, level);
    QVERIFY(!output.isEmpty());
    const QVector<qint16> before = decode(source(name));
    const QVector<qint16> after = decode(output);
    QVERIFY(!before.isEmpty());
    QCOMPARE(after.size(), before.size());
    const double factor = std::pow(2.0, steps / 4.0);
    // Both decodes are rounded to 16 bits: half a step each, the first
    // scaled by the factor.
    const double tolerance = 0.5 * factor + 0.5 + 0.01;
    int compared = 0;
    for (int i = 0; i < before.size(); ++i) {
        const double wanted = before[i] * factor;
        if (std::abs(wanted) > 32000)
            continue;
        ++compared;
        if (std::abs(after[i] - wanted) > tolerance)
            QFAIL(qPrintable(QStringLiteral("sample %1: %2, wanted %3").arg(i).arg(after[i]).arg(wanted)));
    }
    QVERIFY(compared > before.size() * 9 / 10);
}

void TestLevel::gainCrossesSeams_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("join");
    QTest::newRow("remove, protected") << "crc" << false;
    QTest::newRow("remove, 8 kbit/s reservoir") << "low8k" << false;
    QTest::newRow("join, VBR") << "vbr" << true;
}

// Frames the seams changed carry audio too: the edit at another level is
// the same edit, scaled, sample for sample.
void TestLevel::gainCrossesSeams()
{
    QFETCH(QString, name);
    QFETCH(bool, join);
    EditRequest request;
    if (join)
        request.spans = {{0, 0, EditSpan::ToTheEnd}, {1, 0, EditSpan::ToTheEnd}};
    else
        request.spans = {{0, 0, 1000}, {0, 2000, 2500}, {0, 3000, EditSpan::ToTheEnd}};
    QVector<QVector<qint16>> decoded;
    for (int steps : {0, -4}) {
        request.level.gainSteps = steps;
        const QString output = m_dir.filePath(QStringLiteral("edit%1.mp3").arg(steps));
        EditJob job;
        QVERIFY(job.open({source(name), source(name)}, output).ok());
        const CutPlan plan = job.plan(request);
        QCOMPARE(plan.error, 0);
        QVERIFY(job.write(plan, output, {}).ok());
        decoded.append(decode(output));
    }
    QVERIFY(!decoded[0].isEmpty());
    QCOMPARE(decoded[1].size(), decoded[0].size());
    for (int i = 0; i < decoded[0].size(); ++i) {
        if (std::abs(decoded[1][i] - decoded[0][i] * 0.5) > 1.01)
            QFAIL(qPrintable(QStringLiteral("sample %1: %2, wanted %3").arg(i).arg(decoded[1][i]).arg(decoded[0][i] * 0.5)));
    }
}

void TestLevel::fadesRampMonotonically_data()
{
    addFiles();
}

// A cut that fades in over its first second and out over its last, measured
// against the same cut without fades, granule by granule as heard: silent
// at its ends, rising and falling in a straight line, whole in between.
void TestLevel::fadesRampMonotonically()
{
    QFETCH(QString, name);
    CutJob::Options options;
    options.request = {500, 3500, CutRequest::Exact, false, {}};
    const QString plain = m_dir.filePath(QStringLiteral("plain.mp3"));
    const QString faded = m_dir.filePath(QStringLiteral("faded.mp3"));
    QVERIFY(CutJob::run(source(name), plain, options).ok());
    options.request.level.fadeInMs = 1000;
    options.request.level.fadeOutMs = 1000;
    QVERIFY(CutJob::run(source(name), faded, options).ok());
    const QVector<qint16> before = decode(plain);
    const QVector<qint16> after = decode(faded);
    QCOMPARE(after.size(), before.size());
    const Mp3FileInfo info = Mp3FileInfo::read(source(name));
    const int granule = 576 * (info.version == 1 ? 2 : 1);
    const int granules = before.size() / granule;
    const int second = int(info.sampleRate / 576); // granules
    QVector<double> ratio;
    for (int g = 0; g < granules; ++g)
        ratio.append(rms(after, g * granule, granule) / qMax(1.0, rms(before, g * granule, granule)));
    // The overlap of neighbouring granules blurs each step a little; the end
    // granules hold a granule or two of the ramp.
    QVERIFY2(ratio.first() < 2.5 / second && ratio.last() < 2.5 / second, qPrintable(QStringLiteral("%1 %2").arg(ratio.first()).arg(ratio.last())));
    QVERIFY2(std::abs(ratio[second / 2] - 0.5) < 0.1, qPrintable(QString::number(ratio[second / 2])));
    for (int g = 1; g < second; ++g)
        QVERIFY2(ratio[g] >= ratio[g - 1] - 0.03, qPrintable(QStringLiteral("fade-in granule %1").arg(g)));
    for (int g = granules - second + 1; g < granules; ++g)
        QVERIFY2(ratio[g] <= ratio[g - 1] + 0.03, qPrintable(QStringLiteral("fade-out granule %1").arg(g)));
    for (int g = second + 1; g < granules - second - 1; ++g)
        QVERIFY2(std::abs(ratio[g] - 1.0) < 0.01, qPrintable(QStringLiteral("granule %1").arg(g)));
}

void TestLevel::gainOutOfRangeIsHeldAndReported_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("above");
    QTest::newRow("louder than 255") << 200 << true;
    QTest::newRow("quieter than 0") << -230 << false;
}

void TestLevel::gainOutOfRangeIsHeldAndReported()
{
    QFETCH(int, steps);
    QFETCH(bool, above);
    const QByteArray file = readAll(source(QStringLiteral("crc")));
    const Mp3FileInfo info = Mp3FileInfo::read(source(QStringLiteral("crc")));
    // an audio frame in the middle, with sound in every granule
    int at = int(info.firstFrameOffset);
    for (qint64 i = 0; i <= info.frames / 2; ++i)
        at += MpegHeader::frameBytes(file.constData() + at);
    QByteArray frame = file.mid(at, MpegHeader::frameBytes(file.constData() + at));
    // the fixture's channels are alike, so the side channel may be silent
    int highest = 0, lowest = 255;
    for (int gr = 0; gr < 2; ++gr) {
        for (int ch = 0; ch < 2; ++ch) {
            if (FrameGain::mainDataBits(frame.constData(), gr, ch) == 0)
                continue;
            highest = qMax(highest, FrameGain::globalGain(frame.constData(), gr, ch));
            lowest = qMin(lowest, FrameGain::globalGain(frame.constData(), gr, ch));
        }
    }
    QVERIFY(highest > 0);
    FrameGain::Report report;
    QVERIFY(FrameGain::apply(frame.data(), frame.size(), steps, &report));
    QCOMPARE(report.granules, qint64(2));
    QCOMPARE(FrameGain::globalGain(frame.constData(), 1, 0), above ? 255 : 0);
    QCOMPARE(above ? report.mostAbove : report.mostBelow, above ? highest + steps - 255 : -(lowest + steps));
    QCOMPARE(above ? report.below : report.above, qint64(0));
    QCOMPARE(quint16(quint8(frame[4]) << 8 | quint8(frame[5])), SideInfo::crc(frame.constData()));
}

void TestLevel::replayGainFieldsReachTheDecoder_data()
{
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("peak");
    QTest::newRow("quieter") << -7.3 << 0.988;
    QTest::newRow("louder") << 4.1 << 0.5;
}

// ffprobe reads the fields from the LAME extension as players do.
void TestLevel::replayGainFieldsReachTheDecoder()
{
    QFETCH(double, gain);
    QFETCH(double, peak);
    const QString name = source(QStringLiteral("cbr128"));
    QByteArray file = readAll(name);
    const int length = MpegHeader::frameBytes(file.constData());
    QByteArray header = file.left(length);
    QVERIFY(LameReplayGain::write(header, gain, peak));
    QVERIFY(HeaderFrame::read(header.constData(), header.size()).tagCrcRight);
    file.replace(0, length, header);
    const QString path = m_dir.write(QStringLiteral("tagged.mp3"), file);
    // "replaygain: track gain - -7.300000, track peak - 0.988000, ..."
    QByteArray probe;
    run(QStringLiteral("ffmpeg"), {"-hide_banner", "-i", path}, nullptr, &probe);
    const auto m = QRegularExpression(QStringLiteral("track gain - (-?[0-9.]+), track peak - ([0-9.]+)"))
                       .match(QString::fromLatin1(probe));
    QVERIFY2(m.hasMatch(), probe.constData());
    QVERIFY(std::abs(m.captured(1).toDouble() - gain) < 0.051);
    // ffmpeg 5.1 prints the peak over 2^32 - 1 where it keeps it in 100000ths
    QVERIFY2(std::abs(m.captured(2).toDouble() * 4294967295.0 / 100000.0 - peak) < 0.05,
             qPrintable(m.captured(0)));
}

void TestLevel::loudnessOfKnownSignals_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("silentShare");
    QTest::addColumn<double>("lufs");
    // 997 Hz at full scale in one channel reads -3.01 LUFS; the blocks
    // across the edge of a silence weigh a little
    QTest::newRow("mono, full scale") << 1 << 1.0 << 0.0 << -3.01;
    QTest::newRow("stereo, -20 dBFS") << 2 << 0.1 << 0.0 << -20.0;
    // the gate leaves the silence out
    QTest::newRow("half silent") << 2 << 0.1 << 0.5 << -20.0;
}

void TestLevel::loudnessOfKnownSignals()
{
    QFETCH(int, channels);
    QFETCH(double, amplitude);
    QFETCH(double, silentShare);
    QFETCH(double, lufs);
    constexpr int Rate = 48000;
    const int count = Rate * 10;
    QVector<qint16> samples(count * channels);
    for (int i = int(count * silentShare); i < count; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * 997.0 * i / Rate);
        for (int ch = 0; ch < channels; ++ch)
            samples[i * channels + ch] = qint16(std::lround(qBound(-32768.0, v * 32768.0, 32767.0)));
    }
    LoudnessMeter meter(Rate, channels);
    meter.add(samples.constData(), count);
    QVERIFY2(std::abs(meter.loudness() - lufs) < 0.2, qPrintable(QString::number(meter.loudness())));
    QVERIFY(std::abs(meter.peak() - amplitude) < 0.001);
}

// ffmpeg's own BS.1770 meter on the same file.
void TestLevel::loudnessAgreesWithFfmpeg()
{
    for (const char *name : {"cbr128", "mpeg2mono"}) {
        QByteArray err;
        QVERIFY(run(QStringLiteral("ffmpeg"), {"-nostats", "-i", source(name), "-af", "ebur128",
                                                "-f", "null", "-"}, nullptr, &err));
        const auto m = QRegularExpression(QStringLiteral("Summary:.*I:\\s+(-?[0-9.]+) LUFS"),
                                          QRegularExpression::DotMatchesEverythingOption)
                           .match(QString::fromLatin1(err));
        QVERIFY(m.hasMatch());
        const Mp3FileInfo info = Mp3FileInfo::read(source(name));
        const LoudnessScan::Result r = LoudnessScan::measure(
            {{source(name), info.firstFrameOffset, info.streamEnd - info.firstFrameOffset, QByteArray()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY2(std::abs(r.loudness - m.captured(1).toDouble()) < 0.3,
                 qPrintable(QStringLiteral("%1: %2 against %3").arg(name).arg(r.loudness).arg(m.captured(1))));
    }
}

// ffmpeg's own BS.1770 meter; the summary comes last.
static double ffmpegLoudness(const QString &path)
{
    QByteArray err;
    run(QStringLiteral("ffmpeg"), {"-nostats", "-i", path, "-af", "ebur128", "-f", "null", "-"}, nullptr, &err);
    const auto m = QRegularExpression(QStringLiteral("Summary:.*I:\\s+(-?[0-9.]+) LUFS"),
                                      QRegularExpression::DotMatchesEverythingOption)
                       .match(QString::fromLatin1(err));
    return m.hasMatch() ? m.captured(1).toDouble() : 1e9;
}

void TestLevel::normalizeRecordsWhatIsLeft_data()
{
    addFiles();
}

// The whole file normalized: the loudness it now has plus the track gain it
// records is the reference, where players read the gain (the LAME extension,
// the TXXX frames); and nothing clips.
void TestLevel::normalizeRecordsWhatIsLeft()
{
    QFETCH(QString, name);
    const QString output = m_dir.filePath(QStringLiteral("normalized.mp3"));
    CutJob::Options options;
    options.request = CutJob::wholeFile();
    options.request.keepTags = true;
    options.request.level.normalize = true;
    CutPlan plan;
    QVERIFY(CutJob::run(source(name), output, options, &plan).ok());
    const double loudness = ffmpegLoudness(output);
    QVERIFY2(std::abs(loudness + plan.trackGainDb - LoudnessMeter::TargetLufs) < 0.3,
             qPrintable(QStringLiteral("%1 LUFS, track gain %2").arg(loudness).arg(plan.trackGainDb)));
    QByteArray probe;
    run(QStringLiteral("ffmpeg"), {"-hide_banner", "-i", output}, nullptr, &probe);
    const QString gain = QString::number(plan.trackGainDb, 'f', 2);
    QVERIFY2(probe.contains("REPLAYGAIN_TRACK_GAIN: " + gain.toLatin1() + " dB"), probe.constData());
    const QByteArray header = readAll(output).mid(int(Mp3FileInfo::read(output).firstFrameOffset), 2000);
    // a file that came without a LAME header leaves with none
    QVERIFY(plan.headerFrame.isEmpty() || std::abs(LameReplayGain::read(header).trackGainDb - plan.trackGainDb) < 0.051);
    int peak = 0;
    for (qint16 v : decode(output))
        peak = qMax(peak, std::abs(int(v)));
    QVERIFY(peak < 32767);
    QVERIFY(std::abs(peak / 32768.0 - plan.peakAfter) < 0.01);
}

void TestLevel::recordedReplayGainFollowsTheGain_data()
{
    QTest::addColumn<QString>("gain");
    QTest::addColumn<QString>("peak");
    QTest::addColumn<int>("steps");
    QTest::newRow("3 dB quieter") << "-1.99 dB" << "0.353553" << -2;
    QTest::newRow("6 dB louder") << "-11.02 dB" << "1.000000" << 4;
}

// A player that reads the source's replay gain plays the output as loud.
void TestLevel::recordedReplayGainFollowsTheGain()
{
    QFETCH(QString, gain);
    QFETCH(QString, peak);
    QFETCH(int, steps);
    const QString output = m_dir.filePath(QStringLiteral("gained.mp3"));
    CutJob::Options options;
    options.request = CutJob::wholeFile();
    options.request.keepTags = true;
    options.request.level.gainSteps = steps;
    QVERIFY(CutJob::run(source("replaygain"), output, options).ok());
    QByteArray probe;
    run(QStringLiteral("ffmpeg"), {"-hide_banner", "-i", output}, nullptr, &probe);
    QVERIFY2(probe.contains("REPLAYGAIN_TRACK_GAIN: " + gain.toLatin1()), probe.constData());
    QVERIFY2(probe.contains("REPLAYGAIN_ALBUM_PEAK: " + peak.toLatin1()), probe.constData());
}

void TestLevel::normalizeNeverClips_data()
{
    QTest::addColumn<double>("loudness");
    QTest::addColumn<double>("peak");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("limited");
    QTest::newRow("loud, turned down") << -9.0 << 1.0 << -6 << false;
    QTest::newRow("quiet, room to spare") << -30.0 << 0.1 << 8 << false;
    // +12 dB wanted, but 0.5 can rise 6 dB only
    QTest::newRow("quiet, held by the peak") << -30.0 << 0.5 << 4 << true;
}

void TestLevel::normalizeNeverClips()
{
    QFETCH(double, loudness);
    QFETCH(double, peak);
    QFETCH(int, steps);
    QFETCH(bool, limited);
    const NormalizeChoice c = NormalizeChoice::choose(loudness, peak, LoudnessMeter::TargetLufs);
    QCOMPARE(c.steps, steps);
    QCOMPARE(c.limitedByPeak, limited);
    QVERIFY(c.peak <= 1.0);
    QVERIFY(std::abs(loudness + LevelMap::decibelsForSteps(c.steps) + c.trackGainDb - LoudnessMeter::TargetLufs) < 1e-9);
}

QTEST_APPLESS_MAIN(TestLevel)
#include "tst_level.moc"
