#include "cuesheet.h"
#include "jobcheck.h"
#include "namepattern.h"
#include "orderedrunner.h"
#include "piecelist.h"
#include "rangelist.h"
#include "testfiles.h"

#include <QtTest>

#include <atomic>

namespace {

// "start-end" per piece, -1 for a piece to the end, joined by spaces.
QString spans(const QVector<Piece> &pieces)
{
    QStringList parts;
    for (const Piece &piece : pieces)
        parts << QStringLiteral("%1-%2").arg(piece.startMs).arg(piece.endMs);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.renew()); }

    void cueSheet_data();
    void cueSheet();
    void cueSheetRefused_data();
    void cueSheetRefused();
    void rangeList_data();
    void rangeList();
    void everyPieces_data();
    void everyPieces();
    void pieceNames_data();
    void pieceNames();
    void jobCheckReportsEveryProblem();
    void orderedRunner_data();
    void orderedRunner();

private:
    ScratchFolder m_dir;
};

void TestBatch::cueSheet_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QString>("starts");   // spans() of the pieces
    QTest::addColumn<QString>("names");    // "performer/title" per track, '|' between

    QTest::newRow("ripper sheet, quotes, REM, album performer")
        << QByteArray("REM GENRE Rock\r\nREM DATE 1999\r\nPERFORMER \"The Band\"\r\nTITLE \"Live\"\r\n"
                      "FILE \"C:\\Rips\\LIVE.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"Intro\"\r\n"
                      "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"Song \"Two\"\"\r\n"
                      "    PERFORMER \"Guest\"\r\n    INDEX 00 01:59:70\r\n    INDEX 01 02:00:37\r\n")
        << "0-120493 120493--1" << "The Band/Intro|Guest/Song \"Two\"";
    // 74 frames is the last frame of a second: 986.67 ms rounds to 987.
    QTest::newRow("unquoted values, lower case keywords, frame 74")
        << QByteArray("file live.mp3 MP3\ntrack 1 audio\ntitle Opening\nindex 01 00:10:74\n"
                      "track 2 audio\nindex 01 61:00:00\n")
        << "10987-3660000 3660000--1" << "/Opening|/";
    QTest::newRow("two FILE lines for the same file, UTF-8 with BOM")
        << QByteArray("\xEF\xBB\xBFTITLE \"Caf\xC3\xA9\"\nFILE \"live.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                      "FILE \"Live.MP3\" MP3\nTRACK 02 AUDIO\nTITLE \"Caf\xC3\xA9 2\"\nINDEX 01 00:30:00\n")
        << "0-30000 30000--1" << "/|/Caf\u00e9 2";
    QTest::newRow("Windows-1252 sheet")
        << QByteArray("FILE \"live.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"Ni\xF1o\"\nINDEX 01 00:00:00\n")
        << "0--1" << "/Ni\u00f1o";
}

void TestBatch::cueSheet()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QString, starts);
    QFETCH(QString, names);

    CueSheet cue;
    QString error;
    QVERIFY2(CueSheet::parse(sheet, QStringLiteral("/music/live.mp3"), &cue, &error), qPrintable(error));
    const QVector<Piece> pieces = PieceList::fromCue(cue);
    QCOMPARE(spans(pieces), starts);
    QStringList got;
    for (const Piece &piece : pieces)
        got << piece.performer + QLatin1Char('/') + piece.title;
    QCOMPARE(got.join(QLatin1Char('|')), names);
}

void TestBatch::cueSheetRefused_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QString>("error");

    QTest::newRow("another file on the second FILE line")
        << QByteArray("FILE \"live.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"other.mp3\" MP3\n")
        << "line 4: the sheet is for \"other.mp3\", not for \"live.mp3\"";
    QTest::newRow("same stem, but another name")
        << QByteArray("FILE \"live2.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n")
        << "line 1: the sheet is for \"live2.wav\", not for \"live.mp3\"";
    QTest::newRow("no track") << QByteArray("REM nothing\nFILE \"live.mp3\" MP3\n")
                              << "line 3: the sheet has no TRACK";
    QTest::newRow("missing INDEX 01 in the middle")
        << QByteArray("FILE live.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 01:00:00\n"
                      "TRACK 03 AUDIO\nINDEX 01 02:00:00\n")
        << "line 4: track 2 has no INDEX 01";
    QTest::newRow("missing INDEX 01 at the end")
        << QByteArray("FILE live.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n")
        << "line 4: track 2 has no INDEX 01";
    QTest::newRow("75 frames") << QByteArray("FILE live.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n")
                               << "line 3: \"00:00:75\" is not a time mm:ss:ff";
    const QByteArray head("FILE live.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 ");
    QTest::newRow("signed minutes") << head + "-0:05:00\n" << "line 3: \"-0:05:00\" is not a time mm:ss:ff";
    QTest::newRow("signed seconds") << head + "00:+5:00\n" << "line 3: \"00:+5:00\" is not a time mm:ss:ff";
    QTest::newRow("minutes past 64 bits") << head + "9223372036854775807:00:00\n"
                                          << "line 3: \"9223372036854775807:00:00\" is not a time mm:ss:ff";
    QTest::newRow("track number past an int") << QByteArray("FILE live.mp3 MP3\nTRACK 4294967297 AUDIO\n")
                                              << "line 2: \"4294967297\" is not a track number from 1 to 99";
    QTest::newRow("tracks out of order")
        << QByteArray("FILE live.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 01:00:00\nTRACK 02 AUDIO\nINDEX 01 00:30:00\n")
        << "line 5: track 2 starts before the track ahead of it ends";
}

