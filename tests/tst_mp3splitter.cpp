#include "format/headerframe.h"
#include "scan/mp3fileinfo.h"
#include "mp3splitter.h"
#include "mp3streambuilder.h"
#include "format/mpegheader.h"
#include "testfiles.h"

#include <QtTest>

#include <QRandomGenerator>

using Bytes = QByteArray;

namespace {

const QByteArray Marker = QByteArrayLiteral("ERRO");

// MPEG-1 Layer III 128 kbit/s 44.1 kHz, the common case.
Mp3StreamBuilder cbr44(int count)
{
    return Mp3StreamBuilder().frames(count, 0xFB, 0x90);
}

Bytes junkWithFalseSyncs()
{
    // A header that is valid on its own but not followed by another, and
    // sync-like bytes that are no header at all.
    return QByteArray::fromHex("0000FFFB9000123456FFFFFFFF00FFF340001122") + QByteArray(30, 'j');
}

} // namespace

class TestMp3Splitter : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readFirstFrameHeader_data();
    void readFirstFrameHeader();

    void split_data();
    void split();
    void splitRealFiles_data();
    void splitRealFiles();

    void failures_data();
    void failures();
    void sourceGoneBeforeTheCopy();
    void failureKeepsAnEarlierFile();
    void messagesInOrder();
    void hostileInputNeverBreaksTheCut();

    void fileInfoCountsFramesOnly();

private:
    ScratchFolder m_dir;
};

void TestMp3Splitter::init()
{
    QVERIFY(m_dir.renew());
}

// header: the 4 bytes found (or the failure marker); offset: where they lie.
void TestMp3Splitter::readFirstFrameHeader_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("tagSize");
    QTest::addColumn<int>("scanCount");
    QTest::addColumn<bool>("noTag");
    QTest::addColumn<int>("offset");

    // The header of frame number `frame` of s is the one to find.
    auto found = [](const char *name, const Mp3StreamBuilder &s, int frame, int tagSize, int scanCount) {
        QTest::newRow(name) << s.bytes << s.bytes.mid(s.offsets[frame], 4) << tagSize << scanCount
                            << (tagSize == 0) << s.offsets[frame];
    };
    auto notFound = [](const char *name, const QByteArray &bytes, int tagSize) {
        QTest::newRow(name) << bytes << Marker << tagSize << 0 << (tagSize == 0) << -1;
    };

    const Mp3StreamBuilder tag257 = Mp3StreamBuilder().tag(257); // size bytes 00 00 02 01
    found("FF FB after a 257-byte tag", Mp3StreamBuilder(tag257).frames(5, 0xFB, 0x90), 0, 267, 0);
    {
        // Size bytes 00 01 00 00; the first frame's bitrate is not looked at.
        const Mp3StreamBuilder s = Mp3StreamBuilder().tag(16384).raw(QByteArray::fromHex("FFFB0000"));
        QTest::newRow("FF FB after a 16384-byte tag")
            << s.bytes << QByteArray::fromHex("FFFB0000") << 16394 << 0 << false << 16394;
    }
    // Any other frame right after the tag is found by the search, which
    // starts there.
    found("FF FA after a tag", Mp3StreamBuilder(tag257).frames(5, 0xFA, 0x90), 0, 267, 4);
    found("Layer II with a CRC after a tag", Mp3StreamBuilder(tag257).frames(5, 0xFD, 0x40), 0, 267, 4);
    found("Layer I after a tag", Mp3StreamBuilder(tag257).frames(3, 0xFF, 0x40), 0, 267, 4);
    {
        const Mp3StreamBuilder s = Mp3StreamBuilder(tag257).frames(5, 0xE2, 0x10);
        found("MPEG-2.5 CRC right after a tag", s, 0, 267, 4);
    }
    {
        const Mp3StreamBuilder s = Mp3StreamBuilder(tag257).raw(junkWithFalseSyncs()).frames(5, 0xFB, 0x90);
        found("junk with false syncs after a tag", s, 0, 267, s.offsets[0] - 267 + 4);
    }
    found("bytes of 0xFF before the frames",
          Mp3StreamBuilder().tag(300).raw(QByteArray(500, char(0xFF))).frames(5, 0xFB, 0x94), 0, 310, 504);
    found("MPEG-2 after a tag", Mp3StreamBuilder(tag257).raw("wxyz").frames(5, 0xF3, 0x40), 0, 267, 8);
    found("no tag", cbr44(3), 0, 0, 0);
    found("no tag, Layer I", Mp3StreamBuilder().frames(3, 0xFF, 0x40), 0, 0, 0);
    {
        const Mp3StreamBuilder s = Mp3StreamBuilder().raw(junkWithFalseSyncs()).frames(3, 0xFB, 0x90);
        found("no tag, junk first", s, 0, 0, s.offsets[0] + 4);
    }
    // A lone frame that ends exactly with the file is confirmed by that end.
    found("single frame at the end", Mp3StreamBuilder().raw("junk").frame(0xF3, 0x40), 0, 0, 8);
    {
        // Cover-art-like bytes longer than a read window, sync bytes everywhere.
        QByteArray junk;
        for (int i = 0; i < 300 * 1024; ++i)
            junk += char(i % 3 ? 0xFF : 0xFB);
        const Mp3StreamBuilder s = Mp3StreamBuilder().tag(100).raw(junk).frames(5, 0xFB, 0x90);
        found("frames after 300 KiB of sync-like junk", s, 0, 110, s.offsets[0] - 110 + 4);
    }
    notFound("empty file", QByteArray(), 0);
    notFound("three bytes", QByteArray("\xFF\xFB\x90", 3), 0);
    notFound("only junk", junkWithFalseSyncs(), 0);
    notFound("tag larger than the file", QByteArray::fromHex("494433030000 7F7F7F7F FFFB9000"), 268435465);
    notFound("unconfirmed frame after a tag",
             Mp3StreamBuilder(tag257).raw("\x01").frame(0xFB, 0x90).raw("\x01").bytes, 267);
}

