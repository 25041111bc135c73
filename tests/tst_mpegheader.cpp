#include "mp3splitter.h"
#include "mp3streambuilder.h"
#include "format/mpegheader.h"
#include "io/bufferedsource.h"
#include "scan/sourcescan.h"

#include <QBuffer>

#include <QtTest>

class TestMpegHeader : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void lengths_data();
    void lengths();
    void everyValidHeaderMeasuresLikeTheStandard();
    void framesBetween_data();
    void framesBetween();
    void frameIndex_data();
    void frameIndex();
    void firstFrameOffset_data();
    void firstFrameOffset();
    void scanFindsEveryFrame_data();
    void scanFindsEveryFrame();
};

void TestMpegHeader::decode_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("layer");
    QTest::addColumn<qint64>("bitRate");
    QTest::addColumn<qint64>("sampleRate");
    QTest::addColumn<int>("padding");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("format");

    auto row = [](const char *name, const char *hex, int version, int layer, qint64 bitRate,
                  qint64 sampleRate, int padding, bool valid, const char *format) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << version << layer << bitRate << sampleRate
                            << padding << valid << QString::fromLatin1(format);
    };
    row("MPEG-1 L3 128k 44.1k", "FFFB9000", 1, 3, 128, 44100, 0, true, "MPEG-1 Layer-3");
    row("MPEG-1 L3 padded", "FFFB9200", 1, 3, 128, 44100, 1, true, "MPEG-1 Layer-3");
    row("MPEG-1 L3 CRC 48k", "FFFA9400", 1, 3, 128, 48000, 0, true, "MPEG-1 Layer-3");
    row("sampling index 3 reads 32k", "FFFB9C00", 1, 3, 128, 32000, 0, false, "MPEG-1 Layer-3");
    row("reserved version", "FFEB9000", 4, 3, -1, -1, 0, false, "");
    row("reserved layer", "FFF99000", 1, -1, 288, 44100, 0, false, "");
    row("bitrate index 15", "FFFBF000", 1, 3, 0, 44100, 0, false, "MPEG-1 Layer-3");
    row("free format", "FFFB0000", 1, 3, 0, 44100, 0, false, "MPEG-1 Layer-3");
    row("no sync", "7FFB9000", 1, 3, 128, 44100, 0, false, "MPEG-1 Layer-3");
    row("MPEG-2 L3 32k 22.05k", "FFF34000", 2, 3, 32, 22050, 0, true, "MPEG-2 Layer-3");
    row("MPEG-2.5 L3 8k 11.025k", "FFE31200", 3, 3, 8, 11025, 1, true, "MPEG-3 Layer-3");
    row("MPEG-1 L1 128k", "FFFF4200", 1, 1, 128, 44100, 1, true, "MPEG-1 Layer-1");
    row("MPEG-1 L2 192k 48k", "FFFDA400", 1, 2, 192, 48000, 0, true, "MPEG-1 Layer-2");
    row("MPEG-2 L2 64k", "FFF58000", 2, 2, 64, 22050, 0, true, "MPEG-2 Layer-2");
    row("MPEG-2 L1 256k 16k", "FFF7E800", 2, 1, 256, 16000, 0, true, "MPEG-2 Layer-1");
}

void TestMpegHeader::decode()
{
    QFETCH(QByteArray, header);
    const char *h = header.constData();
    const int version = Mp3Splitter::headerVersion(h);
    QTEST(version, "version");
    QTEST(Mp3Splitter::headerLayer(h), "layer");
    QTEST(Mp3Splitter::headerBitRate(h, version), "bitRate");
    QTEST(Mp3Splitter::headerSampleRate(h), "sampleRate");
    QTEST(Mp3Splitter::headerPadding(h), "padding");
    QTEST(MpegHeader::isValid(h), "valid");
    QTEST(MpegHeader::formatText(h), "format");
}

