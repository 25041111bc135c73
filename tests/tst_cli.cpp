#include "cuttool.h"
#include "scan/mp3fileinfo.h"
#include "tags/chapterreader.h"
#include "tags/chapterwriter.h"
#include "mp3streambuilder.h"
#include "format/mpegheader.h"
#include "testfiles.h"
#include "edit/timeparser.h"

#include <QtTest>

#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <sys/stat.h>

namespace {

const QString Data = fixturePath(QString());

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    CutTool tool(out, err);
    run.code = tool.run(QStringList{QStringLiteral("snipwave-cut")} + arguments);
    return run;
}

} // namespace

Q_DECLARE_METATYPE(Chapter)

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void parseTime_data();
    void parseTime();
    void refuseTime_data();
    void refuseTime();

    void commandLine_data();
    void commandLine();
    void infoJson_data();
    void infoJson();
    void infoListsChapters();
    void chaptersWritten_data();
    void chaptersWritten();
    void cutWritesTheFrames();
    void editWritesWhatItPlans_data();
    void editWritesWhatItPlans();
    void levelKeepsTheWholeFile_data();
    void levelKeepsTheWholeFile();
    void envelopeJson_data();
    void envelopeJson();

    void executable_data();
    void executable();
    void executableCutsARealFile();
    void namesAreTakenAsTheirBytes_data();
    void namesAreTakenAsTheirBytes();

private:
    ScratchFolder m_dir;
};

void TestCli::init()
{
    QVERIFY(m_dir.renew());
}

void TestCli::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms");

    QTest::newRow("seconds") << "83" << qint64(83000);
    QTest::newRow("zero") << "0" << qint64(0);
    QTest::newRow("leading zeros") << "007" << qint64(7000);
    QTest::newRow("three fraction digits") << "83.456" << qint64(83456);
    QTest::newRow("one fraction digit is tenths") << "83.4" << qint64(83400);
    QTest::newRow("two fraction digits") << "83.45" << qint64(83450);
    QTest::newRow("one millisecond") << "0.001" << qint64(1);
    // 0.29 x 1000 is 289.99999999999997 in binary floating point.
    QTest::newRow("0.29 is not 289 ms") << "0.29" << qint64(290);
    QTest::newRow("4.1 is not 4099 ms") << "4.1" << qint64(4100);
    QTest::newRow("an hour in seconds") << "3600" << qint64(3600000);
    QTest::newRow("minutes and seconds") << "1:23.456" << qint64(83456);
    QTest::newRow("ninety minutes") << "90:00" << qint64(5400000);
    QTest::newRow("59:59.999") << "59:59.999" << qint64(3599999);
    QTest::newRow("hours") << "0:01:23.456" << qint64(83456);
    QTest::newRow("50 minutes") << "0:50:00" << qint64(3000000);
    QTest::newRow("more than a day") << "25:00:00" << qint64(90000000);
    QTest::newRow("display form") << "00:01:23\"456" << qint64(83456);
    QTest::newRow("display form, last of a day") << "23:59:59\"999" << qint64(86399999);
    QTest::newRow("largest") << "99999999999.999" << TimeParser::MaxMilliseconds;
}

void TestCli::parseTime()
{
    QFETCH(QString, text);
    qint64 ms = -1;
    QString reason;
    QVERIFY2(TimeParser::parse(text, &ms, &reason), qPrintable(reason));
    QTEST(ms, "ms");
}

void TestCli::refuseTime_data()
{
    QTest::addColumn<QString>("text");

    for (const char *text : {"", "-1", "+1", " 1", "1 ", "1.", ".5", "1.2345", "1.0000", "1,5", "1e3",
                             "0x10", "12:3a", "1:2", "1:60", "1:123", "1:00:60", "1:60:00", "1::00",
                             ":30", "30:", "1:00:00:00", "1:00.", "00:01:23\"45", "00:01:23\"4567",
                             "01:23\"456", "83\"456", "1.5\"000", "00:01:23\"", "100000000000",
                             "99999999999999:00:00", "99999999999999999999999999"})
        QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
    // Digits of other scripts are digits to QChar, but not times here.
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("\u0661\u0662");
    QTest::newRow("fullwidth digits") << QString::fromUtf8("\uFF11:00");
}