void TestMp3Splitter::readFirstFrameHeader()
{
    QFETCH(QByteArray, source);
    QFETCH(int, offset);
    const QString path = m_dir.write(QStringLiteral("source.mp3"), source);
    Mp3Splitter splitter;
    QTEST(splitter.readFirstFrameHeader(path), "header");
    QTEST(splitter.getTagSize(), "tagSize");
    QTEST(splitter.getScanCount(), "scanCount");
    QTEST(splitter.getNoTag(), "noTag");
    if (offset >= 0)
        QCOMPARE(splitter.firstFrameOffset(), offset);
}

// A cut without an encoder's header frame in front holds frames a .. b-1,
// frame 0 being the first frame found: a and b are the frame boundaries
// nearest the marks, at start x rate / samples per frame, rounded. Frames that
// differ in bitrate also get a header frame, which makes decoders trim 529
// samples, so a is taken that much earlier.
void TestMp3Splitter::split_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("frames");

    auto row = [](const char *name, const Mp3StreamBuilder &s, qint64 start, qint64 end, int first,
                  int count) {
        QTest::newRow(name) << s.bytes << start << end << s.framesBytes(first, count) << count;
    };
    // At 44.1 kHz MPEG-1 Layer III a frame lasts 26.122 ms; frame 2 begins at 52.245 ms.
    row("tag, padding varies, from 0", Mp3StreamBuilder().tag(1000).frames(100, 0xFB, 0x90), 0, 1000000, 0, 38);
    row("no tag, padding varies", cbr44(100), 52245, 1052245, 2, 38);
    row("start 39 ms rounds to frame 1", cbr44(100), 39000, 1039000, 1, 39);
    row("start 40 ms rounds to frame 2", cbr44(100), 40000, 2051000, 2, 77);
    row("10 s at 44.1 kHz", cbr44(420), 10000000, 10500000, 383, 19);
    row("VBR with a tag", Mp3StreamBuilder().tag(64).vbrFrames(100), 500000, 1500000, 19, 38);
    row("VBR without a tag", Mp3StreamBuilder().vbrFrames(100), 0, 2000000, 0, 77);
    // 48 kHz: exactly 24 ms per frame.
    row("48 kHz boundary", Mp3StreamBuilder().frames(100, 0xFB, 0x94), 48000, 72000, 2, 1);
    row("48 kHz half a frame", Mp3StreamBuilder().frames(100, 0xFB, 0x94), 36000, 84000, 2, 2);
    row("MPEG-2 22.05 kHz after tag and junk",
        Mp3StreamBuilder().tag(200).raw(junkWithFalseSyncs()).frames(100, 0xF3, 0x40), 1000000, 2000000, 38, 39);
    row("MPEG-2 24 kHz CRC, no tag", Mp3StreamBuilder().frames(100, 0xF2, 0x84), 240000, 480000, 10, 10);
    // MPEG-2.5 11.025 kHz Layer III: 52.245 ms per frame.
    row("MPEG-2.5 11.025 kHz", Mp3StreamBuilder().tag(10).raw("wxyz").frames(60, 0xE3, 0x10), 104490, 1104490, 2, 19);
    row("MPEG-2.5 right after a tag", Mp3StreamBuilder().tag(10).frames(60, 0xE3, 0x10), 0, 1000000, 0, 19);
    row("MPEG-1 Layer I", Mp3StreamBuilder().frames(300, 0xFF, 0x40), 100000, 200000, 11, 12);
    row("MPEG-1 Layer II 48 kHz", Mp3StreamBuilder().frames(100, 0xFD, 0xA4, 3), 240000, 480000, 10, 10);
    row("MPEG-2 Layer II", Mp3StreamBuilder().frames(60, 0xF5, 0x80), 0, 1000000, 0, 19);

    // The end of the source.
    {
        const Mp3StreamBuilder s = cbr44(100);
        row("end beyond the file", s, 1000000, 100000000, 38, 62);
        row("start on the last frame", s, 2586123, 2700001, 99, 1);
    }
    row("trailing ID3v1 tag is no frame", Mp3StreamBuilder(cbr44(50)).raw("TAG" + QByteArray(125, 'x')),
        0, 60000000, 0, 50);
    {
        Mp3StreamBuilder s = cbr44(50);
        s.bytes.chop(100);
        row("last frame cut short", s, 0, 60000000, 0, 49);
    }
    // Another sampling rate is another stream: the cut ends where it starts.
    row("a second stream appended", Mp3StreamBuilder(cbr44(30)).frames(30, 0xFB, 0x94), 0, 60000000, 0, 30);

    // Lost sync in the middle: the junk is dropped and counting goes on.
    {
        Mp3StreamBuilder s = cbr44(20);
        s.raw(junkWithFalseSyncs());
        s.frames(30, 0xFB, 0x90);
        row("junk between frames", s, 0, 1000000, 0, 38);
    }
    {
        // A frame whose header was overwritten: skipped like junk.
        Mp3StreamBuilder s = cbr44(60);
        s.bytes[s.offsets[10] + 1] = 0x00;
        QByteArray expected = s.framesBytes(0, 10) + s.framesBytes(11, 28);
        QTest::newRow("broken header") << s.bytes << qint64(0) << qint64(1000000) << expected << 38;
    }

    // Sources larger than one read window (a quarter megabyte).
    row("long stream, cut near its end", cbr44(3000), 60000000, 70000000, 2297, 383);
    row("long VBR stream", Mp3StreamBuilder().tag(5000).vbrFrames(4000), 80000000, 100000000, 3062, 766);
    {
        // Junk every 100 frames, so that some of it straddles a window boundary.
        Mp3StreamBuilder s;
        for (int block = 0; block < 30; ++block) {
            s.raw(QByteArray(997, 'z') + junkWithFalseSyncs());
            s.frames(100, 0xFB, 0x90);
        }
        row("junk in many places", s, 30000000, 70000000, 1148, 1532);
    }
}

