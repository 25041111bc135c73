#include "edit/cutplanner.h"
#include "edit/editjob.h"
#include "scan/mp3fileinfo.h"
#include "scan/sourcescan.h"
#include "testfiles.h"

#include <QtTest>

#include <QProcess>
#include <QVector>

// Edits of real encoder output judged by listening: ffmpeg decodes the
// sources and the edit as a player plays them, and every sample of the edit
// must be the source's own at the same place, except in the two frames after
// each seam, where the decoder blends the two sides.
class TestEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_dir.renew()); }

    void seamsDecodeAsTheSource_data();
    void seamsDecodeAsTheSource();
    void joinRefusesAnotherFormat();
    void infoNamesTheVersion_data();
    void infoNamesTheVersion();

private:
    QString source(const QString &name) const { return m_fixtures.filePath(name + QStringLiteral(".mp3")); }

    QTemporaryDir m_fixtures;
    ScratchFolder m_dir;
};

namespace {

struct Decoded
{
    QVector<qint16> samples;  // interleaved
    QByteArray errors;        // what the decoder complained of
};

Decoded decode(const QString &path, int channels)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-ac", QString::number(channels),
                                            "-f", "s16le", "-"});
    Decoded d;
    if (!ffmpeg.waitForFinished(60000))
        return d;
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    d.errors = ffmpeg.readAllStandardError();
    d.samples.resize(raw.size() / 2);
    memcpy(d.samples.data(), raw.constData(), size_t(d.samples.size()) * 2);
    return d;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

using Spans = QVector<EditSpan>;

} // namespace

Q_DECLARE_METATYPE(Spans)

void TestEdit::initTestCase()
{
    QVERIFY(m_fixtures.isValid());
    // Two noises that swell and fade, so that no two frames sound alike.
    const QStringList seeds = {"7", "11"};
    for (int i = 0; i < seeds.size(); ++i) {
        const QString wav = m_fixtures.filePath(QStringLiteral("source%1.wav").arg(i));
        QVERIFY(run(QStringLiteral("ffmpeg"), {"-v", "error", "-f", "lavfi", "-i",
            "anoisesrc=d=8:c=pink:r=44100:seed=" + seeds.at(i) + ",volume='0.3+0.25*sin(2*PI*1.3*t)':eval=frame",
            "-ac", "2", wav}));
        const QList<QPair<QString, QStringList>> encodings = {
            {"cbr", {"-b", "128"}},
            {"vbr", {"-V", "2"}},
            {"crc", {"-b", "112", "-p"}},
            {"mpeg2", {"--resample", "22.05", "-b", "48"}},
            {"mpeg25", {"--resample", "11.025", "-V", "6", "-m", "m"}},
            {"low8k", {"--resample", "8", "-b", "8", "-m", "m"}},
            {"tagged", {"-V", "4", "--tt", "A title", "--add-id3v2"}},
        };
        for (const auto &e : encodings)
            QVERIFY(run(QStringLiteral("lame"), QStringList{"--quiet"} + e.second
                                                    + QStringList{wav, source(e.first + QString::number(i))}));
    }
}

void TestEdit::seamsDecodeAsTheSource_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Spans>("spans");
    QTest::addColumn<bool>("exact");
    const Spans removal = {{0, 0, 2000}, {0, 3500, 5000}, {0, 6000, EditSpan::ToTheEnd}};
    const Spans kept = {{0, 6000, 7500}, {0, 1000, 2600}};
    const Spans joined = {{0, 0, EditSpan::ToTheEnd}, {1, 0, EditSpan::ToTheEnd}};
    for (const char *name : {"cbr", "vbr", "crc", "mpeg2", "mpeg25", "low8k", "tagged"}) {
        QTest::addRow("%s, remove", name) << QString(name) << removal << false;
        QTest::addRow("%s, keep", name) << QString(name) << kept << false;
        QTest::addRow("%s, join", name) << QString(name) << joined << false;
    }
    // Exact outer ends: the first and last samples are the marks' own.
    QTest::newRow("cbr, keep, exact") << "cbr" << kept << true;
    QTest::newRow("mpeg25, keep, exact") << "mpeg25" << kept << true;
}