void TestCli::refuseTime()
{
    QFETCH(QString, text);
    qint64 ms = -7;
    QString reason;
    QVERIFY(!TimeParser::parse(text, &ms, &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(ms, qint64(-7));
}

// The in-process command: exit code and the start of what lands on each stream.
void TestCli::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString fixture = Data + QStringLiteral("vbr_xing.mp3");
    const QString cut = QStringLiteral("cut.mp3");
    const QString usageLine = QStringLiteral("Usage: snipwave-cut INPUT");
    auto cutArgs = [&](const QString &start, const QString &end) {
        return QStringList{fixture, QStringLiteral("-s"), start, QStringLiteral("-e"), end,
                           QStringLiteral("-o"), cut};
    };

    QTest::newRow("help") << QStringList{"--help"} << 0 << usageLine << QString();
    QTest::newRow("help wins over the rest") << QStringList{"x.mp3", "-s", "bad", "-h"} << 0 << usageLine << QString();
    QTest::newRow("version") << QStringList{"--version"} << 0 << "snipwave-cut " SNIPWAVE_VERSION "\n" << QString();

    QTest::newRow("nothing") << QStringList() << 2 << QString() << "snipwave-cut: no input file\nUsage:";
    QTest::newRow("unknown option") << QStringList{fixture, "--frobnicate"} << 2 << QString()
                                    << "snipwave-cut: Unknown option 'frobnicate'.";
    QTest::newRow("option without value") << QStringList{fixture, "-o"} << 2 << QString()
                                          << "snipwave-cut: Missing value after '-o'.";
    QTest::newRow("no end") << QStringList{fixture, "-s", "1", "-o", cut} << 2 << QString()
                            << "snipwave-cut: --end is missing";
    QTest::newRow("no output") << QStringList{fixture, "-s", "1", "-e", "2"} << 2 << QString()
                               << "snipwave-cut: --output is missing";
    QTest::newRow("two inputs") << QStringList{fixture, fixture, "-s", "1", "-e", "2", "-o", cut} << 2
                                << QString() << "snipwave-cut: one input file only, got 2";
    QTest::newRow("start twice") << (cutArgs("1", "2") << "--start" << "0") << 2 << QString()
                                 << "snipwave-cut: --start given more than once";
    QTest::newRow("negative start") << cutArgs("-1", "2") << 2 << QString() << "snipwave-cut: bad --start '-1'";
    QTest::newRow("60 seconds") << cutArgs("1", "0:60") << 2 << QString() << "snipwave-cut: bad --end '0:60'";
    QTest::newRow("four fraction digits") << cutArgs("1.0001", "2") << 2 << QString()
                                          << "snipwave-cut: bad --start '1.0001'";
    QTest::newRow("end before start") << cutArgs("2", "1.999") << 2 << QString()
                                      << "snipwave-cut: --end lies before --start";
    QTest::newRow("info with cut options") << QStringList{"--info", fixture, "-s", "1"} << 2 << QString()
                                           << "snipwave-cut: --info takes no --start";
    QTest::newRow("info without input") << QStringList{"--info"} << 2 << QString() << "snipwave-cut: no input file";
    QTest::newRow("info with --sync") << QStringList{"--info", fixture, "--sync"} << 2 << QString()
                                      << "snipwave-cut: --info takes no";

    QTest::newRow("missing input") << QStringList{Data + "none.mp3", "-s", "1", "-e", "2", "-o", cut} << 1
                                   << QString() << "snipwave-cut: " + Data + "none.mp3: File open failed. (No such file or directory)";
    QTest::newRow("info on a missing file") << QStringList{"--info", Data + "none.mp3"} << 1 << QString()
                                            << "snipwave-cut: " + Data + "none.mp3: No such file";
    QTest::newRow("info, no frame") << QStringList{"-i", Data + "crc_protected.packets.csv"} << 1 << QString()
                                    << "snipwave-cut: " + Data + "crc_protected.packets.csv: no MPEG audio frame found";
    QTest::newRow("start beyond the audio") << cutArgs("10", "11") << 1 << QString()
                                            << "snipwave-cut: Start time is beyond the end of audio. (error -10)\n";
    QTest::newRow("output folder missing")
        << QStringList{fixture, "-s", "1", "-e", "2", "-o", "missing/cut.mp3"} << 1 << QString()
        << "snipwave-cut: File creating failed. (No such file or directory) (error -8)\n";
    QTest::newRow("output is the input") << QStringList{fixture, "-s", "1", "-e", "2", "-o", fixture} << 2
                                         << QString() << "snipwave-cut: " + fixture + ": The output file is the source file.";
    QTest::newRow("nothing whole in the range") << cutArgs("1", "1.005") << 1 << QString()
                                                << "snipwave-cut: No whole frame lies between start and end. (error -11)\n";
    QTest::newRow("exact and tags on the info") << QStringList{"--info", fixture, "--exact"} << 2 << QString()
                                                << "snipwave-cut: --info takes no --exact";

    QTest::newRow("envelope with cut options") << QStringList{"--envelope", fixture, "-o", cut} << 2 << QString()
                                               << "snipwave-cut: --envelope takes no --output";
    QTest::newRow("columns without envelope") << QStringList{"--info", fixture, "--columns", "5"} << 2
                                              << QString() << "snipwave-cut: --columns goes with --envelope";
    for (const char *bad : {"0", "100001", "12x", ""})
        QTest::newRow(qPrintable(QStringLiteral("columns '%1'").arg(bad)))
            << QStringList{"--envelope", fixture, "--columns", bad} << 2 << QString()
            << QStringLiteral("snipwave-cut: bad --columns '%1'").arg(bad);
    const QString mpeg2 = Data + QStringLiteral("mpeg2_mono_22050.mp3");
    QTest::newRow("remove and keep") << QStringList{fixture, "--remove", "1-2", "--keep", "0-1", "-o", cut} << 2
                                     << QString() << "snipwave-cut: one of --remove, --keep or --join";
    QTest::newRow("join of one file") << QStringList{"--join", fixture, "-o", cut} << 2 << QString()
                                      << "snipwave-cut: --join takes two input files or more";
    QTest::newRow("range backwards") << QStringList{fixture, "--remove", "2-1", "-o", cut} << 2 << QString()
                                     << "snipwave-cut: bad --remove '2-1'";
    QTest::newRow("range without an end") << QStringList{fixture, "--keep", "2", "-o", cut} << 2 << QString()
                                          << "snipwave-cut: bad --keep '2'";
    QTest::newRow("start with remove") << QStringList{fixture, "--remove", "1-2", "-s", "1", "-o", cut} << 2
                                       << QString() << "snipwave-cut: --start and --end go with a single cut";
    QTest::newRow("dry run without json") << (cutArgs("1", "2") << "--dry-run") << 2 << QString()
                                          << "snipwave-cut: --dry-run prints the plan as JSON";
    QTest::newRow("join of two formats") << QStringList{"--join", fixture, mpeg2, "-o", cut} << 1 << QString()
                                         << "snipwave-cut: The files differ in format; joining needs one MPEG "
                                            "version, layer, sampling rate and channel count (MPEG-1 Layer-3, "
                                            "44100 Hz, stereo / MPEG-2 Layer-3, 22050 Hz, mono)";
    QTest::newRow("remove it all") << QStringList{fixture, "--remove", "0-10", "-o", cut} << 1 << QString()
                                   << "snipwave-cut: No whole frame lies between start and end. (nothing is left)";
    for (const char *bad : {"loud", "97", "+", "3 dB more"})
        QTest::newRow(qPrintable(QStringLiteral("gain '%1'").arg(bad)))
            << QStringList{fixture, "-o", cut, "--gain", bad} << 2 << QString()
            << QStringLiteral("snipwave-cut: bad --gain '%1'").arg(bad);
    QTest::newRow("gain and normalize") << QStringList{fixture, "-o", cut, "--gain", "3", "--normalize"} << 2
                                        << QString() << "snipwave-cut: --gain and --normalize both set the level";
    QTest::newRow("fade of no time") << QStringList{fixture, "-o", cut, "--fade-in", "1:60"} << 2 << QString()
                                     << "snipwave-cut: bad --fade-in '1:60'";
    QTest::newRow("whole file needs a level") << QStringList{fixture, "-o", cut} << 2 << QString()
                                              << "snipwave-cut: --start is missing";
    QTest::newRow("start without end, with a level") << QStringList{fixture, "-s", "1", "-o", cut, "--gain", "2"}
                                                     << 2 << QString() << "snipwave-cut: --end is missing";
    QTest::newRow("level of Layer II") << QStringList{Data + "layer2.mp2", "-o", cut, "--gain", "-3"} << 1
                                       << QString() << "snipwave-cut: " + Data + "layer2.mp2: MPEG-1 Layer-2: the level";
    QTest::newRow("envelope, no frame") << QStringList{"--envelope", Data + "crc_protected.packets.csv"} << 1
                                        << QString() << "snipwave-cut: " + Data + "crc_protected.packets.csv: no MPEG";

    // A FIFO would keep the query waiting for a writer; a header frame alone
    // holds no audio to measure.
    static QTemporaryDir odd;
    const QString fifo = odd.filePath(QStringLiteral("fifo"));
    const QString headerOnly = odd.filePath(QStringLiteral("header.mp3"));
    const QByteArray vbr = readAll(fixture);
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0
            && !writeFile(headerOnly, vbr.left(MpegHeader::frameBytes(vbr.constData()))).isEmpty());
    for (const char *query : {"--info", "--envelope"}) {
        QTest::addRow("%s on a FIFO", query) << QStringList{query, fifo} << 1 << QString()
                                             << "snipwave-cut: " + fifo + ": Is a FIFO (named pipe), not a file\n";
        QTest::addRow("%s on a header frame alone", query) << QStringList{query, headerOnly} << 1 << QString()
                                                           << "snipwave-cut: " + headerOnly + ": no MPEG audio frame found";
    }
    QTest::newRow("exact, from the end on") << (cutArgs("3", "99999") << "--exact") << 1 << QString()
                                            << "snipwave-cut: Start time is beyond the end of audio. (error -10)\n";
    QTest::newRow("output named like a temporary file")
        << QStringList{fixture, "-s", "1", "-e", "2", "-o", ".snipwave-12-abc.part"} << 1 << QString()
        << "snipwave-cut: File creating failed. (The name has the form of Snipwave's temporary files) (error -8)\n";
}

