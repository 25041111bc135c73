#include "musicplayer.h"

#include <algorithm>

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QSignalSpy>
#include <QTest>

class tst_MusicPlayer : public QObject
{
    Q_OBJECT

private slots:
    void reportsBecomeTexts_data();
    void reportsBecomeTexts();
    void fileNameIsLastSegment_data();
    void fileNameIsLastSegment();
    void playsRealFile();
};

void tst_MusicPlayer::reportsBecomeTexts_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("durationText");
    QTest::addColumn<QString>("positionText");

    QTest::newRow("zero") << qint64(0) << "00:00:00\"000" << "00:00:00";
    QTest::newRow("83,456 ms") << qint64(83456) << "00:01:23\"456" << "00:01:23";
    QTest::newRow("just under a day") << qint64(86399999) << "23:59:59\"999" << "23:59:59";
    QTest::newRow("25 hours wraps") << qint64(90000000) << "01:00:00\"000" << "01:00:00";
}

// Position and duration reports go through the player's own signals, the
// way the back end delivers them.
void tst_MusicPlayer::reportsBecomeTexts()
{
    QFETCH(qint64, ms);
    QFETCH(QString, durationText);
    QFETCH(QString, positionText);

    MusicPlayer player;
    QSignalSpy durationSpy(&player, &MusicPlayer::durationTextChanged);
    QSignalSpy positionSpy(&player, &MusicPlayer::prositionTextChanged);
    QCOMPARE(player.getDuration(), qint64(0));

    emit player.positionChanged(ms);
    QCOMPARE(positionSpy.count(), 1);
    QCOMPARE(positionSpy.at(0).at(0).toString(), positionText);
    QCOMPARE(durationSpy.count(), 0);
    QCOMPARE(player.getDuration(), qint64(0));

    emit player.durationChanged(ms);
    QCOMPARE(durationSpy.count(), 1);
    QCOMPARE(durationSpy.at(0).at(0).toString(), durationText);
    QCOMPARE(player.getDuration(), ms);
}

void tst_MusicPlayer::fileNameIsLastSegment_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");

    QTest::newRow("space") << "/home/me/My Music/my song.mp3" << "my song.mp3";
    QTest::newRow("hash and question mark") << "/music/track #1?.mp3" << "track #1?.mp3";
    QTest::newRow("percent escape kept") << "/music/50%20off.mp3" << "50%20off.mp3";
    QTest::newRow("no slash") << "song.mp3" << "song.mp3";
    QTest::newRow("empty") << "" << "";
}

void tst_MusicPlayer::fileNameIsLastSegment()
{
    QFETCH(QString, path);
    QFETCH(QString, name);

    MusicPlayer player;
    player.setFile(path);
    QCOMPARE(player.getFileName(), name);
}

// 78 frames of 1152 samples at 44100 Hz, after the Info frame.
void tst_MusicPlayer::playsRealFile()
{
    const QString path = QFileInfo(QStringLiteral(SNIPWAVE_TEST_DATA "/tone_440hz_2s.mp3"))
                             .absoluteFilePath();
    QVERIFY(QFileInfo::exists(path));
    const qint64 expectedMs = 78 * 1152 * 1000 / 44100;

    MusicPlayer player;
    player.setFile(QStringLiteral("/somewhere/else.mp3"));
    QSignalSpy durationSpy(&player, &MusicPlayer::durationTextChanged);
    QSignalSpy positionSpy(&player, &MusicPlayer::prositionTextChanged);
    QSignalSpy stateSpy(&player, &QMediaPlayer::stateChanged);
    QSignalSpy errorSpy(&player, QOverload<QMediaPlayer::Error>::of(&QMediaPlayer::error));

    player.playFile(path);

    QTRY_VERIFY_WITH_TIMEOUT(player.getDuration() > 0, 30000);
    QVERIFY2(errorSpy.isEmpty(), qPrintable(player.errorString()));
    QVERIFY2(qAbs(player.getDuration() - expectedMs) <= 100,
             qPrintable(QString::number(player.getDuration())));
    QVERIFY(!durationSpy.isEmpty());
    QCOMPARE(durationSpy.last().at(0).toString(),
             MusicPlayer::durationText(player.getDuration()));
    QVERIFY(QRegularExpression(QStringLiteral("^00:00:0[12]\"\\d{3}$"))
                .match(durationSpy.last().at(0).toString())
                .hasMatch());

    QTRY_COMPARE_WITH_TIMEOUT(player.mediaStatus(), QMediaPlayer::EndOfMedia, 30000);
    QVERIFY(!stateSpy.isEmpty());
    QCOMPARE(stateSpy.first().at(0).value<QMediaPlayer::State>(), QMediaPlayer::PlayingState);

    // The position texts followed the playback second by second, in order.
    QStringList texts;
    for (const QList<QVariant> &args : qAsConst(positionSpy))
        texts << args.at(0).toString();
    QVERIFY2(texts.contains(QLatin1String("00:00:01")), qPrintable(texts.join(' ')));
    QStringList sorted = texts;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(texts, sorted);
    // Playing a file is not choosing it: the chosen file stays.
    QCOMPARE(player.getFile(), QStringLiteral("/somewhere/else.mp3"));
}

QTEST_GUILESS_MAIN(tst_MusicPlayer)
#include "tst_musicplayer.moc"
