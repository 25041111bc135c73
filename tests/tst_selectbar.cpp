#include "barline.h"
#include "selectbar.h"

#include <QApplication>
#include <QPushButton>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

Q_DECLARE_METATYPE(Qt::MouseButton)

namespace {

constexpr int barWidth = 616;
constexpr int span = barWidth - 38;

float fractionOf(int pixels)
{
    return static_cast<float>(static_cast<double>(pixels) / span);
}

// Does the grabbed band cover exactly columns first..last and rows
// 1..height-2 in the given colour?
QString bandMismatch(const QImage &image, int first, int last, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inBand = x >= first && x <= last && y >= 1 && y <= image.height() - 2;
            if ((image.pixelColor(x, y) == color) != inBand)
                return QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(image.pixelColor(x, y).name());
        }
    }
    return QString();
}

} // namespace

class TestSelectBar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void columnFromFraction_data();
    void columnFromFraction();
    void paintsBand_data();
    void paintsBand();

    void resizePutsHandlesAtTheEnds();
    void percentsPlaceHandles();
    void dragHandle_data();
    void dragHandle();
    void moveWithoutHeldHandleSendsNothing();
    void doubleClickReachesButtonWithoutDrag();
    void resetGreysAndDisables();
    void disabledMidDragEndsOnRelease();
    void drawsEnvelope_data();
    void drawsEnvelope();
    void zoomedViewPlacesHandles_data();
    void zoomedViewPlacesHandles();
    void dragInZoomedView();
    void wheelAsksForZoomOrScroll_data();
    void wheelAsksForZoomOrScroll();
    void playheadAndFrameTicks_data();
    void playheadAndFrameTicks();
    void chapterTicks_data();
    void chapterTicks();

private:
    QPoint inWindow(QWidget *widget, QPoint local) const { return widget->mapTo(host.get(), local); }
    QWindow *window() const { return host->windowHandle(); }

    std::unique_ptr<QWidget> host;
    SelectBar *bar = nullptr;
    BarLine *line = nullptr;
    QPushButton *left = nullptr;
    QPushButton *right = nullptr;
};

void TestSelectBar::init()
{
    // The bar sits in a wider window so that drags past both ends stay
    // inside the window, as they do in the main window.
    host = std::make_unique<QWidget>();
    host->resize(barWidth + 80, 60);
    bar = new SelectBar(host.get());
    bar->setGeometry(40, 20, barWidth, 20);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    line = bar->findChild<BarLine *>(QStringLiteral("widgetBar"));
    left = bar->findChild<QPushButton *>(QStringLiteral("pushButtonLeftHandle"));
    right = bar->findChild<QPushButton *>(QStringLiteral("pushButtonRightHandle"));
    QVERIFY(line && left && right);
}

void TestSelectBar::cleanup()
{
    host.reset();
}

void TestSelectBar::columnFromFraction_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("isStart");
    QTest::addColumn<float>("fraction");
    QTest::addColumn<qint64>("column");
    QTest::addColumn<qint64>("returned");

    QTest::newRow("616 start 0") << 616 << true << 0.0f << qint64(20) << qint64(0);
    QTest::newRow("616 start 0.5") << 616 << true << 0.5f << qint64(309) << qint64(289);
    QTest::newRow("616 end 1") << 616 << false << 1.0f << qint64(598) << qint64(598);
    QTest::newRow("616 end 0.25 is cut, not rounded") << 616 << false << 0.25f << qint64(164) << qint64(164);
    QTest::newRow("100 end 0.999") << 100 << false << 0.999f << qint64(81) << qint64(81);
    QTest::newRow("100 start 0.999") << 100 << true << 0.999f << qint64(81) << qint64(61);
    QTest::newRow("100 start 0") << 100 << true << 0.0f << qint64(20) << qint64(0);
    QTest::newRow("100 end 1") << 100 << false << 1.0f << qint64(82) << qint64(82);
}