void TestCli::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);

    // Relative output names land in the test's own folder.
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    const Run run = runTool(arguments);
    QDir::setCurrent(here);

    QCOMPARE(run.code, code);
    QVERIFY2(run.out.startsWith(out), qPrintable(run.out));
    QVERIFY2(run.err.startsWith(err), qPrintable(run.err));
    if (out.isEmpty())
        QCOMPARE(run.out, QString());
    if (err.isEmpty())
        QCOMPARE(run.err, QString());
    // A usage error does nothing: it ends with the short usage text.
    if (code == CutTool::UsageError)
        QVERIFY(run.err.endsWith(CutTool::usage()));
    if (code != CutTool::Success)
        QVERIFY(QDir(m_dir.path()).isEmpty());
}

void TestCli::levelKeepsTheWholeFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CBR with a LAME header, protected") << "crc_protected.mp3";
    QTest::newRow("VBR, tagged") << "vbr_xing.mp3";
    QTest::newRow("no header frame, tagged") << "mpeg2_mono_22050.mp3";
}

// A whole file at another level: every frame, the same length as heard,
// and the same trims where the source has them (bare where it has none).
void TestCli::levelKeepsTheWholeFile()
{
    QFETCH(QString, name);
    const QString output = m_dir.filePath(QStringLiteral("level.mp3"));
    const Run run = runTool({Data + name, "-o", output, "--gain", "-4.5"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    const Mp3FileInfo before = Mp3FileInfo::read(Data + name);
    const Mp3FileInfo after = Mp3FileInfo::read(output);
    QCOMPARE(after.frames, before.frames);
    QCOMPARE(after.durationMs, before.durationMs);
    QCOMPARE(after.encoderDelay, before.encoderDelay);
    QCOMPARE(after.encoderPadding, before.encoderPadding);
    QCOMPARE(after.headerFrame, before.headerFrame);
}

// Fixture facts as the frame walk finds them; ffprobe lists the same packets
// (the Xing/Info frame is no audio frame). The lame fixtures hold 3.000 s as
// heard; the MPEG-2 one has no header frame, so all it decodes is heard.
void TestCli::editWritesWhatItPlans_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("seams");
    const QString vbr = Data + QStringLiteral("vbr_xing.mp3");
    const QString crc = Data + QStringLiteral("crc_protected.mp3");
    QTest::newRow("remove") << QStringList{vbr, "--remove", "0.5-1", "--remove", "2-2.2"} << 2;
    QTest::newRow("keep, out of order, exact") << QStringList{crc, "--keep", "2-2.5", "--keep", "0.3-1", "--exact"} << 1;
    QTest::newRow("remove the end") << QStringList{crc, "--remove", "2-10"} << 0;
    QTest::newRow("join") << QStringList{"--join", crc, crc} << 1;
    QTest::newRow("single cut") << QStringList{vbr, "-s", "1", "-e", "2"} << 0;
}

// The plan a dry run prints is the file the run writes.
void TestCli::editWritesWhatItPlans()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, seams);
    const Run dry = runTool(arguments + QStringList{"--dry-run", "--json"});
    QVERIFY2(dry.code == 0, qPrintable(dry.err));
    QVERIFY(QDir(m_dir.path()).isEmpty());
    const QJsonObject plan = QJsonDocument::fromJson(dry.out.toUtf8()).object();
    QCOMPARE(plan.value("seams").toArray().size(), seams);
    QCOMPARE(plan.value("spans").toArray().size(), seams + 1);
    // What is left of a file starts where the file does.
    if (arguments.contains(QStringLiteral("--remove")))
        QCOMPARE(plan.value("spans").toArray().first().toObject().value("start").toDouble(), 0.0);

    const QString output = m_dir.filePath(QStringLiteral("edit.mp3"));
    const Run run = runTool(arguments + QStringList{"-o", output});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(QFileInfo(output).size(), qint64(plan.value("bytes").toDouble()));
    const Mp3FileInfo written = Mp3FileInfo::read(output);
    QCOMPARE(written.frames, qint64(plan.value("frames").toDouble()));
}