// layerThreeLength: the Layer III formula that every caller of frameLength gets;
// bytes: the real length the frame walk uses (0 for an invalid header).
void TestMpegHeader::lengths_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("layerThreeLength");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("samples");

    auto row = [](const char *name, const char *hex, qint64 layerThreeLength, int bytes, int samples) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << layerThreeLength << bytes << samples;
    };
    row("MPEG-1 L3 128k 44.1k", "FFFB9000", 417, 417, 1152);
    row("MPEG-1 L3 padded", "FFFB9200", 418, 418, 1152);
    row("MPEG-1 L3 48k", "FFFB9400", 384, 384, 1152);
    row("bitrate index 15", "FFFBF000", 0, 0, 1152);
    row("bitrate index 15 padded", "FFFBF200", 1, 0, 1152);
    row("MPEG-2 L3 22.05k", "FFF34000", 104, 104, 576);
    row("MPEG-2.5 L3 padded", "FFE31200", 53, 53, 576);
    row("MPEG-2.5 L3 160k 8k", "FFE3E800", 1440, 1440, 576);
    row("MPEG-1 L1 padded", "FFFF4200", 418, 140, 384);
    row("MPEG-1 L2 48k", "FFFDA400", 576, 576, 1152);
    row("MPEG-2 L2 22.05k", "FFF58000", 208, 417, 1152);
    row("MPEG-2 L1 16k", "FFF7E800", 1152, 768, 384);
    row("longest frame", "FFE5EA00", 1441, MpegHeader::MaxFrameLength, 1152);
}

void TestMpegHeader::lengths()
{
    QFETCH(QByteArray, header);
    const char *h = header.constData();
    const int version = Mp3Splitter::headerVersion(h);
    QTEST(Mp3Splitter::frameLength(version, Mp3Splitter::headerBitRate(h, version) * 1000,
                                   Mp3Splitter::headerSampleRate(h), Mp3Splitter::headerPadding(h)),
          "layerThreeLength");
    QTEST(MpegHeader::frameBytes(h), "bytes");
    QTEST(MpegHeader::samplesPerFrame(h), "samples");
}

// Both bitrate tables, all sampling rates and all three layer formulas against
// an independent rendering of the standard.
void TestMpegHeader::everyValidHeaderMeasuresLikeTheStandard()
{
    int checked = 0;
    for (int b1 = 0xE0; b1 <= 0xFF; ++b1) {
        for (int b2 = 0; b2 <= 0xFF; ++b2) {
            const char h[4] = {char(0xFF), char(b1), char(b2), 0};
            if (!MpegHeader::isValid(h))
                continue;
            QCOMPARE(MpegHeader::frameBytes(h), Mp3StreamBuilder::frameLength(quint8(b1), quint8(b2)));
            QVERIFY(MpegHeader::frameBytes(h) <= MpegHeader::MaxFrameLength);
            ++checked;
        }
    }
    // 3 versions x 3 layers x 2 CRC flags x 14 bitrates x 3 rates x 2 paddings x 2 private bits.
    QCOMPARE(checked, 3 * 3 * 2 * 14 * 3 * 2 * 2);
}

void TestMpegHeader::framesBetween_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<qint64>("frames");
    QTest::newRow("one minute") << qint64(0) << qint64(60000000) << qint64(2307);
    QTest::newRow("under one frame") << qint64(0) << qint64(25999) << qint64(0);
    QTest::newRow("end before start") << qint64(1000000) << qint64(0) << qint64(-38);
}

void TestMpegHeader::framesBetween()
{
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QTEST(Mp3Splitter::framesBetween(start, end), "frames");
}

void TestMpegHeader::frameIndex_data()
{
    QTest::addColumn<qint64>("microseconds");
    QTest::addColumn<qint64>("rate");
    QTest::addColumn<int>("samples");
    QTest::addColumn<qint64>("index");
    QTest::newRow("1:00 at 48k") << qint64(60000000) << qint64(48000) << 1152 << qint64(2500);
    QTest::newRow("1:00 at 44.1k") << qint64(60000000) << qint64(44100) << 1152 << qint64(2296);
    QTest::newRow("10:00 at 44.1k") << qint64(600000000) << qint64(44100) << 1152 << qint64(22968);
    QTest::newRow("1:00 at 32k") << qint64(60000000) << qint64(32000) << 1152 << qint64(1666);
    QTest::newRow("just before frame 2") << qint64(52244) << qint64(44100) << 1152 << qint64(1);
    QTest::newRow("frame 2 begins") << qint64(52245) << qint64(44100) << 1152 << qint64(2);
    QTest::newRow("exact boundary at 48k") << qint64(48000) << qint64(48000) << 1152 << qint64(2);
    QTest::newRow("one below it") << qint64(47999) << qint64(48000) << 1152 << qint64(1);
    QTest::newRow("MPEG-2 L3 1 s") << qint64(1000000) << qint64(24000) << 576 << qint64(41);
    QTest::newRow("Layer I 1 s") << qint64(1000000) << qint64(44100) << 384 << qint64(114);
    QTest::newRow("negative rounds down") << qint64(-1) << qint64(44100) << 1152 << qint64(-1);
    QTest::newRow("no overflow") << qint64(9000000000000000000) << qint64(48000) << 1152
                                 << qint64(375000000000000);
    QTest::newRow("no rate") << qint64(1000000) << qint64(-1) << 1152 << qint64(0);
}