void TestSelectBar::columnFromFraction()
{
    QFETCH(int, width);
    QFETCH(bool, isStart);
    QFETCH(float, fraction);
    QFETCH(qint64, column);
    QFETCH(qint64, returned);

    BarLine band;
    band.resize(width, 20);
    if (isStart) {
        QCOMPARE(band.setStartPercent(fraction), returned);
        QCOMPARE(band.getStartX(), column);
        QCOMPARE(band.getEndX(), qint64(0));
    } else {
        QCOMPARE(band.setEndPercent(fraction), returned);
        QCOMPARE(band.getEndX(), column);
        QCOMPARE(band.getStartX(), qint64(0));
    }
}

void TestSelectBar::paintsBand_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("startX");
    QTest::addColumn<int>("endX");
    QTest::addColumn<QColor>("color");

    // A fresh bar line: one green column at x 0.
    QTest::newRow("new") << 20 << -1 << -1 << QColor();
    QTest::newRow("20 high") << 20 << 19 << 80 << QColor(QStringLiteral("#91007B"));
    QTest::newRow("one column") << 20 << 50 << 50 << QColor(QStringLiteral("#00709E"));
    QTest::newRow("8 high") << 8 << 0 << 99 << QColor(QStringLiteral("#E8641B"));
}

void TestSelectBar::paintsBand()
{
    QFETCH(int, height);
    QFETCH(int, startX);
    QFETCH(int, endX);
    QFETCH(QColor, color);

    BarLine band;
    band.resize(100, height);
    if (startX >= 0) {
        band.setStartX(startX);
        band.setEndX(endX);
        band.setColor(color);
    } else {
        startX = endX = 0;
        color = QColor(QStringLiteral("#009F3C"));
    }
    const QString mismatch = bandMismatch(band.grab().toImage(), startX, endX, color);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestSelectBar::resizePutsHandlesAtTheEnds()
{
    QSignalSpy startSpy(bar, &SelectBar::sendStartPercent);
    QSignalSpy endSpy(bar, &SelectBar::sendEndPercent);
    QCOMPARE(left->geometry(), QRect(0, 0, 20, 20));
    QCOMPARE(right->geometry(), QRect(barWidth - 20, 0, 20, 20));

    bar->setStartPercent(0.3f);
    bar->setEndPercent(0.6f);
    bar->resize(400, 20);
    QCoreApplication::processEvents();

    QCOMPARE(line->geometry(), QRect(0, 0, 400, 20));
    QCOMPARE(left->geometry(), QRect(0, 0, 20, 20));
    QCOMPARE(right->geometry(), QRect(380, 0, 20, 20));
    QCOMPARE(line->getStartX(), qint64(19));
    QCOMPARE(line->getEndX(), qint64(380));
    QCOMPARE(startSpy.count(), 0);
    QCOMPARE(endSpy.count(), 0);
}

void TestSelectBar::percentsPlaceHandles()
{
    // The band starts one column right of the handle here, while a drag
    // leaves it on the handle's last column.
    bar->setStartPercent(0.5f);
    QCOMPARE(left->pos(), QPoint(289, 0));
    QCOMPARE(line->getStartX(), qint64(309));

    bar->setEndPercent(1.0f);
    QCOMPARE(right->pos(), QPoint(598, 0));
    QCOMPARE(line->getEndX(), qint64(598));
}

void TestSelectBar::dragHandle_data()
{
    QTest::addColumn<bool>("leftHandle");
    QTest::addColumn<Qt::MouseButton>("button");
    // Where the other handle is put first, through setStartPercent /
    // setEndPercent; negative leaves it at its end.
    QTest::addColumn<float>("otherAt");
    // Handle x the pointer asks for, move by move.
    QTest::addColumn<QList<int>>("moves");
    QTest::addColumn<QList<float>>("sent");
    QTest::addColumn<int>("finalX");

    QTest::newRow("left past the left end")
        << true << Qt::LeftButton << -1.0f << QList<int>{100, -60}
        << QList<float>{fractionOf(100), 0.0f} << 0;
    QTest::newRow("left with the right button")
        << true << Qt::RightButton << -1.0f << QList<int>{100, -60}
        << QList<float>{fractionOf(100), 0.0f} << 0;
    // Held at the right end, the handle marks the whole file.
    QTest::newRow("right past the right end")
        << false << Qt::LeftButton << -1.0f << QList<int>{300, 640}
        << QList<float>{fractionOf(300 - 19), 1.0f} << barWidth - 20;
    QTest::newRow("right with the middle button")
        << false << Qt::MiddleButton << -1.0f << QList<int>{300}
        << QList<float>{fractionOf(281)} << 300;
    // Right handle at 309: the left one may come up to 289 (its last column
    // 308), never further.
    QTest::newRow("left up to the right handle")
        << true << Qt::LeftButton << 0.5f << QList<int>{250, 289, 290, 400}
        << QList<float>{fractionOf(250), fractionOf(289)} << 289;
    QTest::newRow("left onto the right handle stops where it was")
        << true << Qt::LeftButton << 0.5f << QList<int>{250, 400}
        << QList<float>{fractionOf(250)} << 250;
    // Left handle at 289, its last column 308.
    QTest::newRow("right up to the left handle")
        << false << Qt::LeftButton << 0.5f << QList<int>{400, 309, 308, 100}
        << QList<float>{fractionOf(400 - 19), fractionOf(309 - 19)} << 309;
    QTest::newRow("right onto the left handle stops where it was")
        << false << Qt::LeftButton << 0.5f << QList<int>{400, 100}
        << QList<float>{fractionOf(400 - 19)} << 400;
}

void TestSelectBar::dragHandle()
{
    QFETCH(bool, leftHandle);
    QFETCH(Qt::MouseButton, button);
    QFETCH(float, otherAt);
    QFETCH(QList<int>, moves);
    QFETCH(QList<float>, sent);
    QFETCH(int, finalX);

    if (otherAt >= 0) {
        if (leftHandle)
            bar->setEndPercent(otherAt);
        else
            bar->setStartPercent(otherAt);
    }
    QPushButton *handle = leftHandle ? left : right;
    QPushButton *other = leftHandle ? right : left;
    const QPoint otherPos = other->pos();
    QSignalSpy heldSpy(bar, leftHandle ? &SelectBar::sendStartPercent : &SelectBar::sendEndPercent);
    QSignalSpy otherSpy(bar, leftHandle ? &SelectBar::sendEndPercent : &SelectBar::sendStartPercent);
    QSignalSpy pressedSpy(handle, &QPushButton::pressed);
    QSignalSpy clickedSpy(handle, &QPushButton::clicked);

    // Grab the handle 7 pixels from its left edge: the handle must keep that
    // offset to the pointer, not jump under it.
    const QPoint grip(7, 10);
    QTest::mousePress(window(), button, {}, inWindow(handle, grip));
    QVERIFY(bar->isDragging());
    QVERIFY(!handle->isDown());
    for (int x : moves)
        QTest::mouseMove(window(), inWindow(bar, QPoint(x + grip.x(), 10)));
    QTest::mouseRelease(window(), button, {}, inWindow(bar, QPoint(moves.last() + grip.x(), 10)));
    QVERIFY(!bar->isDragging());

    QCOMPARE(heldSpy.count(), sent.count());
    for (int i = 0; i < sent.count(); ++i)
        QCOMPARE(heldSpy.at(i).at(0).toFloat(), sent.at(i));
    QCOMPARE(otherSpy.count(), 0);
    QCOMPARE(handle->pos(), QPoint(finalX, 0));
    QCOMPARE(other->pos(), otherPos);
    QCOMPARE(line->getStartX(), qint64(left->x() + 19));
    QCOMPARE(line->getEndX(), qint64(right->x()));
    QCOMPARE(pressedSpy.count(), 0);
    QCOMPARE(clickedSpy.count(), 0);
}

void TestSelectBar::moveWithoutHeldHandleSendsNothing()
{
    QSignalSpy startSpy(bar, &SelectBar::sendStartPercent);
    QSignalSpy endSpy(bar, &SelectBar::sendEndPercent);

    // Hovering, then pressing the free part of the band and dragging.
    QTest::mouseMove(window(), inWindow(bar, QPoint(100, 10)));
    QTest::mouseMove(window(), inWindow(bar, QPoint(5, 10)));
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(300, 10)));
    QVERIFY(!bar->isDragging());
    QTest::mouseMove(window(), inWindow(bar, QPoint(10, 10)));
    QTest::mouseMove(window(), inWindow(bar, QPoint(600, 10)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(600, 10)));

    QCOMPARE(startSpy.count(), 0);
    QCOMPARE(endSpy.count(), 0);
    QCOMPARE(left->pos(), QPoint(0, 0));
    QCOMPARE(right->pos(), QPoint(barWidth - 20, 0));
}

