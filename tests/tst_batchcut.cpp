#include "cuttool.h"
#include "mp3streambuilder.h"
#include "testfiles.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Batch cuts of real files, made here with ffmpeg and lame, and judged with
// ffprobe's list of the audio packets (which leaves the Info frame out).
namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run cut(const QString &input, const QStringList &arguments)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    CutTool tool(out, err);
    run.code = tool.run(QStringList{QStringLiteral("snipwave-cut"), input} + arguments);
    return run;
}

bool runs(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The bytes of every audio packet, in order.
QVector<QByteArray> packets(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                            QStringLiteral("a"), QStringLiteral("-show_entries"), QStringLiteral("packet=pos,size"),
                                            QStringLiteral("-of"), QStringLiteral("json"), path});
    probe.waitForFinished(60000);
    const QByteArray source = readAll(path);
    QVector<QByteArray> list;
    const QJsonArray found = QJsonDocument::fromJson(probe.readAllStandardOutput()).object().value(QStringLiteral("packets")).toArray();
    for (const QJsonValue &packet : found) {
        const QJsonObject fields = packet.toObject();
        list << source.mid(fields.value(QStringLiteral("pos")).toString().toInt(), fields.value(QStringLiteral("size")).toString().toInt());
    }
    return list;
}

// The length ffprobe gives a file.
double probedSeconds(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                            QStringLiteral("format=duration"), QStringLiteral("-of"),
                                            QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(60000);
    return probe.readAllStandardOutput().trimmed().toDouble();
}

QByteArray joined(const QVector<QByteArray> &parts, int first, int end)
{
    QByteArray bytes;
    for (int i = first; i < end && i < parts.size(); ++i)
        bytes += parts.at(i);
    return bytes;
}

// 16-bit mono samples as ffmpeg decodes a file (gapless, as players do).
QByteArray decoded(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                            QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ac"),
                                            QStringLiteral("1"), QStringLiteral("-")});
    ffmpeg.waitForFinished(60000);
    return ffmpeg.readAllStandardOutput();
}

// The pieces in the order the run wrote them (one --json line each).
QVector<QJsonObject> pieceLines(const QString &out)
{
    QVector<QJsonObject> pieces;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        pieces << QJsonDocument::fromJson(line.toUtf8()).object();
    return pieces;
}

// A tone at about -13 dBFS.
const QString Tone = QStringLiteral("0.3*sin(2*PI*440*t)*(0.7+0.3*sin(2*PI*3*t))");
// Noise in syllables of a quarter second, each fading to nothing.
const QString Speech = QStringLiteral("0.4*(2*random(0)-1)*pow(sin(2*PI*2*t),2)");

// Mono 44.1 kHz sound, with silence (or noise of the given amplitude) over
// the quiet spans, encoded by lame.
QString encode(const QString &folder, const QString &name, double seconds, const QString &quiet, double noise,
               const QStringList &lameOptions, const QString &sound = Tone)
{
    const QString wav = folder + QLatin1Char('/') + name + QStringLiteral(".wav");
    const QString mp3 = folder + QLatin1Char('/') + name + QStringLiteral(".mp3");
    const QString expression = QStringLiteral("if(%1,%2*(2*random(0)-1),%3)")
                                   .arg(quiet.isEmpty() ? QStringLiteral("0") : quiet).arg(noise).arg(sound);
    const bool made = runs(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                      QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                      QStringLiteral("aevalsrc='%1':s=44100:d=%2").arg(expression).arg(seconds),
                                                      wav})
        && runs(QStringLiteral("lame"), QStringList{QStringLiteral("--quiet")} + lameOptions + QStringList{wav, mp3});
    return made ? mp3 : QString();
}

constexpr double FrameSeconds = 1152.0 / 44100;
// The audio frame whose start is nearest a time as the player has it:
// decoders drop lame's delay and their own (576 + 529 samples) in front.
int frameAt(double seconds)
{
    return int((std::floor(seconds * 44100 + 1e-6) + 576 + 529) / 1152 + 0.5);
}

} // namespace