void TestCli::infoJson_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("json");

    QTest::newRow("VBR with Xing") << "vbr_xing"
        << R"({"format":"MPEG-1 Layer-3","version":1,"layer":3,"bitrate":256,"sampleRate":44100,)"
           R"("tagSize":132,"firstFrameOffset":132,"frames":116,"durationMs":3000,"vbr":true,)"
           R"("encoderDelay":576,"encoderPadding":756,"headerFrame":{"kind":"Xing","frames":116,"bytes":30901},)"
           R"("streamEnd":31033})";
    QTest::newRow("MPEG-2 mono") << "mpeg2_mono_22050"
        << R"({"format":"MPEG-2 Layer-3","version":2,"layer":3,"bitrate":32,"sampleRate":22050,)"
           R"("tagSize":105,"firstFrameOffset":105,"frames":117,"durationMs":3056,"vbr":false,)"
           R"("encoderDelay":0,"encoderPadding":0,"headerFrame":{"kind":"none","frames":-1,"bytes":-1},)"
           R"("streamEnd":12330})";
    QTest::newRow("CRC, no tag") << "crc_protected"
        << R"({"format":"MPEG-1 Layer-3","version":1,"layer":3,"bitrate":128,"sampleRate":44100,)"
           R"("tagSize":0,"firstFrameOffset":0,"frames":116,"durationMs":3000,"vbr":false,)"
           R"("encoderDelay":576,"encoderPadding":756,"headerFrame":{"kind":"Info","frames":116,"bytes":48900},)"
           R"("streamEnd":48900})";
}