void TestMpegHeader::frameIndex()
{
    QFETCH(qint64, microseconds);
    QFETCH(qint64, rate);
    QFETCH(int, samples);
    QTEST(MpegHeader::frameIndex(microseconds, rate, samples), "index");
}

void TestMpegHeader::firstFrameOffset_data()
{
    QTest::addColumn<int>("tagSize");
    QTest::addColumn<int>("scanCount");
    QTest::addColumn<int>("offset");
    QTest::newRow("header right after the tag") << 267 << 0 << 267;
    QTest::newRow("search after the tag") << 267 << 421 << 684;
    QTest::newRow("search without tag") << 0 << 37 << 33;
    QTest::newRow("no tag") << 0 << 0 << 0;
    QTest::newRow("beyond int") << 268435465 << 2147483647 << -1;
}

void TestMpegHeader::firstFrameOffset()
{
    QFETCH(int, tagSize);
    QFETCH(int, scanCount);
    QTEST(MpegHeader::firstFrameOffset(tagSize, scanCount), "offset");
}

// Streams longer than the scan's read block, so that frames straddle blocks.
void TestMpegHeader::scanFindsEveryFrame_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVector<int>>("offsets");
    QTest::addColumn<bool>("bitRatesDiffer");
    auto row = [](const char *name, const Mp3StreamBuilder &b, bool differ) {
        QTest::newRow(name) << b.bytes << b.offsets << differ;
    };
    row("CBR, padded as encoders do", Mp3StreamBuilder().frames(1000, 0xFB, 0x90), false);
    row("VBR", Mp3StreamBuilder().vbrFrames(1500), true);
    row("bitrate changes once", Mp3StreamBuilder().frames(700, 0xFB, 0x90).frames(700, 0xFB, 0xB0), true);
    Mp3StreamBuilder mixed;
    for (int i = 0; i < 1200; ++i) // CRC, private bit and channel mode change; the stream does not
        mixed.frame(i % 3 ? 0xFB : 0xFA, quint8(0x90 | (i % 2) | (i % 5 ? 0x02 : 0)), i % 7 ? 0x44 : 0xC4);
    row("CRC, private bit and mode vary", mixed, false);
    row("junk between frames",
        Mp3StreamBuilder().frames(500, 0xFB, 0x90).raw(QByteArray(1000, 'j')).frames(500, 0xFB, 0x90), false);
    row("Layer I, 4-byte padding", Mp3StreamBuilder().frames(2500, 0xFF, 0x90), false);
    row("MPEG-2 Layer III", Mp3StreamBuilder().frames(3000, 0xF3, 0x80), false);
}

void TestMpegHeader::scanFindsEveryFrame()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVector<int>, offsets);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVector<int> seen;
    const SourceScan scan = SourceScan::run(&device, [&](qint64 index, qint64 offset, const char *, int) {
        QCOMPARE(index, qint64(seen.size()));
        seen.append(int(offset));
    });
    QCOMPARE(seen, offsets);
    QCOMPARE(scan.frames, qint64(offsets.size()));
    QTEST(scan.bitRatesDiffer, "bitRatesDiffer");
    QCOMPARE(scan.streamEnd, qint64(bytes.size()));
    BufferedSource source(&device);
    for (const int frame : {1, 15, 16, 17, offsets.size() / 2, offsets.size() - 1})
        QCOMPARE(scan.offsetOf(source, frame), qint64(offsets.at(frame)));
}

QTEST_APPLESS_MAIN(TestMpegHeader)
#include "tst_mpegheader.moc"