class TestBatchCut : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_dir.renew()); }

    void piecesTileTheSource_data();
    void piecesTileTheSource();
    void rangesAreCutAsListed();
    void pieceIsTheSingleCut_data();
    void pieceIsTheSingleCut();
    void exactPiecesPlayAsTheSource_data();
    void exactPiecesPlayAsTheSource();
    void cueTracksNameTheTags();
    void dryRunMatchesTheRun_data();
    void dryRunMatchesTheRun();
    void silencesWhereThePausesAre_data();
    void silencesWhereThePausesAre();
    void clashesStopTheWholeJob();
    void failureMidwayKeepsTheDonePieces();
    void staleTemporaryIsRemoved();
    void wrongCommandLines_data();
    void wrongCommandLines();
    void jobRefused_data();
    void jobRefused();

private:
    QString piecePath(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_fixtures;
    QString m_pauses;   // tone, 2 s silence from 1 s, tone, 1 s silence from 6 s, tone
    QString m_vbr;      // the same, VBR
    QString m_music;    // tone throughout
    QString m_noisy;    // tone with 2 s of noise at about -35 dBFS from 1 s
    QString m_speech;   // syllables with a 2 s pause from 3 s and a 1.2 s one from 6.5 s
    ScratchFolder m_dir;
};

void TestBatchCut::initTestCase()
{
    QVERIFY(m_fixtures.isValid());
    const QString quiet = QStringLiteral("between(t,1,3)+between(t,6,7)");
    m_pauses = encode(m_fixtures.path(), QStringLiteral("pauses"), 9, quiet, 0, {QStringLiteral("-b"), QStringLiteral("64")});
    m_vbr = encode(m_fixtures.path(), QStringLiteral("pauses_vbr"), 9, quiet, 0, {QStringLiteral("-V"), QStringLiteral("4")});
    m_music = encode(m_fixtures.path(), QStringLiteral("music"), 9, QString(), 0, {QStringLiteral("-b"), QStringLiteral("64")});
    m_noisy = encode(m_fixtures.path(), QStringLiteral("noisy"), 9, QStringLiteral("between(t,1,3)"), 0.03,
                     {QStringLiteral("-b"), QStringLiteral("64")});
    m_speech = encode(m_fixtures.path(), QStringLiteral("speech"), 10, QStringLiteral("between(t,3,5)+between(t,6.5,7.7)"),
                      0.0005, {QStringLiteral("-V"), QStringLiteral("6")}, Speech);
    QVERIFY2(!m_pauses.isEmpty() && !m_vbr.isEmpty() && !m_music.isEmpty() && !m_noisy.isEmpty() && !m_speech.isEmpty(),
             "ffmpeg and lame make the fixtures");
    const QString list = writeFile(m_fixtures.filePath(QStringLiteral("chapters")), "0 2 Intro\n2 6.5 Middle\n6.5 9 End\n");
    for (const QString &source : {m_pauses, m_vbr}) {
        const QString chaptered = QString(source).replace(QStringLiteral(".mp3"), QStringLiteral("_chapters.mp3"));
        QCOMPARE(cut(source, {"--chapters-from", list, "-o", chaptered}).code, 0);
    }
}

void TestBatchCut::piecesTileTheSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("mode");
    QTest::addColumn<int>("pieces");

    QTest::newRow("every, CBR") << QStringLiteral("pauses") << QStringList{"--every", "2"} << 5;
    QTest::newRow("every, VBR, short last piece joins") << QStringLiteral("pauses_vbr") << QStringList{"--every", "4.5"} << 2;
    QTest::newRow("silences, CBR") << QStringLiteral("pauses") << QStringList{"--silences", "--min-silence", "0.8"} << 3;
    QTest::newRow("silences, VBR") << QStringLiteral("pauses_vbr") << QStringList{"--silences"} << 2;
    QTest::newRow("cue") << QStringLiteral("pauses") << QStringList{"--cue", "sheet"} << 3;
    QTest::newRow("chapters, CBR") << QStringLiteral("pauses_chapters") << QStringList{"--split-chapters"} << 3;
    QTest::newRow("chapters, VBR") << QStringLiteral("pauses_vbr_chapters") << QStringList{"--split-chapters"} << 3;
    // (VBR pieces that meet may share a frame: each is cut as a single cut
    // of its range, whose header frame moves its start.)
    QTest::newRow("ranges that meet") << QStringLiteral("pauses") << QStringList{"--ranges", "list"} << 3;
}