void TestSelectBar::doubleClickReachesButtonWithoutDrag()
{
    // QTest spaces its clicks to avoid double clicks, so the timestamps are
    // given here.
    const QPoint at = inWindow(left, QPoint(10, 10));
    const QPointF global = window()->mapToGlobal(at);
    QSignalSpy pressedSpy(left, &QPushButton::pressed);
    QSignalSpy startSpy(bar, &SelectBar::sendStartPercent);
    ulong time = QTest::lastMouseTimestamp + 10000;
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        qt_handleMouseEvent(window(), at, global, buttons, Qt::LeftButton, type, {}, int(++time));
        QCoreApplication::processEvents();
    };

    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    QVERIFY(!bar->isDragging());
    QVERIFY(left->isDown());
    QCOMPARE(pressedSpy.count(), 1);
    qt_handleMouseEvent(window(), at + QPoint(50, 0), global + QPoint(50, 0), Qt::LeftButton,
                        Qt::NoButton, QEvent::MouseMove, {}, int(++time));
    QCoreApplication::processEvents();
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    QTest::lastMouseTimestamp = int(time + 1000);

    QCOMPARE(startSpy.count(), 0);
    QCOMPARE(left->pos(), QPoint(0, 0));
}

void TestSelectBar::resetGreysAndDisables()
{
    bar->setColor(Qt::red);
    bar->setStartPercent(0.2f);
    bar->setEndPercent(0.7f);
    bar->reset();

    QCOMPARE(line->getStartX(), qint64(20));
    QCOMPARE(line->getEndX(), qint64(barWidth - 20));
    QCOMPARE(line->getColor(), QColor(Qt::gray));
    QCOMPARE(left->pos(), QPoint(0, 0));
    QCOMPARE(right->pos(), QPoint(barWidth - 20, 0));
    QVERIFY(!bar->isEnabled());
    const QImage image = line->grab().toImage();
    QCOMPARE(image.pixelColor(barWidth / 2, 10), QColor(Qt::gray));
    QCOMPARE(image.pixelColor(150, 10), QColor(Qt::gray));

    // A disabled bar takes no drags.
    QSignalSpy startSpy(bar, &SelectBar::sendStartPercent);
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(left, QPoint(10, 10)));
    QVERIFY(!bar->isDragging());
    QTest::mouseMove(window(), inWindow(bar, QPoint(200, 10)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(200, 10)));
    QCOMPARE(startSpy.count(), 0);
    QCOMPARE(left->pos(), QPoint(0, 0));
}