void TestCli::infoJson()
{
    QFETCH(QString, name);
    QFETCH(QString, json);
    const Run run = runTool({QStringLiteral("--info"), Data + name + QStringLiteral(".mp3")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, json + QLatin1Char('\n'));
    QJsonParseError error;
    QVERIFY(QJsonDocument::fromJson(run.out.toUtf8(), &error).isObject());
    QCOMPARE(error.error, QJsonParseError::NoError);
}

// Chapters as a tagger may leave them on the 2-second tone: one running past
// the end of the audio, one starting after it.
void TestCli::infoListsChapters()
{
    TagBlock tag = TagBlock::empty();
    for (const TagBlock::Frame &frame : ChapterWriter::frames({{"A", 0, 700}, {"B", 700, 2500}, {"C", 2600, 3000}}, 4))
        tag.addFrame(frame);
    const QString path = m_dir.write("chapters.mp3", tag.render(0) + readAll(Data + "tone_440hz_2s.mp3"));
    const Run run = runTool({QStringLiteral("--info"), path});
    QCOMPARE(run.code, 0);
    const QJsonObject info = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(QJsonDocument(info.value("chapters").toArray()).toJson(QJsonDocument::Compact),
             QByteArray(R"([{"endMs":700,"startMs":0,"title":"A"},{"endMs":2000,"startMs":700,"title":"B"}])"));
    QCOMPARE(QJsonDocument(info.value("chaptersSkipped").toArray()).toJson(QJsonDocument::Compact),
             QByteArray(R"([{"id":"chp1","title":"B","why":"shortened to the next one's start or the audio's end"},)"
                        R"({"id":"chp2","title":"C","why":"starts after the audio"}])"));
}

void TestCli::chaptersWritten_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("list");  // written as list.txt or sheet.cue
    QTest::addColumn<QVector<Chapter>>("chapters");

    QTest::newRow("range list") << QStringList{"--chapters-from", "list.txt"} << QByteArray("0 1 Intro\n1 2.5\n2.5 9 Outro\n")
                                << QVector<Chapter>{{"Intro", 0, 1000}, {"Chapter 2", 1000, 2500}, {"Outro", 2500, 3000}};
    QTest::newRow("CUE sheet") << QStringList{"--chapters-from", "sheet.cue"}
                               << QByteArray("FILE \"source.mp3\" MP3\n TRACK 01 AUDIO\n  TITLE \"One\"\n  INDEX 01 00:00:00\n"
                                             " TRACK 02 AUDIO\n  TITLE \"Two\"\n  INDEX 01 00:02:00\n")
                               << QVector<Chapter>{{"One", 0, 2000}, {"Two", 2000, 3000}};
    QTest::newRow("every") << QStringList{"--chapters-every", "0.75"} << QByteArray()
                           << QVector<Chapter>{{"Chapter 1", 0, 750}, {"Chapter 2", 750, 1500},
                                               {"Chapter 3", 1500, 2250}, {"Chapter 4", 2250, 3000}};
}

