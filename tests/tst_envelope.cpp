#include "analysis/loudnessenvelope.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QString runTool(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return program + QStringLiteral(" did not finish: ") + process.errorString();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    if (out)
        *out = process.readAllStandardOutput();
    return QString();
}

// 16-bit stereo PCM at 44.1 kHz in a WAV file.
bool writeWav(const QString &path, const QVector<qint16> &samples)
{
    QByteArray header(44, 0);
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, header.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, header.data() + at); };
    const quint32 bytes = quint32(samples.size() * 2);
    header.replace(0, 4, "RIFF");
    put32(4, 36 + bytes);
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, 44100);
    put32(28, 44100 * 4);
    put16(32, 4);
    put16(34, 16);
    header.replace(36, 4, "data");
    put32(40, bytes);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header) == 44
           && file.write(reinterpret_cast<const char *>(samples.constData()), bytes) == bytes;
}

// A minute of plucked chords: each two-second bar at its own level, from
// loud to almost nothing, with a few bars of silence, and notes that decay
// within the bar. Long enough to be decoded on two threads.
QVector<qint16> musicSamples()
{
    const double levels[] = {0.9, 0.5, 0.05, 0.0, 0.7, 0.2, 0.01, 0.8, 0.3, 0.0, 0.6, 0.1, 1.0, 0.02, 0.4};
    const double notes[] = {220.0, 277.2, 329.6, 440.0, 261.6, 392.0};
    const int rate = 44100;
    QVector<qint16> samples;
    samples.reserve(60 * rate * 2);
    for (int i = 0; i < 60 * rate; ++i) {
        const double t = double(i) / rate;
        const int bar = int(t / 2.0) % 15;
        const double inNote = std::fmod(t, 0.25);
        const double f = notes[int(t / 0.25) % 6];
        double v = 0.0;
        for (int h = 1; h <= 4; ++h)
            v += std::sin(2 * M_PI * f * h * t) / h;
        v *= levels[bar] * std::exp(-6.0 * inNote) * 0.45;
        const auto s = qint16(std::clamp(v, -1.0, 1.0) * 32767);
        samples << s << s;
    }
    return samples;
}

QVector<double> ranks(const QVector<double> &v)
{
    QVector<int> order(v.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return v[a] < v[b]; });
    QVector<double> r(v.size());
    for (int i = 0; i < order.size();) {
        int j = i;
        while (j + 1 < order.size() && v[order[j + 1]] == v[order[i]])
            ++j;
        for (int k = i; k <= j; ++k)
            r[order[k]] = (i + j) / 2.0;
        i = j + 1;
    }
    return r;
}

double spearman(const QVector<double> &a, const QVector<double> &b)
{
    const QVector<double> ra = ranks(a);
    const QVector<double> rb = ranks(b);
    const double mean = (ra.size() - 1) / 2.0;
    double sab = 0, saa = 0, sbb = 0;
    for (int i = 0; i < ra.size(); ++i) {
        sab += (ra[i] - mean) * (rb[i] - mean);
        saa += (ra[i] - mean) * (ra[i] - mean);
        sbb += (rb[i] - mean) * (rb[i] - mean);
    }
    return sab / std::sqrt(saa * sbb);
}

// RMS per column of what ffmpeg decodes, mixed to mono.
QString decodedRms(const QString &file, int columns, QVector<double> *rms)
{
    QByteArray pcm;
    const QString why = runTool(QStringLiteral("ffmpeg"),
                                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                                 QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ac"),
                                 QStringLiteral("1"), QStringLiteral("-")},
                                &pcm);
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const qint64 n = pcm.size() / 2;
    for (int c = 0; c < columns; ++c) {
        const qint64 from = c * n / columns;
        const qint64 to = (c + 1) * n / columns;
        double sum = 0;
        for (qint64 i = from; i < to; ++i)
            sum += double(s[i]) * s[i];
        rms->append(std::sqrt(sum / std::max<qint64>(1, to - from)));
    }
    return why;
}

} // namespace

class TestEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tracksDecodedLoudness_data();
    void tracksDecodedLoudness();
    void handsEveryColumnOnce_data();
    void handsEveryColumnOnce();
    void newFileCancelsOldWork();
    void refusesFileWithoutAudio();

private:
    QTemporaryDir dir;
    QString speech;
    QString music;
};

void TestEnvelope::initTestCase()
{
    QVERIFY(dir.isValid());
    speech = dir.filePath(QStringLiteral("speech.mp3"));
    music = dir.filePath(QStringLiteral("music.mp3"));
    const QString speechWav = dir.filePath(QStringLiteral("speech.wav"));
    const QString musicWav = dir.filePath(QStringLiteral("music.wav"));
    // Sentences with pauses between words and longer ones between sentences.
    QString why = runTool(QStringLiteral("espeak-ng"),
                          {QStringLiteral("-g"), QStringLiteral("12"), QStringLiteral("-w"), speechWav,
                           QStringLiteral("Mark a start before the first word. Then an end, after the last one. "
                                          "Press save, and listen. The pauses must show in the bar, "
                                          "so that nobody cuts a word in half.")});
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(writeWav(musicWav, musicSamples()));
    for (const auto &[wav, mp3] : {std::pair(speechWav, speech), std::pair(musicWav, music)}) {
        why = runTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"),
                                               QStringLiteral("96"), wav, mp3});
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
}