void TestBatch::cueSheetRefused()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QString, error);

    CueSheet cue;
    QString why;
    QVERIFY(!CueSheet::parse(sheet, QStringLiteral("live.mp3"), &cue, &why));
    QCOMPARE(why, error);
}

void TestBatch::rangeList_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("result");   // spans and names, or the error

    QTest::newRow("every time form, names with spaces, comments, overlap")
        << QByteArray("# chapters\n\n0 12:30 Intro\n  12:30\t1:00:00.5  The long middle part.mp3 \n0:00:01 2.25\n")
        << "0-750000 750000-3600500 1000-2250|Intro|The long middle part|";
    QTest::newRow("end before start") << QByteArray("0 10\n20 15 x\n") << "line 2: the end is not after the start";
    QTest::newRow("empty range") << QByteArray("10 10\n") << "line 1: the end is not after the start";
    QTest::newRow("bad time") << QByteArray("# c\n1:75 2:00\n") << "line 2: bad start '1:75': minutes and seconds must be below 60";
    QTest::newRow("one time only") << QByteArray("0 10\n30\n") << "line 2: expected START END [NAME]";
    QTest::newRow("names in UTF-8") << QByteArray("0 1 Ni\xC3\xB1o\n") << "0-1000|Ni\u00f1o";
    QTest::newRow("names in Windows-1252, as sheets") << QByteArray("0 1 Ni\xF1o \x93live\x94\n") << "0-1000|Ni\u00f1o \u201clive\u201d";
    QTest::newRow("signed times") << QByteArray("+0:05 0:10\n") << "line 1: bad start '+0:05': not a time";
    QTest::newRow("nothing") << QByteArray("# only a comment\n\n") << "the list holds no range";
}

void TestBatch::rangeList()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, result);

    QVector<RangeList::Range> ranges;
    QString error;
    if (!RangeList::parse(text, &ranges, &error)) {
        QCOMPARE(error, result);
        return;
    }
    const QVector<Piece> pieces = PieceList::fromRanges(ranges);
    QStringList got = {spans(pieces)};
    for (const Piece &piece : pieces)
        got << piece.title;
    QCOMPARE(got.join(QLatin1Char('|')), result);
}

void TestBatch::everyPieces_data()
{
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<QString>("pieces");

    QTest::newRow("rest in the last") << qint64(25000) << qint64(10000) << "0-10000 10000-20000 20000--1";
    QTest::newRow("exact multiple") << qint64(20000) << qint64(10000) << "0-10000 10000--1";
    QTest::newRow("short last joins") << qint64(20999) << qint64(10000) << "0-10000 10000--1";
    QTest::newRow("a second is kept") << qint64(21000) << qint64(10000) << "0-10000 10000-20000 20000--1";
    QTest::newRow("shorter than a step") << qint64(500) << qint64(10000) << "0--1";
    QTest::newRow("empty source") << qint64(0) << qint64(10000) << "";
}

void TestBatch::everyPieces()
{
    QFETCH(qint64, duration);
    QFETCH(qint64, step);
    QFETCH(QString, pieces);
    QCOMPARE(spans(PieceList::every(duration, step)), pieces);
}

void TestBatch::pieceNames_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name");   // of piece 7, 65.5 s to 1:02:03.004

    QTest::newRow("default, padded to the count") << NamePattern::defaultPattern() << "" << 12 << "talk_07.mp3";
    QTest::newRow("no padding below ten") << NamePattern::defaultPattern() << "" << 9 << "talk_7.mp3";
    QTest::newRow("three digits") << "{n}.mp3" << "" << 100 << "007.mp3";
    QTest::newRow("title with unsafe characters") << "{n} {title}.mp3" << "AC/DC: \"Live\"?\t*" << 10
                                                  << "07 AC_DC_ _Live____.mp3";
    QTest::newRow("no title: stem and number") << "{title}.mp3" << "" << 10 << "talk_07.mp3";
    QTest::newRow("times") << "{stem} {start}-{end}.mp3" << "" << 10 << "talk 01m05.500s-1h02m03.004s.mp3";
}