void TestBatchCut::piecesTileTheSource()
{
    QFETCH(QString, source);
    QFETCH(QStringList, mode);
    QFETCH(int, pieces);

    const QString input = m_fixtures.filePath(source + QStringLiteral(".mp3"));
    const int option = mode.indexOf(QStringLiteral("sheet")) + mode.indexOf(QStringLiteral("list")) + 1;
    if (option > 0) {
        const QByteArray text = mode.at(option) == QLatin1String("sheet")
            ? QByteArray("FILE \"") + source.toUtf8() + ".mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
              "INDEX 01 00:02:37\nTRACK 03 AUDIO\nINDEX 01 00:05:00\n"
            : QByteArray("0 2.5\n2.5 0:05.1\n0:05.1 1:00\n");
        mode[option] = writeFile(m_fixtures.filePath(mode.at(option)), text);
    }
    const Run run = cut(input, mode + QStringList{"-d", m_dir.path(), "--json"});
    QVERIFY2(run.code == 0, qPrintable(run.err));

    // A VBR piece has a header frame of its own, so that players know its
    // length (without one, they guess it from the first frame's bitrate).
    QByteArray together;
    int frames = 0;
    for (const QJsonObject &piece : pieceLines(run.out)) {
        const QString name = piece.value(QStringLiteral("name")).toString();
        QCOMPARE(QFileInfo(name).size(), qint64(piece.value(QStringLiteral("bytes")).toDouble()));
        const int pieceFrames = piece.value(QStringLiteral("frames")).toInt();
        const QVector<QByteArray> audio = packets(name);
        QCOMPARE(audio.size(), pieceFrames);
        QVERIFY2(std::abs(probedSeconds(name) - pieceFrames * FrameSeconds) < 0.001, qPrintable(name));
        frames += pieceFrames;
        together += joined(audio, 0, audio.size());
    }
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), pieces);
    // From the frame nearest the start as heard, as a single cut from 0 has it.
    const QVector<QByteArray> audio = packets(input);
    // A range list's last end, past the audio, stops where the audio is heard to end.
    const int end = option > 0 && mode.contains(QStringLiteral("--ranges")) ? frameAt(9) : audio.size();
    QCOMPARE(frames, end - frameAt(0));
    QVERIFY2(together == joined(audio, frameAt(0), end), "every audio frame in exactly one piece, in order");
}

void TestBatchCut::rangesAreCutAsListed()
{
    // Overlapping and apart, as listed; an end past the audio stops where the
    // audio ends, as a single cut of the range does.
    const QString list = writeFile(m_fixtures.filePath(QStringLiteral("ranges")),
                                   "# name them\n1 2.5 first one\n2 3 second.mp3\n\n8 20\n");
    const Run run = cut(m_pauses, {"--ranges", list, "-d", m_dir.path()});
    QVERIFY2(run.code == 0, qPrintable(run.err));

    const QVector<QByteArray> audio = packets(m_pauses);
    QCOMPARE(readAll(piecePath(QStringLiteral("first one.mp3"))), joined(audio, frameAt(1), frameAt(2.5)));
    QCOMPARE(readAll(piecePath(QStringLiteral("second.mp3"))), joined(audio, frameAt(2), frameAt(3)));
    QCOMPARE(readAll(piecePath(QStringLiteral("pauses_3.mp3"))), joined(audio, frameAt(8), frameAt(9)));
}

void TestBatchCut::pieceIsTheSingleCut_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("mode");
    QTest::newRow("VBR, header frame moves the start") << fixturePath(QStringLiteral("vbr_xing.mp3"))
                                                         << "1.010" << "2.000" << QStringList();
    QTest::newRow("VBR, from 0") << m_vbr << "0" << "1.5" << QStringList();
    QTest::newRow("CBR, end past the audio") << m_pauses << "7.3" << "20" << QStringList();
    QTest::newRow("exact") << m_vbr << "2.345" << "4.1" << QStringList{"--exact"};
    QTest::newRow("quieter, with fades") << m_vbr << "1" << "3.2"
                                         << QStringList{"--gain", "-3", "--fade-in", "0.5", "--fade-out", "0.2"};
    QTest::newRow("exact, normalised") << m_vbr << "0.4" << "2.9" << QStringList{"--exact", "--normalize"};
}