void TestMp3Splitter::split()
{
    QFETCH(QByteArray, source);
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(QByteArray, expected);
    QFETCH(int, frames);

    const QString input = m_dir.write(QStringLiteral("source.mp3"), source);
    const QString output = m_dir.filePath(QStringLiteral("out/cut.mp3"));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("out"))));

    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    QSignalSpy maxValue(&splitter, &Mp3Splitter::saveProgressBarMaxValue);
    QSignalSpy progress(&splitter, &Mp3Splitter::currentSaveProgress);
    QSignalSpy completed(&splitter, &Mp3Splitter::splitCompleted);

    QCOMPARE(splitter.split(start, end, input, output), 0);
    QCOMPARE(splitter.getErrorText(), QString());
    QCOMPARE(completed.count(), 1);
    QCOMPARE(maxValue.count(), 1);
    QCOMPARE(maxValue.at(0).at(0).toInt(), frames);
    QCOMPARE(splitter.getFrameCount(), frames);
    if (frames > 0)
        QCOMPARE(progress.last().at(0).toInt(), frames);
    else
        QCOMPARE(progress.count(), 0);

    // Frames that differ in bitrate come after a fresh Xing header frame.
    const QByteArray written = readAll(output);
    const int front = written.size() - expected.size();
    QCOMPARE(front > 0, QByteArray(QTest::currentDataTag()).contains("VBR"));
    if (front > 0) {
        QCOMPARE(MpegHeader::frameBytes(written.constData()), front);
        QCOMPARE(HeaderFrame::read(written.constData(), front).frames, quint32(frames));
    }
    QVERIFY(written.mid(front) == expected);
    // Nothing but the output in its folder: no temporary file left behind.
    QCOMPARE(QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files).size(), 1);
}