// A preview starting disables the bar while a handle may be held: the
// release still ends the drag, and later moves and presses move nothing.
void TestSelectBar::disabledMidDragEndsOnRelease()
{
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(left, QPoint(10, 10)));
    QTest::mouseMove(window(), inWindow(bar, QPoint(100, 10)));
    QVERIFY(bar->isDragging());
    bar->setEnabled(false);
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(100, 10)));
    QVERIFY(!bar->isDragging());

    bar->setEnabled(true);
    const QPoint leftAt = left->pos();
    QSignalSpy startSpy(bar, &SelectBar::sendStartPercent);
    QTest::mouseMove(window(), inWindow(bar, QPoint(300, 10)));
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(400, 10)));
    QTest::mouseMove(window(), inWindow(bar, QPoint(450, 10)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(450, 10)));
    QCOMPARE(startSpy.count(), 0);
    QCOMPARE(left->pos(), leftAt);
}

void TestSelectBar::drawsEnvelope_data()
{
    QTest::addColumn<QColor>("band");
    QTest::addColumn<QColor>("ink");  // of the envelope inside the band

    const QColor dark(0x30, 0x30, 0x30);
    const QColor light(0xF4, 0xF4, 0xF4);
    QTest::newRow("grey band after a reset") << QColor(Qt::gray) << dark;
    QTest::newRow("green") << QColor(QStringLiteral("#009F3C")) << dark;
    QTest::newRow("orange") << QColor(QStringLiteral("#E8641B")) << dark;
    QTest::newRow("purple") << QColor(QStringLiteral("#91007B")) << light;
    QTest::newRow("blue") << QColor(QStringLiteral("#00709E")) << light;
}