// A piece of a batch and the single cut of the same range are one file.
void TestBatchCut::pieceIsTheSingleCut()
{
    QFETCH(QString, source);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QStringList, mode);
    const QString single = m_dir.filePath(QStringLiteral("single.mp3"));
    const Run cutOnce = cut(source, QStringList{"-s", start, "-e", end, "-o", single} + mode);
    QVERIFY2(cutOnce.code == 0, qPrintable(cutOnce.err));
    const QString list = writeFile(m_fixtures.filePath(QStringLiteral("one")), (start + ' ' + end + " piece\n").toUtf8());
    // The folder is made, as mp3splt makes it.
    const Run batch = cut(source, QStringList{"--ranges", list, "-d", m_dir.filePath("new/folder")} + mode);
    QVERIFY2(batch.code == 0, qPrintable(batch.err));
    QCOMPARE(readAll(piecePath(QStringLiteral("new/folder/piece.mp3"))), readAll(single));
}

void TestBatchCut::exactPiecesPlayAsTheSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("mode");
    QTest::newRow("every, VBR") << m_vbr << QStringList{"--every", "1.7"};
    QTest::newRow("silences, CBR") << m_pauses << QStringList{"--silences", "--min-silence", "0.8"};
    QTest::newRow("chapters, VBR") << m_fixtures.filePath(QStringLiteral("pauses_vbr_chapters.mp3"))
                                   << QStringList{"--split-chapters"};
}