// Real encoder output; ffprobe's packet list (the Xing/Info frame is no
// packet) is the independent record of where the audio frames lie. The marks
// are heard positions: LAME's delay (576 here) and the decoder's 529 samples
// come first, so frame a begins at a x 1152 - 1105 as heard.
void TestMp3Splitter::splitRealFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("headerFrame");

    // VBR: the cut gets a header frame of its own, and the decoder's trim.
    QTest::newRow("VBR with Xing, from 0") << "vbr_xing" << qint64(0) << qint64(1000000) << 1 << 38 << true;
    QTest::newRow("VBR with Xing, to the end") << "vbr_xing" << qint64(1000000) << qint64(5000000) << 39 << 77 << true;
    // No header frame, and a first frame right after the tag that begins 0xFF 0xF3.
    QTest::newRow("MPEG-2 mono") << "mpeg2_mono_22050" << qint64(500000) << qint64(2000000) << 19 << 58 << false;
    QTest::newRow("CRC-protected") << "crc_protected" << qint64(1500000) << qint64(2500000) << 58 << 39 << false;
}

void TestMp3Splitter::splitRealFiles()
{
    QFETCH(QString, name);
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(bool, headerFrame);

    const QByteArray expected = packetBytes(name, first, count);
    QVERIFY(!expected.isEmpty());
    const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    QCOMPARE(splitter.split(start, end, fixturePath(name + QStringLiteral(".mp3")), output), 0);
    const QByteArray written = readAll(output);
    const int front = headerFrame ? MpegHeader::frameBytes(written.constData()) : 0;
    QCOMPARE(written.size(), front + expected.size());
    QVERIFY(written.mid(front) == expected);
}

