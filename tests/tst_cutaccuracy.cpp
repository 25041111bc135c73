#include "edit/cutjob.h"
#include "edit/cutplanner.h"
#include "format/headerframe.h"
#include "scan/mp3fileinfo.h"
#include "testfiles.h"

#include <QtTest>

#include <QProcess>
#include <QVector>

// Cuts of real encoder output, judged by listening: ffmpeg decodes the source
// and the cut, as a player plays them (with the encoder's delay and padding
// trimmed), and the cut's audio is looked up in the source's.
class TestCutAccuracy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_dir.renew()); }

    void wholeFramesLandOnTheMarks_data();
    void wholeFramesLandOnTheMarks();
    void exactCutsEqualTheSourceDecode_data();
    void exactCutsEqualTheSourceDecode();
    void headerFrameDescribesTheCut_data();
    void headerFrameDescribesTheCut();
    void keptTagsFrameTheCut();

private:
    QString source(const QString &name) const { return m_fixtures.filePath(name + QStringLiteral(".mp3")); }
    CutPlan cut(const QString &name, qint64 startMs, qint64 endMs, CutRequest::Mode mode, QString *output);

    QTemporaryDir m_fixtures;
    ScratchFolder m_dir;
};

namespace {

bool run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return false;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitCode() == 0;
}

// Interleaved 16-bit samples as ffmpeg plays the file.
QVector<qint16> decode(const QString &path, int channels)
{
    QByteArray raw;
    if (!run(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-ac", QString::number(channels),
                                         "-f", "s16le", "-"}, &raw))
        return {};
    QVector<qint16> samples(raw.size() / 2);
    memcpy(samples.data(), raw.constData(), size_t(samples.size()) * 2);
    return samples;
}

// Where `part` lies in `whole`, searched from around - reach to around + reach.
// The first frames of a whole-frame cut decode without the reservoir and
// the filter memory of the frames before them, so the match starts later.
qint64 locate(const QVector<qint16> &whole, const QVector<qint16> &part, qint64 around, qint64 reach, int skip)
{
    constexpr int Window = 4096;
    qint64 best = -1;
    double bestError = 0;
    for (qint64 at = qMax<qint64>(0, around - reach); at <= around + reach; ++at) {
        if (at + skip + Window > whole.size() || skip + Window > part.size())
            break;
        double error = 0;
        for (int i = 0; i < Window && (best < 0 || error < bestError); ++i) {
            const double d = double(whole[int(at + skip + i)]) - part[skip + i];
            error += d * d;
        }
        if (best < 0 || error < bestError) {
            best = at;
            bestError = error;
        }
    }
    return best;
}

} // namespace

void TestCutAccuracy::initTestCase()
{
    QVERIFY(m_fixtures.isValid());
    // Pink noise that swells and fades, so that no two frames sound alike.
    const QString wav = m_fixtures.filePath(QStringLiteral("source.wav"));
    QVERIFY(run(QStringLiteral("ffmpeg"), {"-v", "error", "-f", "lavfi", "-i",
        "anoisesrc=d=9:c=pink:r=44100:seed=7,volume='0.3+0.25*sin(2*PI*1.3*t)':eval=frame",
        "-ac", "2", wav}));
    const QList<QPair<QString, QStringList>> encodings = {
        {"cbr128", {"-b", "128"}},
        {"vbr", {"-V", "2"}},
        {"crc", {"-b", "112", "-p"}},
        {"mpeg2", {"--resample", "22.05", "-b", "48"}},
        {"mpeg25vbr", {"--resample", "11.025", "-V", "6", "-m", "m"}},
        {"low8k", {"--resample", "8", "-b", "8", "-m", "m"}},
        {"tagged", {"-V", "4", "--tt", "A title", "--ta", "An artist", "--add-id3v2"}},
        {"noheader", {"-b", "96", "-t"}},
    };
    for (const auto &e : encodings)
        QVERIFY2(run(QStringLiteral("lame"), QStringList{"--quiet"} + e.second + QStringList{wav, source(e.first)}),
                 qPrintable(e.first));
}

CutPlan TestCutAccuracy::cut(const QString &name, qint64 startMs, qint64 endMs, CutRequest::Mode mode,
                             QString *output)
{
    *output = m_dir.filePath(QStringLiteral("cut.mp3"));
    CutJob::Options options;
    options.request = {startMs, endMs, mode, false, {}};
    CutPlan plan;
    const CutResult result = CutJob::run(source(name), *output, options, &plan);
    if (!result.ok())
        qWarning("cut failed: %d %s", result.code, qPrintable(result.reason));
    return plan;
}

static void addRanges(bool everyFile)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("startMs");
    QTest::addColumn<qint64>("endMs");
    const QStringList names = {"cbr128", "vbr", "crc", "mpeg2", "mpeg25vbr", "low8k", "tagged", "noheader"};
    for (const QString &name : names) {
        QTest::addRow("%s 2.5-6.25 s", qPrintable(name)) << name << qint64(2500) << qint64(6250);
        if (everyFile || name == QLatin1String("vbr")) {
            QTest::addRow("%s from 0", qPrintable(name)) << name << qint64(0) << qint64(1013);
            QTest::addRow("%s to the end", qPrintable(name)) << name << qint64(7777) << qint64(20000);
        }
    }
}

void TestCutAccuracy::wholeFramesLandOnTheMarks_data()
{
    addRanges(true);
}