void TestBatchCut::exactPiecesPlayAsTheSource()
{
    QFETCH(QString, source);
    QFETCH(QStringList, mode);
    const Run run = cut(source, mode + QStringList{"-d", m_dir.path(), "--exact", "--json"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QByteArray together;
    for (const QJsonObject &piece : pieceLines(run.out))
        together += decoded(piece.value(QStringLiteral("name")).toString());
    const QByteArray whole = decoded(source);
    QVERIFY(!whole.isEmpty());
    QVERIFY2(together == whole, "the pieces played one after the other are the source, sample for sample");
}

void TestBatchCut::cueTracksNameTheTags()
{
    const QString sheet = writeFile(m_fixtures.filePath(QStringLiteral("tags.cue")),
                                    "PERFORMER \"Band\"\nFILE \"pauses.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"One\"\n"
                                    "INDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"Two\"\nPERFORMER \"Guest\"\nINDEX 01 00:04:00\n");
    const Run run = cut(m_pauses, {"--cue", sheet, "-d", m_dir.path(), "--keep-tags"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QStringList names = QDir(m_dir.path()).entryList(QDir::Files);
    QCOMPARE(names, (QStringList{"1 Band - One.mp3", "2 Guest - Two.mp3"}));
    for (int i = 0; i < names.size(); ++i) {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                                QStringLiteral("format_tags=title,artist,track"), QStringLiteral("-of"),
                                                QStringLiteral("json"), piecePath(names.at(i))});
        QVERIFY(probe.waitForFinished(60000));
        const QJsonObject tags = QJsonDocument::fromJson(probe.readAllStandardOutput())
                                     .object().value(QStringLiteral("format")).toObject().value(QStringLiteral("tags")).toObject();
        QCOMPARE(tags.value(QStringLiteral("title")).toString(), i == 0 ? QStringLiteral("One") : QStringLiteral("Two"));
        QCOMPARE(tags.value(QStringLiteral("artist")).toString(), i == 0 ? QStringLiteral("Band") : QStringLiteral("Guest"));
        QCOMPARE(tags.value(QStringLiteral("track")).toString(), QString::number(i + 1));
    }
}

void TestBatchCut::dryRunMatchesTheRun_data()
{
    QTest::addColumn<QStringList>("mode");
    QTest::newRow("every") << QStringList{"--every", "1.5"};
    QTest::newRow("silences") << QStringList{"--silences", "--min-silence", "0.8", "--name", "{n} {start}.mp3"};
}

void TestBatchCut::dryRunMatchesTheRun()
{
    QFETCH(QStringList, mode);
    const Run dry = cut(m_pauses, mode + QStringList{"-d", m_dir.path(), "--dry-run"});
    QCOMPARE(dry.code, 0);
    QVERIFY(QDir(m_dir.path()).isEmpty());
    const QJsonObject plan = QJsonDocument::fromJson(dry.out.toUtf8()).object();
    const QJsonArray planned = plan.value(QStringLiteral("pieces")).toArray();
    const QJsonArray points = plan.value(QStringLiteral("splitPoints")).toArray();

    const Run real = cut(m_pauses, mode + QStringList{"-d", m_dir.path(), "--json"});
    QCOMPARE(real.code, 0);
    const QVector<QJsonObject> written = pieceLines(real.out);
    QCOMPARE(written.size(), planned.size());
    QCOMPARE(points.size(), planned.size() - 1);
    for (int i = 0; i < written.size(); ++i) {
        QCOMPARE(written.at(i), planned.at(i).toObject());
        if (i > 0)
            QCOMPARE(written.at(i).value(QStringLiteral("start")), points.at(i - 1));
    }
}

void TestBatchCut::silencesWhereThePausesAre_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<double>>("splits");   // as the player has them

    QTest::newRow("2 s pause; 1 s is too short") << m_pauses << QStringList() << QList<double>{2.0};
    QTest::newRow("both pauses") << m_pauses << QStringList{"--min-silence", "0.8"} << QList<double>{2.0, 6.5};
    QTest::newRow("VBR") << m_vbr << QStringList{"--min-silence", "0:00.8"} << QList<double>{2.0, 6.5};
    QTest::newRow("speech, gaps between syllables are no pause") << m_speech << QStringList() << QList<double>{4.0};
    QTest::newRow("speech, shorter pauses") << m_speech << QStringList{"--min-silence", "1"} << QList<double>{4.0, 7.1};
    QTest::newRow("no pause in music") << m_music << QStringList() << QList<double>{};
    QTest::newRow("noise above the threshold") << m_noisy << QStringList() << QList<double>{};
    QTest::newRow("noise below a higher threshold") << m_noisy << QStringList{"--threshold", "-30dB"} << QList<double>{2.0};
}

void TestBatchCut::silencesWhereThePausesAre()
{
    QFETCH(QString, source);
    QFETCH(QStringList, options);
    QFETCH(QList<double>, splits);

    const Run run = cut(source, QStringList{"--silences", "-d", m_dir.path(), "--dry-run"} + options);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QJsonArray points = QJsonDocument::fromJson(run.out.toUtf8()).object().value(QStringLiteral("splitPoints")).toArray();
    QCOMPARE(points.size(), splits.size());
    for (int i = 0; i < splits.size(); ++i) {
        const double found = points.at(i).toDouble();
        QVERIFY2(qAbs(found - splits.at(i)) <= FrameSeconds, qPrintable(QString::number(found)));
    }
}

void TestBatchCut::clashesStopTheWholeJob()
{
    const QString taken = m_dir.write(QStringLiteral("pauses_3.mp3"), "keep me");
    const Run refused = cut(m_pauses, {"--every", "2", "-d", m_dir.path()});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.err.contains(taken + QStringLiteral("\" exists")), qPrintable(refused.err));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("pauses_3.mp3")});
    QCOMPARE(readAll(taken), QByteArray("keep me"));

    // Two pieces under one name: every clash told, and the folder that is
    // not there yet is not made for a job that is refused.
    const Run clash = cut(m_pauses, {"--every", "2", "-d", m_dir.filePath("none"), "--name", "same.mp3"});
    QCOMPARE(clash.code, 1);
    QVERIFY(!QFileInfo::exists(m_dir.filePath("none")));
    QCOMPARE(clash.err.count(QStringLiteral("are both named \"same.mp3\"")), 4);

    const Run replaced = cut(m_pauses, {"--every", "2", "-d", m_dir.path(), "--overwrite"});
    QCOMPARE(replaced.code, 0);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
    QVERIFY(readAll(taken) != QByteArray("keep me"));
}

void TestBatchCut::failureMidwayKeepsTheDonePieces()
{
    // A file-size limit (about 12 or 24 KB, by the shell's block size) that
    // the third piece (7 s at 64 kbit/s) passes and the first two do not.
    const QString list = writeFile(m_fixtures.filePath(QStringLiteral("midway")), "0 1\n1 2\n2 9\n");
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                       QStringLiteral("trap '' XFSZ; ulimit -f 24; exec \"$0\" \"$@\""),
                                       QStringLiteral(SNIPWAVE_CUT_EXECUTABLE), m_pauses, QStringLiteral("--ranges"),
                                       list, QStringLiteral("-d"), m_dir.path()});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.exitCode(), 1);
    QVERIFY(shell.readAllStandardError().contains(
        "pauses_3.mp3: File too large (2 of 3 pieces written, the last " + QFile::encodeName(piecePath(QStringLiteral("pauses_2.mp3"))) + ')'));
    const QVector<QByteArray> audio = packets(m_pauses);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("pauses_1.mp3"), QStringLiteral("pauses_2.mp3")}));
    QCOMPARE(readAll(piecePath(QStringLiteral("pauses_2.mp3"))), joined(audio, frameAt(1), frameAt(2)));
}