// One column per pixel: loud and silent blocks of 10 columns, handed over in
// two parts, the last 78 columns never.
void TestSelectBar::drawsEnvelope()
{
    QFETCH(QColor, band);
    QFETCH(QColor, ink);
    QCOMPARE(bar->envelopeResolution(), span);
    QVector<float> values(span - 78);
    for (int i = 0; i < values.size(); ++i)
        values[i] = (i / 10) % 2 == 0 ? 0.8f : 0.0f;
    bar->startEnvelope(span);
    bar->setEnvelopeColumns(0, values.mid(0, 300));
    bar->setEnvelopeColumns(300, values.mid(300));
    bar->setColor(band);
    bar->setStartPercent(fractionOf(200));
    bar->setEndPercent(fractionOf(400));
    const QImage image = bar->grab().toImage();

    const QColor dark(0x30, 0x30, 0x30);
    const QColor strip(Qt::gray);
    struct Probe { int column; QColor expected; };
    // Band from track column 200 to 400; loud columns are those with an even tens digit.
    const Probe probes[] = {
        {5, dark}, {15, strip}, {125, dark}, {135, strip},        // outside, left
        {205, ink}, {215, band}, {395, band}, {385, ink},         // inside
        {445, dark}, {455, strip}, {span - 40, strip},            // outside, right; not known yet
    };
    for (const Probe &probe : probes) {
        const QColor seen = image.pixelColor(20 + probe.column, 10);
        QVERIFY2(seen == probe.expected, qPrintable(QStringLiteral("column %1 is %2, not %3")
                                                       .arg(probe.column)
                                                       .arg(seen.name(), probe.expected.name())));
    }
    // The loudest column fills the height between the free rows, but not
    // inside the band: its colour shows above and below whatever is loud.
    QCOMPARE(image.pixelColor(20 + 5, 1), dark);
    QCOMPARE(image.pixelColor(20 + 205, 3), band);
    QCOMPARE(image.pixelColor(20 + 205, 16), band);

    bar->clearEnvelope();
    QCOMPARE(bar->grab().toImage().pixelColor(20 + 5, 10), strip);
}

void TestSelectBar::zoomedViewPlacesHandles_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<float>("start");
    QTest::addColumn<float>("end");
    QTest::addColumn<int>("leftX");  // -1: hidden
    QTest::addColumn<int>("rightX"); // -1: hidden

    QTest::newRow("whole view as designed") << 0.0 << 1.0 << 0.5f << 1.0f << 289 << barWidth - 18;
    QTest::newRow("both in the middle half") << 0.25 << 0.75 << 0.3f << 0.5f << int(span * 0.1) << 20 + span / 2;
    QTest::newRow("start left of the view") << 0.5 << 0.75 << 0.3f << 0.625f << -1 << 20 + span / 2;
    QTest::newRow("end right of the view") << 0.5 << 0.75 << 0.625f << 0.9f << span / 2 << -1;
}