void TestMp3Splitter::failures_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("sourceExists");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("messages");

    const QString notFound = QStringLiteral("Canot find first frame header.");
    const QString cut = QStringLiteral("cut.mp3");
    QTest::newRow("missing source") << QByteArray() << false << cut << qint64(0) << qint64(1000000)
                                    << -1 << notFound << 1;
    QTest::newRow("no frame in the source") << junkWithFalseSyncs() << true << cut << qint64(0)
                                            << qint64(1000000) << -1 << notFound << 1;
    QTest::newRow("output folder missing") << cbr44(100).bytes << true << "missing/cut.mp3" << qint64(0)
                                           << qint64(1000000) << -8
                                           << QStringLiteral("File creating failed. (No such file or directory)") << 10;
    const QString beyond = QStringLiteral("Start time is beyond the end of audio.");
    // 100 frames of 26.122 ms: the last one, number 99, begins at 2586.1 ms.
    QTest::newRow("start after the last frame") << cbr44(100).bytes << true << cut << qint64(2612245)
                                                << qint64(3612245) << -10 << beyond << 8;
    QTest::newRow("start far beyond the file") << cbr44(100).bytes << true << cut << qint64(3600000000)
                                               << qint64(3601000000) << -10 << beyond << 8;
    const QString nothing = QStringLiteral("No whole frame lies between start and end.");
    QTest::newRow("a range inside one frame") << cbr44(100).bytes << true << cut << qint64(5000)
                                              << qint64(10000) << -11 << nothing << 8;
    QTest::newRow("end equals start") << cbr44(100).bytes << true << cut << qint64(100000)
                                      << qint64(100000) << -11 << nothing << 8;
    QTest::newRow("end before start") << cbr44(100).bytes << true << cut << qint64(1000000)
                                      << qint64(0) << -11 << nothing << 8;
    QTest::newRow("output is the source") << cbr44(100).bytes << true << "source.mp3" << qint64(0)
                                          << qint64(1000000) << -13
                                          << QStringLiteral("The output file is the source file.") << 3;
}

// Each failure: its code and message, splitCompleted once with the message,
// the message as the last line shown, and no output file.
void TestMp3Splitter::failures()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, sourceExists);
    QFETCH(QString, outputName);
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(QString, message);
    QFETCH(int, messages);

    const QString input = sourceExists ? m_dir.write(QStringLiteral("source.mp3"), source)
                                       : m_dir.filePath(QStringLiteral("nothing.mp3"));
    const QString output = m_dir.filePath(outputName);

    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    QSignalSpy completed(&splitter, &Mp3Splitter::splitCompleted);
    QSignalSpy states(&splitter, &Mp3Splitter::currentState);
    QTEST(splitter.split(start, end, input, output), "code");
    QCOMPARE(splitter.getErrorText(), message);
    QCOMPARE(completed.count(), 0);

    splitter.setSplitParameters(start, end, input, output);
    states.clear();
    splitter.startSplit();
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.at(0).at(0).toString(), message);
    QCOMPARE(states.count(), messages + 1);
    QCOMPARE(states.last().at(0).toString(), message);
    if (output == input)
        QCOMPARE(readAll(input), source);
    else
        QVERIFY(!QFileInfo(output).isFile());
    const QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
    QCOMPARE(left.size(), sourceExists ? 1 : 0);
}

// The source is opened once, for the plan and the copy: removed from its
// folder in between, it is still all there for the cut.
void TestMp3Splitter::sourceGoneBeforeTheCopy()
{
    const QString input = m_dir.write(QStringLiteral("source.mp3"), cbr44(100).bytes);
    const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    splitter.setSplitParameters(0, 1000000, input, output);
    connect(&splitter, &Mp3Splitter::currentState, this, [&](const QString &text) {
        if (text.startsWith(QLatin1String("6.")))
            QFile::remove(input);
    }, Qt::DirectConnection);
    QSignalSpy completed(&splitter, &Mp3Splitter::splitCompleted);
    splitter.startSplit();
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.at(0).at(0).toString(), QString());
    QVERIFY(readAll(output) == cbr44(100).framesBytes(0, 38));
}

void TestMp3Splitter::failureKeepsAnEarlierFile()
{
    const QString input = m_dir.write(QStringLiteral("source.mp3"), cbr44(100).bytes);
    const QString output = m_dir.write(QStringLiteral("cut.mp3"), "an earlier cut");
    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    QCOMPARE(splitter.split(3600000000, 3601000000, input, output), -10);
    QCOMPARE(readAll(output), QByteArray("an earlier cut"));
}