void TestEnvelope::tracksDecodedLoudness_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("columns");
    // espeak-ng speaks at 22.05 kHz mono: an MPEG-2 file decoded at half rate.
    QTest::newRow("speech") << QStringLiteral("speech") << 200;
    QTest::newRow("speech, fine columns") << QStringLiteral("speech") << 600;
    // Stereo 44.1 kHz at a quarter rate, on two threads.
    QTest::newRow("music") << QStringLiteral("music") << 200;
    QTest::newRow("music, fine columns") << QStringLiteral("music") << 600;
}

void TestEnvelope::tracksDecodedLoudness()
{
    QFETCH(QString, name);
    QFETCH(int, columns);
    const QString file = name == QLatin1String("speech") ? speech : music;
    QString error;
    const QVector<float> envelope = LoudnessEnvelope::compute(file, columns, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(envelope.size(), columns);
    QVERIFY(std::all_of(envelope.cbegin(), envelope.cend(), [](float v) { return v >= 0.0f && v <= 1.0f; }));

    QVector<double> rms;
    const QString why = decodedRms(file, columns, &rms);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const double rho = spearman(QVector<double>(envelope.cbegin(), envelope.cend()), rms);
    qInfo("%s, %d columns: Spearman %.4f", qPrintable(name), columns, rho);
    QVERIFY2(rho >= 0.8, qPrintable(QString::number(rho)));
}

void TestEnvelope::handsEveryColumnOnce_data()
{
    QTest::addColumn<int>("columns");
    QTest::newRow("one") << 1;
    QTest::newRow("a few") << 7;
    QTest::newRow("a column per pixel") << 632;
    // More columns than decoded samples: the narrow ones repeat their neighbour.
    QTest::newRow("more than samples") << 100000;
}

// The window's way: asynchronously, on two threads for this file.
void TestEnvelope::handsEveryColumnOnce()
{
    QFETCH(int, columns);
    LoudnessEnvelope envelope;
    QSignalSpy done(&envelope, &LoudnessEnvelope::finished);
    QVector<int> seen(columns, 0);
    QVector<float> values(columns, -1.0f);
    connect(&envelope, &LoudnessEnvelope::columnsReady, this, [&](int first, const QVector<float> &part) {
        for (int i = 0; i < part.size(); ++i) {
            ++seen[first + i];
            values[first + i] = part[i];
        }
    });
    envelope.start(music, columns);
    QVERIFY(envelope.isRunning());
    QVERIFY(done.wait(60000));
    QVERIFY(!envelope.isRunning());
    QVERIFY(std::all_of(seen.cbegin(), seen.cend(), [](int n) { return n == 1; }));
    QCOMPARE(values, LoudnessEnvelope::compute(music, columns));
}

void TestEnvelope::newFileCancelsOldWork()
{
    LoudnessEnvelope envelope;
    QSignalSpy columns(&envelope, &LoudnessEnvelope::columnsReady);
    QSignalSpy done(&envelope, &LoudnessEnvelope::finished);
    envelope.start(music, 5000);
    envelope.start(speech, 9);
    QVERIFY(done.wait(60000));
    QTest::qWait(200);  // anything of the first file would have come by now
    QCOMPARE(done.count(), 1);
    int received = 0;
    for (const QList<QVariant> &call : qAsConst(columns)) {
        const int first = call.at(0).toInt();
        const int size = call.at(1).value<QVector<float>>().size();
        QVERIFY2(first + size <= 9, "a column of the cancelled file arrived");
        received += size;
    }
    QCOMPARE(received, 9);

    // Cancelled outright, nothing more comes.
    columns.clear();
    envelope.start(music, 50);
    envelope.cancel();
    QVERIFY(!envelope.isRunning());
    QTest::qWait(300);
    QCOMPARE(columns.count(), 0);
    QCOMPARE(done.count(), 1);
}

void TestEnvelope::refusesFileWithoutAudio()
{
    const QString text = dir.filePath(QStringLiteral("notes.mp3"));
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5000, 'x'));
    file.close();

    LoudnessEnvelope envelope;
    QSignalSpy failed(&envelope, &LoudnessEnvelope::failed);
    envelope.start(text, 10);
    QVERIFY(failed.wait(10000));
    QVERIFY(!failed.at(0).at(0).toString().isEmpty());

    for (const QString &path : {text, dir.filePath(QStringLiteral("missing.mp3"))}) {
        QString error;
        QVERIFY(LoudnessEnvelope::compute(path, 10, &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestEnvelope)
#include "tst_envelope.moc"