void TestSelectBar::zoomedViewPlacesHandles()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(float, start);
    QFETCH(float, end);
    QFETCH(int, leftX);
    QFETCH(int, rightX);

    bar->setView(from, to);
    bar->setStartPercent(start);
    bar->setEndPercent(end);
    QCOMPARE(left->isVisible(), leftX >= 0);
    QCOMPARE(right->isVisible(), rightX >= 0);
    if (leftX >= 0)
        QCOMPARE(left->x(), leftX);
    if (rightX >= 0)
        QCOMPARE(right->x(), rightX);
    // The band shows the part of the piece in view, in its colour.
    const QImage image = bar->grab().toImage();
    const int inside = leftX >= 0 ? leftX + 25 : (rightX >= 0 ? rightX - 5 : barWidth / 2);
    QCOMPARE(image.pixelColor(inside, 10), line->getColor());
}

// Zoomed in, a handle's place is a fraction of the view, and the right end
// of the bar is the view's end.
void TestSelectBar::dragInZoomedView()
{
    bar->setView(0.5, 0.75);
    bar->setStartPercent(0.55f);
    bar->setEndPercent(0.7f);
    QSignalSpy startSpy(bar, &SelectBar::sendStartPercent);
    QSignalSpy endSpy(bar, &SelectBar::sendEndPercent);
    QSignalSpy started(bar, &SelectBar::dragStarted);
    QSignalSpy finished(bar, &SelectBar::dragFinished);

    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(left, QPoint(5, 10)));
    QTest::mouseMove(window(), inWindow(bar, QPoint(100 + 5, 10)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(105, 10)));
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(right, QPoint(5, 10)));
    QTest::mouseMove(window(), inWindow(bar, QPoint(barWidth + 30, 10)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(bar, QPoint(barWidth + 30, 10)));

    QCOMPARE(started.count(), 2);
    QCOMPARE(finished.count(), 2);
    QCOMPARE(startSpy.count(), 1);
    QCOMPARE(startSpy.at(0).at(0).toFloat(), float(0.5 + 0.25 * 100 / span));
    QCOMPARE(endSpy.last().at(0).toFloat(), 0.75f);
}

void TestSelectBar::wheelAsksForZoomOrScroll_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("zoomNotches"); // 0: no zoom asked
    QTest::addColumn<double>("scrollNotches");

    QTest::newRow("Ctrl, up: closer") << int(Qt::ControlModifier) << 120 << 1.0 << 0.0;
    QTest::newRow("Ctrl, down: farther") << int(Qt::ControlModifier) << -240 << -2.0 << 0.0;
    QTest::newRow("down: on") << int(Qt::NoModifier) << -120 << 0.0 << 1.0;
    QTest::newRow("up: back") << int(Qt::NoModifier) << 120 << 0.0 << -1.0;
}

void TestSelectBar::wheelAsksForZoomOrScroll()
{
    QFETCH(int, modifiers);
    QFETCH(int, delta);
    QFETCH(double, zoomNotches);
    QFETCH(double, scrollNotches);

    bar->setView(0.5, 0.75);
    QSignalSpy zoomSpy(bar, &SelectBar::zoomRequested);
    QSignalSpy scrollSpy(bar, &SelectBar::scrollRequested);
    const QPoint at(20 + span / 2, 10);
    QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &wheel);

    QCOMPARE(zoomSpy.count(), zoomNotches != 0.0 ? 1 : 0);
    QCOMPARE(scrollSpy.count(), scrollNotches != 0.0 ? 1 : 0);
    if (zoomNotches != 0.0) {
        QCOMPARE(zoomSpy.at(0).at(0).toDouble(), zoomNotches);
        QCOMPARE(zoomSpy.at(0).at(1).toDouble(), 0.625);
    } else {
        QCOMPARE(scrollSpy.at(0).at(0).toDouble(), scrollNotches);
    }
}