void TestEdit::seamsDecodeAsTheSource()
{
    QFETCH(QString, name);
    QFETCH(Spans, spans);
    QFETCH(bool, exact);
    const QStringList sources = {source(name + "0"), source(name + "1")};
    const QString output = m_dir.filePath(QStringLiteral("edit.mp3"));
    EditJob job;
    QVERIFY(job.open(sources, output).ok());
    EditRequest request;
    request.spans = spans;
    request.mode = exact ? CutRequest::Exact : CutRequest::WholeFrames;
    const CutPlan plan = job.plan(request);
    QCOMPARE(plan.error, 0);
    QVERIFY(job.write(plan, output, EditJob::Options()).ok());

    const int channels = job.scan(0).stream.channels();
    const int spf = plan.samplesPerFrame;
    const Decoded out = decode(output, channels);
    QVERIFY2(out.errors.isEmpty(), out.errors.constData());
    // Players learn the length from the fresh header frame.
    QCOMPARE(Mp3FileInfo::read(output).headerFrames, Mp3FileInfo::read(output).frames);

    if (exact) {
        const PlanSpan &last = plan.spans.last();
        QCOMPARE(plan.spans.first().heardStart, CutPlanner::msToSample(spans.first().startMs, plan.rate));
        QCOMPARE(last.heardEnd, CutPlanner::msToSample(spans.last().endMs, plan.rate));
        QCOMPARE(qint64(out.samples.size() / channels), last.outputStart + last.heardEnd - last.heardStart);
    }
    for (int i = 0; i < plan.spans.size(); ++i) {
        const PlanSpan &span = plan.spans.at(i);
        const EditSpan &asked = spans.at(i);
        const qint64 rate = job.scan(span.source).rate();
        // Each seam within half a frame of its marks as heard.
        if (i > 0)
            QVERIFY(qAbs(span.heardStart - CutPlanner::msToSample(asked.startMs, rate)) <= spf / 2);
        if (i + 1 < plan.spans.size() && asked.endMs != EditSpan::ToTheEnd)
            QVERIFY(qAbs(span.heardEnd - CutPlanner::msToSample(asked.endMs, rate)) <= spf / 2);

        const Decoded in = decode(sources.at(span.source), channels);
        const qint64 skip = (i > 0 || (span.heardStart > 0 && !exact)) ? 2 * spf : 0;
        const qint64 end = i + 1 < plan.spans.size() ? plan.spans.at(i + 1).outputStart
                                                     : out.samples.size() / channels;
        const qint64 length = qMin(end - span.outputStart, in.samples.size() / channels - span.heardStart) - skip;
        QVERIFY(length > spf);
        for (qint64 k = 0; k < length * channels; ++k) {
            const qint64 o = (span.outputStart + skip) * channels + k;
            const qint64 s = (span.heardStart + skip) * channels + k;
            if (out.samples.at(int(o)) != in.samples.at(int(s)))
                QFAIL(qPrintable(QStringLiteral("span %1 differs %2 samples after its start")
                                     .arg(i).arg(skip + k / channels)));
        }
    }
}

void TestEdit::joinRefusesAnotherFormat()
{
    const QString output = m_dir.filePath(QStringLiteral("joined.mp3"));
    EditJob job;
    QVERIFY(job.open({source("cbr0"), source("mpeg2" "0")}, output).ok());
    EditRequest request;
    request.spans = {{0, 0, EditSpan::ToTheEnd}, {1, 0, EditSpan::ToTheEnd}};
    const CutPlan plan = job.plan(request);
    QCOMPARE(plan.error, int(CutResult::FormatsDiffer));
    QVERIFY2(plan.reason.contains("MPEG-1 Layer-3, 44100 Hz") && plan.reason.contains("MPEG-2 Layer-3, 22050 Hz"),
             qPrintable(plan.reason));
    QVERIFY(!job.write(plan, output, EditJob::Options()).ok());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestEdit::infoNamesTheVersion_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("format");
    QTest::newRow("MPEG-1") << "cbr0" << "MPEG-1 Layer-3";
    QTest::newRow("MPEG-2") << "mpeg20" << "MPEG-2 Layer-3";
    QTest::newRow("MPEG-2.5") << "mpeg250" << "MPEG-2.5 Layer-3";
}

// --info names MPEG-2.5 as people know it.
void TestEdit::infoNamesTheVersion()
{
    QFETCH(QString, name);
    QFETCH(QString, format);
    QCOMPARE(Mp3FileInfo::read(source(name)).format, format);
}

QTEST_APPLESS_MAIN(TestEdit)
#include "tst_edit.moc"