// The VBR fixture, 3.000 s as heard: its audio frames go out as they are,
// with the chapters where the list puts them.
void TestCli::chaptersWritten()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, list);
    QFETCH(QVector<Chapter>, chapters);
    const QString source = m_dir.write("source.mp3", readAll(Data + "vbr_xing.mp3"));
    if (!list.isEmpty())
        m_dir.write(options.at(1), list);
    QVERIFY(QDir::setCurrent(m_dir.path()));
    const Run run = runTool(QStringList{source} + options + QStringList{"-o", "out.mp3"});
    QCOMPARE(run.code, 0);
    QCOMPARE(ChapterReader::read(m_dir.filePath("out.mp3")).chapters, chapters);
    QVERIFY(readAll(m_dir.filePath("out.mp3")).contains(packetBytes("vbr_xing", 0, 1000)));
}

void TestCli::envelopeJson_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("count");
    QTest::newRow("default") << QStringList() << 200;
    QTest::newRow("one") << QStringList{"--columns", "1"} << 1;
    QTest::newRow("33") << QStringList{"--columns", "33"} << 33;
}

// A steady tone: every column about as loud as the next, none silent.
void TestCli::envelopeJson()
{
    QFETCH(QStringList, options);
    QFETCH(int, count);
    const Run run = runTool(QStringList{"--envelope", Data + "tone_440hz_2s.mp3"} + options);
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    QVERIFY(run.out.endsWith(QLatin1Char('\n')));
    const QJsonArray values = QJsonDocument::fromJson(run.out.toUtf8()).array();
    QCOMPARE(values.size(), count);
    for (const QJsonValue &value : values)
        QVERIFY2(value.toDouble() > 0.5 && value.toDouble() <= 1.0, qPrintable(run.out));
}

// Times reach the cutter to the millisecond: at 48 kHz a frame lasts exactly
// 24 ms, and a mark goes to the nearest frame boundary, so one millisecond
// either side of the middle of a frame moves the cut by a frame.
void TestCli::cutWritesTheFrames()
{
    const Mp3StreamBuilder s = Mp3StreamBuilder().tag(50).frames(200, 0xFB, 0x94);
    const QString input = m_dir.write(QStringLiteral("in.mp3"), s.bytes);
    const QString output = m_dir.filePath(QStringLiteral("out.mp3"));
    const struct { const char *start; const char *end; int first; int count; } cases[] = {
        {"0.048", "0.096", 2, 2},
        {"0.035", "0.085", 1, 3},
        {"0:00.036", "00:00:00\"084", 2, 2},
        {"0:00:01.200", "2.4", 50, 50},
    };
    bool sync = false;
    for (const auto &c : cases) {
        // Every other cut flushed to the disk: the same bytes either way.
        QStringList arguments{input, QStringLiteral("--start"), c.start, QStringLiteral("--end"), c.end,
                              QStringLiteral("--output"), output};
        if ((sync = !sync))
            arguments << QStringLiteral("--sync");
        const Run run = runTool(arguments);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.err, QString());
        QVERIFY2(readAll(output) == s.framesBytes(c.first, c.count), c.start);
    }
}