void TestSelectBar::playheadAndFrameTicks_data()
{
    QTest::addColumn<double>("viewTo");
    QTest::addColumn<bool>("ticks");

    // A frame of 1/1000 of the track: 0.58 pixels in the whole view, 5.8
    // pixels in a tenth of it.
    QTest::newRow("whole view: no ticks") << 1.0 << false;
    QTest::newRow("a tenth: ticks") << 0.1 << true;
}

void TestSelectBar::playheadAndFrameTicks()
{
    QFETCH(double, viewTo);
    QFETCH(bool, ticks);

    bar->setColor(Qt::gray);
    bar->setView(0.0, viewTo);
    bar->setFrameGrid(0.001, 0.0);
    bar->setPlayhead(viewTo / 2);
    const QImage image = bar->grab().toImage();
    const int playheadX = 20 + span / 2;
    QCOMPARE(image.pixelColor(playheadX, 10), QColor(0xF4, 0xF4, 0xF4));
    QCOMPARE(image.pixelColor(playheadX - 1, 10), QColor(0x30, 0x30, 0x30));

    // Ticks at the top: columns where the strip is darker than grey.
    int tickColumns = 0;
    for (int x = 40; x < 40 + 100; ++x)
        tickColumns += image.pixelColor(x, 2) != QColor(Qt::gray) ? 1 : 0;
    if (ticks)
        QVERIFY2(tickColumns >= 15 && tickColumns <= 20, qPrintable(QString::number(tickColumns)));
    else
        QCOMPARE(tickColumns, 0);
}

void TestSelectBar::chapterTicks_data()
{
    QTest::addColumn<double>("viewFrom");
    QTest::addColumn<double>("viewTo");
    QTest::addColumn<QList<int>>("drawn"); // the chapters whose ticks show

    // The second and third chapter lie 0.6 pixels apart in the whole view.
    QTest::newRow("whole: one tick for two close chapters") << 0.0 << 1.0 << QList<int>{0, 1, 3};
    QTest::newRow("a tenth: still closer than a flag") << 0.45 << 0.55 << QList<int>{1};
    QTest::newRow("a fiftieth: both") << 0.49 << 0.51 << QList<int>{1, 2};
    QTest::newRow("scrolled on") << 0.7 << 0.8 << QList<int>{3};
}

// Each tick drawn is a light flag with a dark edge at the chapter's column,
// and the pointer on it shows that chapter's tooltip; away from the ticks,
// none.
void TestSelectBar::chapterTicks()
{
    QFETCH(double, viewFrom);
    QFETCH(double, viewTo);
    QFETCH(QList<int>, drawn);

    const QVector<double> fractions{0.25, 0.5, 0.501, 0.75};
    const QStringList tips{"one", "two", "three", "four"};
    bar->setChapterTicks(fractions, tips);
    bar->setView(viewFrom, viewTo);
    QList<int> shown;
    for (const auto &tick : line->drawnChapterTicks())
        shown << tick.second;
    QCOMPARE(shown, drawn);

    const QImage image = line->grab().toImage();
    for (int chapter : drawn) {
        const int x = int(line->columnAt(fractions.at(chapter)));
        QCOMPARE(image.pixelColor(x, 1), QColor(0xF4, 0xF4, 0xF4));
        QCOMPARE(image.pixelColor(x - 4, 1), QColor(0x30, 0x30, 0x30));
        QHelpEvent help(QEvent::ToolTip, QPoint(x + 2, 10), line->mapToGlobal(QPoint(x + 2, 10)));
        QApplication::sendEvent(line, &help);
        QTRY_COMPARE(QToolTip::text(), tips.at(chapter));
    }
    QHelpEvent away(QEvent::ToolTip, QPoint(30, 10), line->mapToGlobal(QPoint(30, 10)));
    QApplication::sendEvent(line, &away);
    QTRY_VERIFY(!QToolTip::isVisible());
}

QTEST_MAIN(TestSelectBar)
#include "tst_selectbar.moc"