// Each end of the cut lies within half a frame of its mark as heard, and
// where the plan says it lies.
void TestCutAccuracy::wholeFramesLandOnTheMarks()
{
    QFETCH(QString, name);
    QFETCH(qint64, startMs);
    QFETCH(qint64, endMs);
    QString output;
    const CutPlan plan = cut(name, startMs, endMs, CutRequest::WholeFrames, &output);
    QCOMPARE(plan.error, 0);

    const QVector<qint16> whole = decode(source(name), 1);
    const QVector<qint16> part = decode(output, 1);
    QVERIFY(!whole.isEmpty() && !part.isEmpty());
    const int spf = plan.samplesPerFrame;
    const qint64 heardStart = locate(whole, part, plan.heardStart, 2 * spf, 3 * spf);
    QCOMPARE(heardStart, plan.heardStart);
    QCOMPARE(heardStart + part.size(), plan.heardEnd);

    const qint64 marks[2] = {CutPlanner::msToSample(startMs, plan.rate),
                             qMin<qint64>(CutPlanner::msToSample(endMs, plan.rate), whole.size())};
    QVERIFY2(qAbs(heardStart - marks[0]) <= spf / 2 + 1, qPrintable(QString::number(heardStart - marks[0])));
    QVERIFY2(qAbs(plan.heardEnd - marks[1]) <= spf / 2 + 1, qPrintable(QString::number(plan.heardEnd - marks[1])));
}

void TestCutAccuracy::exactCutsEqualTheSourceDecode_data()
{
    addRanges(true);
}

void TestCutAccuracy::exactCutsEqualTheSourceDecode()
{
    QFETCH(QString, name);
    QFETCH(qint64, startMs);
    QFETCH(qint64, endMs);
    QString output;
    const CutPlan plan = cut(name, startMs, endMs, CutRequest::Exact, &output);
    QCOMPARE(plan.error, 0);

    const QVector<qint16> whole = decode(source(name), 2);
    const QVector<qint16> part = decode(output, 2);
    const qint64 first = CutPlanner::msToSample(startMs, plan.rate);
    const qint64 last = qMin<qint64>(CutPlanner::msToSample(endMs, plan.rate), whole.size() / 2);
    QCOMPARE(qint64(part.size()), 2 * (last - first));
    QVERIFY(part == whole.mid(int(2 * first), part.size()));
}

void TestCutAccuracy::headerFrameDescribesTheCut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("kind");
    QTest::newRow("VBR, whole frames") << "vbr" << int(CutRequest::WholeFrames) << "Xing";
    QTest::newRow("VBR, exact") << "mpeg25vbr" << int(CutRequest::Exact) << "Xing";
    QTest::newRow("CBR, exact") << "crc" << int(CutRequest::Exact) << "Info";
    QTest::newRow("CBR, whole frames: bare frames") << "cbr128" << int(CutRequest::WholeFrames) << "none";
}

// The header frame's counts, its table of contents and its CRC, as readers
// other than ours see them: ffprobe's duration follows its frame count.
void TestCutAccuracy::headerFrameDescribesTheCut()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(QString, kind);
    QString output;
    const CutPlan plan = cut(name, 1000, 7000, CutRequest::Mode(mode), &output);
    QCOMPARE(plan.error, 0);
    const Mp3FileInfo info = Mp3FileInfo::read(output);
    QCOMPARE(info.headerFrame, kind);
    if (kind == QLatin1String("none"))
        return;
    const QByteArray bytes = readAll(output);
    const HeaderFrameInfo tag = HeaderFrame::read(bytes.constData(), bytes.size());
    QVERIFY(tag.lame && tag.tagCrcRight);
    QCOMPARE(qint64(tag.frames), info.frames);
    QCOMPARE(qint64(tag.bytes), info.streamEnd);
    // Entry i of the table: where i % of the frames have passed.
    QCOMPARE(int(tag.toc[0]), 0);
    for (int i = 1; i < 100; ++i)
        QVERIFY(tag.toc[size_t(i)] >= tag.toc[size_t(i - 1)]);
    QVERIFY(qAbs(int(tag.toc[50]) - 128) < 20);

    QByteArray probed;
    QVERIFY(run(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", output}, &probed));
    const double frames = double(info.frames) * plan.samplesPerFrame / plan.rate;
    QVERIFY2(qAbs(probed.trimmed().toDouble() - frames) < 0.002, probed.constData());
}

// With keep-tags the source's ID3v2 tag comes first and its ID3v1 tag last;
// the audio between them is the cut's, and still plays exactly.
void TestCutAccuracy::keptTagsFrameTheCut()
{
    const QString output = m_dir.filePath(QStringLiteral("tagged-cut.mp3"));
    CutJob::Options options;
    options.request = {1000, 4000, CutRequest::Exact, true, {}};
    CutPlan plan;
    QVERIFY(CutJob::run(source(QStringLiteral("tagged")), output, options, &plan).ok());
    const QByteArray bytes = readAll(output);
    QVERIFY(bytes.startsWith("ID3") && bytes.contains("A title"));
    QVERIFY(bytes.right(128).startsWith("TAG") && bytes.right(128).contains("An artist"));
    const Mp3FileInfo info = Mp3FileInfo::read(output);
    QCOMPARE(qint64(info.tagSize), qint64(plan.tagFront.size()));
    QCOMPARE(info.durationMs, 3000);
    QCOMPARE(decode(output, 2).size(), 2 * 3 * 44100);
}

QTEST_GUILESS_MAIN(TestCutAccuracy)
#include "tst_cutaccuracy.moc"
