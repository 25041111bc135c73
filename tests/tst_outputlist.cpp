// How the output list shows a path that does not fit its column.

#include "elidedpathdelegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>

class TestOutputList : public QObject
{
    Q_OBJECT

private slots:
    void pathKeepsItsFileName_data();
    void pathKeepsItsFileName();
};

void TestOutputList::pathKeepsItsFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("room");   // as wide as the room the path gets
    QTest::addColumn<QString>("ending"); // what must still be read
    QTest::addColumn<bool>("shortened");

    const QString path = QStringLiteral("/home/somebody/music/ring tones/20260101_120001_tone 8s.mp3");
    QTest::newRow("fits") << path << path << path << false;
    QTest::newRow("folder shortened") << path << "…/tones/20260101_120001_tone 8s.mp3"
                                      << "s/20260101_120001_tone 8s.mp3" << true;
    QTest::newRow("only the name fits") << path << "…/20260101_120001_tone 8s.mp3"
                                        << "/20260101_120001_tone 8s.mp3" << true;
    QTest::newRow("name too long") << path << "20260101_1200" << ".mp3" << true;
    QTest::newRow("no folder") << "20260101_120001_tone 8s.mp3" << "20260101_1200" << ".mp3" << true;
}

void TestOutputList::pathKeepsItsFileName()
{
    QFETCH(QString, path);
    QFETCH(QString, room);
    QFETCH(QString, ending);
    QFETCH(bool, shortened);

    const QFontMetrics metrics(QApplication::font());
    const int width = metrics.horizontalAdvance(room);
    const QString shown = ElidedPathDelegate::elidedPath(path, metrics, width);
    QVERIFY2(metrics.horizontalAdvance(shown) <= width, qPrintable(shown));
    QVERIFY2(shown.endsWith(ending), qPrintable(shown));
    QCOMPARE(shown.contains(QChar(0x2026)), shortened);
}

QTEST_MAIN(TestOutputList)
#include "tst_outputlist.moc"