void TestMp3Splitter::messagesInOrder()
{
    const QString input = m_dir.write(QStringLiteral("source.mp3"), cbr44(100).bytes);
    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    splitter.setSplitParameters(0, 1000000, input, m_dir.filePath(QStringLiteral("cut.mp3")));
    QSignalSpy states(&splitter, &Mp3Splitter::currentState);
    QSignalSpy completed(&splitter, &Mp3Splitter::splitCompleted);
    splitter.startSplit();

    const QStringList expected = {
        "1.Getting the first frame header...", "2.Calculating first frame header offset...",
        "3.Calculating amount of frames...", "4.Getting frame inform...",
        "5.Getting the frame header size...", "6.Opening the source file...",
        "7.Reading DIV3 tag...", "8.Seeking start position...", "9.Creating new file...",
        "10.Writting file...", "Operate successfully!"};
    QStringList shown;
    for (const QList<QVariant> &args : qAsConst(states))
        shown << args.at(0).toString();
    QCOMPARE(shown, expected);
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.at(0).at(0).toString(), QString());
}

// Random damage to a real stream: the cut ends in success or a failure code,
// and whatever it writes is whole frames of the source.
void TestMp3Splitter::hostileInputNeverBreaksTheCut()
{
    QRandomGenerator random(20260101);
    const QByteArray clean = Mp3StreamBuilder().tag(40).vbrFrames(60).bytes;
    for (int round = 0; round < 150; ++round) {
        QByteArray source = clean;
        const int damage = random.bounded(1, 12);
        for (int i = 0; i < damage; ++i) {
            const int at = random.bounded(source.size());
            switch (random.bounded(3)) {
            case 0: source[at] = char(random.bounded(256)); break;
            case 1: source.truncate(at); break;
            default: source.insert(at, QByteArray(random.bounded(1, 40), char(0xFF))); break;
            }
            if (source.isEmpty())
                break;
        }
        const QString input = m_dir.write(QStringLiteral("source.mp3"), source);
        const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
        QFile::remove(output);
        Mp3Splitter splitter;
        splitter.setMessagePause(0);
        const int code = splitter.split(random.bounded(2000000), 3000000, input, output);
        QVERIFY2(code == 0 || code == -1 || code == -10, qPrintable(QString::number(code)));
        if (code != 0) {
            QVERIFY(!QFileInfo::exists(output));
            continue;
        }
        const QByteArray cut = readAll(output);
        QVERIFY(cut.size() <= source.size());
        for (int at = 0; at < cut.size();) {
            const int length = MpegHeader::frameBytes(cut.constData() + at);
            QVERIFY2(length > 0 && at + length <= cut.size(), qPrintable(QString::number(round)));
            at += length;
        }
    }
}

// Junk between frames and a trailing tag are not frames; bitrates that differ
// make the file VBR. (What it reads from the encoder fixtures is checked
// through snipwave-cut --info in tst_cli.)
void TestMp3Splitter::fileInfoCountsFramesOnly()
{
    Mp3StreamBuilder s = Mp3StreamBuilder().tag(30).vbrFrames(40);
    s.raw(junkWithFalseSyncs()).vbrFrames(60).raw("TAG" + QByteArray(125, 'x'));
    const Mp3FileInfo info = Mp3FileInfo::read(m_dir.write(QStringLiteral("info.mp3"), s.bytes));
    QVERIFY(info.found);
    QCOMPARE(info.frames, qint64(100));
    QCOMPARE(info.durationMs, qint64(100 * 1152 * 1000 / 44100));
    QCOMPARE(info.firstFrameOffset, qint64(40));
    QVERIFY(info.vbr);

    const Mp3FileInfo cbr = Mp3FileInfo::read(m_dir.write(QStringLiteral("cbr.mp3"), cbr44(10).bytes));
    QCOMPARE(cbr.frames, qint64(10));
    QVERIFY(!cbr.vbr);
    QVERIFY(!Mp3FileInfo::read(m_dir.write(QStringLiteral("junk.mp3"), junkWithFalseSyncs())).found);
    const Mp3FileInfo missing = Mp3FileInfo::read(m_dir.filePath(QStringLiteral("none.mp3")));
    QVERIFY(!missing.found);
    QCOMPARE(missing.firstFrameOffset, qint64(-1));
}

QTEST_GUILESS_MAIN(TestMp3Splitter)
#include "tst_mp3splitter.moc"