// The real program: exit codes, and which stream gets the text (what the
// text says is checked in-process above).
void TestCli::executable_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("version") << QStringList{"--version"} << 0 << "snipwave-cut " SNIPWAVE_VERSION "\n" << QString();
    QTest::newRow("usage error") << QStringList{"in.mp3", "-s", "1:99", "-e", "2", "-o", "x.mp3"} << 2 << QString() << "snipwave-cut: bad --start";
    QTest::newRow("cut failure") << QStringList{Data + "crc_protected.mp3", "-s", "4", "-e", "5", "-o", "x.mp3"}
                                 << 1 << QString()
                                 << "snipwave-cut: Start time is beyond the end of audio. (error -10)\n";
}

void TestCli::executable()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(SNIPWAVE_CUT_EXECUTABLE), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), code);
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    const QString complained = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(printed.startsWith(out), qPrintable(printed));
    QVERIFY2(complained.startsWith(err), qPrintable(complained));
    if (out.isEmpty())
        QCOMPARE(printed, QString());
    if (err.isEmpty())
        QCOMPARE(complained, QString());
}

// Real encoder output cut by the real program, compared with the packets
// ffprobe lists. The cutter's other real-file cuts are in tst_mp3splitter.
void TestCli::executableCutsARealFile()
{
    const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
    QProcess process;
    process.start(QStringLiteral(SNIPWAVE_CUT_EXECUTABLE),
                  {Data + QStringLiteral("vbr_xing.mp3"), QStringLiteral("-s"), QStringLiteral("1"),
                   QStringLiteral("-e"), QStringLiteral("0:02"), QStringLiteral("-o"), output});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardError(), QByteArray());
    // Heard 1 s is decoded sample 44100 + 576 + 529, in frame 38.8: the cut
    // starts 529 samples sooner, as its own header frame makes decoders
    // trim that many, at packet 39; 2 s ends in packet 77.5, rounded up.
    const QByteArray expected = packetBytes(QStringLiteral("vbr_xing"), 39, 39);
    QVERIFY(!expected.isEmpty());
    const QByteArray written = readAll(output);
    const int header = MpegHeader::frameBytes(written.constData());
    QCOMPARE(written.size(), header + expected.size());
    QVERIFY(written.mid(header) == expected);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("cut.mp3")});
}

// A name's bytes that are no text in the locale's encoding would reach the
// file system as other bytes, naming another file (here the decoy, under
// the name such bytes turn into): refused. Arguments are built by printf in
// a shell, as they cannot pass through QProcess unchanged.
void TestCli::namesAreTakenAsTheirBytes_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("files"); // in the folder afterwards, besides the decoy

    const QString cut = QStringLiteral("\"$1\" -s 0 -e 1 -o ");
    QTest::newRow("--info on a Latin-1 name") << "--info \"$(printf 'x\\351.mp3')\"" << 2 << QStringList();
    QTest::newRow("an output named in Latin-1") << cut + "\"$(printf 'y\\351.mp3')\"" << 2 << QStringList();
    QTest::newRow("an output named in UTF-8") << cut + "\"$(printf 'y\\303\\251.mp3')\"" << 0
                                              << QStringList{QString::fromUtf8("y\xc3\xa9.mp3")};
}

void TestCli::namesAreTakenAsTheirBytes()
{
    QFETCH(QString, arguments);
    QFETCH(int, code);
    QFETCH(QStringList, files);
    const QString decoy = QString::fromUtf8("x\xef\xbf\xbd.mp3");
    QVERIFY(QFile::copy(Data + QStringLiteral("vbr_xing.mp3"), m_dir.filePath(decoy)));
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("sh"), {"-c", "exec \"$0\" " + arguments, SNIPWAVE_CUT_EXECUTABLE, m_dir.filePath(decoy)});
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(process.exitCode() == code, process.readAllStandardError().constData());
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    files << decoy;
    files.sort();
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