// The folder is swept for a killed run's temporaries once per job, not by
// every piece.
void TestBatchCut::staleTemporaryIsRemoved()
{
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString stale = writeFile(piecePath(QStringLiteral(".snipwave-%1-k3x9a0.part").arg(gone)), "partial");
    const struct timespec old = {::time(nullptr) - 2 * 60 * 60, 0};
    const struct timespec times[2] = {old, old};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(stale).constData(), times, 0), 0);

    QCOMPARE(cut(m_pauses, {"--every", "3", "-d", m_dir.path()}).code, 0);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"pauses_1.mp3", "pauses_2.mp3", "pauses_3.mp3"}));
}

void TestBatchCut::wrongCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("two modes") << QStringList{"--every", "2", "--silences", "-d", "."} << "one of --every";
    QTest::newRow("no folder") << QStringList{"--every", "2"} << "--dir is missing";
    QTest::newRow("two folders") << QStringList{"--every", "2", "-d", ".", "--dir", "/tmp"} << "--dir given more than once";
    QTest::newRow("zero step") << QStringList{"--every", "0", "-d", "."} << "bad --every '0'";
    QTest::newRow("bad threshold") << QStringList{"--silences", "--threshold", "45", "-d", "."} << "bad --threshold '45'";
    QTest::newRow("threshold without silences") << QStringList{"--every", "2", "--threshold", "-40", "-d", "."}
                                                << "go with --silences";
    QTest::newRow("threshold without silences, chapters")
        << QStringList{"--chapters-every", "2", "--threshold", "-40", "-o", "x.mp3"} << "go with --chapters-at-silences";
    QTest::newRow("unknown field") << QStringList{"--every", "2", "--name", "{track}.mp3", "-d", "."} << "{track}";
    QTest::newRow("gain and normalise") << QStringList{"--every", "2", "--gain", "3", "--normalize", "-d", "."}
                                        << "--gain and --normalize both set the level";
}

void TestBatchCut::wrongCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = cut(m_pauses, arguments);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

// Jobs refused before anything is planned or written, with the reason.
void TestBatchCut::jobRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("a tiny step") << QStringList{"--every", "0.001"} << "pieces, more than the 100000 one job may cut";
    QTest::newRow("no chapters") << QStringList{"--split-chapters"} << "long.mp3: no chapters to split by";
    QTest::newRow("a sheet without end") << QStringList{"--cue", "/dev/zero"} << "/dev/zero: larger than 4 MiB";
    QTest::newRow("a list without end") << QStringList{"--ranges", "/dev/zero"} << "/dev/zero: larger than 4 MiB";
    QTest::newRow("a list of too many ranges") << QStringList{"--ranges", "many"} << "100001 pieces, more than the 100000";
    QTest::newRow("names of our temporary files") << QStringList{"--every", "60", "--name", ".snipwave-99999{n}-abc.part"}
                                                  << "piece 1: \".snipwave-999991-abc.part\" has the form of Snipwave's temporary files";
    QTest::newRow("a level change of Layer II") << QStringList{"--every", "60", "--gain", "-3", "layer2"}
                                                << "piece 1: MPEG-1 Layer-2: the level can only change";
}

void TestBatchCut::jobRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QByteArray many;
    for (int i = 0; i < 100001; ++i)
        many += "0 1\n";
    const QString list = writeFile(m_fixtures.filePath(QStringLiteral("many")), many);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^many$")), list);
    // Over two minutes: 100001 pieces of a millisecond.
    QString source = writeFile(m_fixtures.filePath(QStringLiteral("long.mp3")),
                               Mp3StreamBuilder().frames(5000, 0xFB, 0x90).bytes);
    if (arguments.removeOne(QStringLiteral("layer2")))
        source = fixturePath(QStringLiteral("layer2.mp2"));
    const Run run = cut(source, arguments << QStringLiteral("-d") << m_dir.path());
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(QDir(m_dir.path()).isEmpty());
}

QTEST_APPLESS_MAIN(TestBatchCut)
#include "tst_batchcut.moc"