void TestBatch::pieceNames()
{
    QFETCH(QString, pattern);
    QFETCH(QString, title);
    QFETCH(int, count);
    QFETCH(QString, name);

    Piece piece;
    piece.startMs = 65500;
    piece.title = title;
    const NamePattern names(pattern);
    QString error;
    QVERIFY2(names.isValid(&error), qPrintable(error));
    QCOMPARE(names.fileName(piece, 7, count, QStringLiteral("talk"), 3723004), name);

    for (const QString bad : {"{nn}.mp3", "{n.mp3", "a/{n}.mp3", ""})
        QVERIFY2(!NamePattern(bad).isValid(&error), qPrintable(bad));
}

void TestBatch::jobCheckReportsEveryProblem()
{
    const QString source = m_dir.write(QStringLiteral("talk.mp3"), "source");
    const QString taken = m_dir.write(QStringLiteral("taken.mp3"), "keep me");
    QVERIFY(!source.isEmpty() && !taken.isEmpty());
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.mp3")));

    auto piece = [](const QString &name, qint64 start, qint64 end, const QString &origin) {
        Piece p;
        p.fileName = name;
        p.startFrame = start;
        p.endFrame = end;
        p.origin = origin;
        return p;
    };
    const QVector<Piece> pieces = {
        piece(QStringLiteral("fine.mp3"), 0, 10, QStringLiteral("line 1")),
        piece(QStringLiteral("taken.mp3"), 10, 20, QStringLiteral("line 2")),
        piece(QStringLiteral("fine.mp3"), 20, 30, QStringLiteral("line 3")),
        piece(QStringLiteral("late.mp3"), 100, 120, QStringLiteral("line 4")),
        piece(QStringLiteral("none.mp3"), 40, 40, QStringLiteral("line 5")),
        piece(QStringLiteral("talk.mp3"), 0, 5, QStringLiteral("line 6")),
        piece(QStringLiteral("folder.mp3"), 0, 5, QStringLiteral("line 7")),
        piece(QString(300, QLatin1Char('x')), 0, 5, QStringLiteral("line 8")),
    };
    JobCheck::Job job;
    job.source = source;
    job.folder = m_dir.path();
    job.frameCount = 100;
    const QStringList expected = {
        QStringLiteral("line 2: \"%1\" exists (--overwrite replaces it)").arg(taken),
        QStringLiteral("line 1 and line 3 are both named \"fine.mp3\""),
        QStringLiteral("line 4: starts after the audio ends"),
        QStringLiteral("line 5: holds no whole frame"),
        QStringLiteral("line 6: \"talk.mp3\" is the source itself"),
        QStringLiteral("line 7: \"folder.mp3\" is a folder"),
        QStringLiteral("line 8: the name \"%1\" is longer than 255 bytes").arg(QString(300, QLatin1Char('x'))),
    };
    QCOMPARE(JobCheck::problems(job, pieces), expected);

    // --overwrite lets the existing file go, never the source or a folder.
    job.overwrite = true;
    QCOMPARE(JobCheck::problems(job, pieces).size(), expected.size() - 1);

    job.folder = m_dir.filePath(QStringLiteral("missing"));
    QCOMPARE(JobCheck::problems(job, {pieces.first()}),
             QStringList{QStringLiteral("the output folder \"%1\" does not exist").arg(job.folder)});
}

void TestBatch::orderedRunner_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("failing");   // the task that fails, -1 for none
    QTest::addColumn<QString>("ran");   // the outcomes, in the order they came
    QTest::addColumn<int>("succeeded");

    QTest::newRow("one thread") << 1 << -1 << "0+ 1+ 2+ 3+ 4+" << 5;
    QTest::newRow("the first task ends last") << 2 << -1 << "0+ 1+ 2+ 3+ 4+" << 5;
    QTest::newRow("no task starts after a failure") << 1 << 2 << "0+ 1+ 2-" << 2;
    QTest::newRow("the running one ends after a failure") << 2 << 1 << "0+ 1-" << 1;
}

// Task 0 takes longest, so with two threads the others end before it.
void TestBatch::orderedRunner()
{
    QFETCH(int, threads);
    QFETCH(int, failing);
    QFETCH(QString, ran);
    QFETCH(int, succeeded);

    const Qt::HANDLE caller = QThread::currentThreadId();
    std::atomic<bool> onCaller{false};
    QStringList outcomes;
    const int done = OrderedRunner(threads, 5).run(
        5,
        [&](int index, int, QString *why) {
            onCaller = onCaller || QThread::currentThreadId() == caller;
            QThread::msleep(index == 0 ? 100 : 1);
            *why = QString::number(index);
            return index != failing;
        },
        [&](int index, bool ok, const QString &why) {
            QCOMPARE(why, QString::number(index));
            outcomes << QString::number(index) + (ok ? '+' : '-');
        });
    QCOMPARE(outcomes.join(' '), ran);
    QCOMPARE(done, succeeded);
    QVERIFY(!onCaller);
}

QTEST_APPLESS_MAIN(TestBatch)
#include "tst_batch.moc"
