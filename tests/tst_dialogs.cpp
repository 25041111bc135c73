#include "mp3splitter.h"
#include "mp3streambuilder.h"
#include "msgdialog.h"
#include "operation.h"
#include "stylesheetreader.h"
#include "testfiles.h"
#include "waitingdialog.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

using DialogAction = std::function<void(QDialog &)>;
Q_DECLARE_METATYPE(DialogAction)

namespace {

// Runs the dialog modally and, from its own event loop, does what a user
// would do. A dialog that is not the active modal window ends with -1, one
// that is still open after a generous while (a hung cut) with -2.
int execWith(QDialog &dialog, const DialogAction &action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        if (QApplication::activeModalWidget() != &dialog) {
            dialog.done(-1);
            return;
        }
        action(dialog);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&dialog] { dialog.done(-2); });
    guard.start(30000);
    return dialog.exec();
}

// Qt completes a bare close-button frame with the window type and the title
// and menu hints; a dialog with any other flags differs from this.
Qt::WindowFlags bareFrameFlags()
{
    QWidget probe;
    probe.setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    return probe.windowFlags();
}

// 300 frames of MPEG-1 Layer III at 44.1 kHz (26.1 ms each) behind a tag.
const Mp3StreamBuilder sourceStream = Mp3StreamBuilder().tag(16).frames(300, 0xFB, 0x90);

// A splitter on a worker thread, wired the way the engine wires it, with a
// waiting dialog watching it.
struct WatchedCut
{
    WatchedCut(const QString &source, const QString &output, qint64 endMs)
        : splitter(std::make_unique<Mp3Splitter>())
        , dialog(std::make_unique<WaitingDialog>())
        , sent(splitter.get(), &Mp3Splitter::currentState)
    {
        splitter->setSplitParameters(0, endMs * 1000, source, output);
        splitter->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, splitter.get(), &Mp3Splitter::startSplit);
        dialog->watchCutter(splitter.get());
        QObject::connect(splitter.get(), &AudioCutAbstract::splitCompleted, dialog.get(),
                         &WaitingDialog::complete);
        // The splitter leaves its thread running; the engine quits it when
        // the cut is over.
        QObject::connect(splitter.get(), &AudioCutAbstract::splitCompleted, &thread,
                         [this] { thread.quit(); });
        progressBar = dialog->findChild<QProgressBar *>(QStringLiteral("progressBar"));
        info = dialog->findChild<QTextEdit *>(QStringLiteral("textEditInfo"));
    }

    ~WatchedCut() { finish(); }

    // Waits for the worker thread and delivers what it sent last.
    void finish()
    {
        thread.quit();
        thread.wait();
        QCoreApplication::processEvents();
    }

    QStringList lines() const { return info->toPlainText().split(QLatin1Char('\n')); }
    // What the splitter reported, in order; read once the thread is done.
    QStringList sentLines() const
    {
        QStringList texts;
        for (const QList<QVariant> &arguments : sent)
            texts << arguments.at(0).toString();
        return texts;
    }

    QThread thread;
    std::unique_ptr<Mp3Splitter> splitter;
    std::unique_ptr<WaitingDialog> dialog;
    QSignalSpy sent;
    QProgressBar *progressBar = nullptr;
    QTextEdit *info = nullptr;
};

void clickButton(QDialog &dialog, const char *name)
{
    auto *button = dialog.findChild<QPushButton *>(QLatin1String(name));
    if (!button || !button->isVisible()) {
        dialog.done(-1);
        QFAIL(name);
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void dialogFrame_data();
    void dialogFrame();
    void msgDialogResult_data();
    void msgDialogResult();
    void msgDialogBackground_data();
    void msgDialogBackground();

    void waitingDialogResult_data();
    void waitingDialogResult();
    void waitingDialogFollowsCut();
    void waitingDialogStaysOpenOnFailedCut();
    void waitingDialogClosedDuringCut();

    void operationClicks_data();
    void operationClicks();
    void operationTheme_data();
    void operationTheme();
};

void TestDialogs::dialogFrame_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("confirm");

    QTest::newRow("MsgDialog") << false << QSize(240, 120) << "Confirm";
    QTest::newRow("WaitingDialog") << true << QSize(250, 178) << "Confrim";
}

// A fixed-size notice with nothing but a close button in its frame.
void TestDialogs::dialogFrame()
{
    QFETCH(bool, waiting);
    QFETCH(QSize, size);

    std::unique_ptr<QDialog> dialog;
    if (waiting)
        dialog = std::make_unique<WaitingDialog>();
    else
        dialog = std::make_unique<MsgDialog>();
    QCOMPARE(dialog->windowFlags(), bareFrameFlags());
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Notice"));
    QTEST(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonConfirm"))->text(), "confirm");
}

void TestDialogs::msgDialogResult_data()
{
    QTest::addColumn<bool>("cancelVisible");
    QTest::addColumn<DialogAction>("action");
    QTest::addColumn<int>("result");

    QTest::newRow("confirm") << true
        << DialogAction([](QDialog &d) { clickButton(d, "pushButtonConfirm"); }) << 1;
    QTest::newRow("cancel") << true
        << DialogAction([](QDialog &d) { clickButton(d, "pushButtonCancel"); }) << 0;
    QTest::newRow("close button") << true << DialogAction([](QDialog &d) { d.close(); }) << 0;
    QTest::newRow("escape") << true
        << DialogAction([](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); }) << 0;
    QTest::newRow("confirm without cancel") << false << DialogAction([](QDialog &d) {
        QVERIFY(!d.findChild<QPushButton *>(QStringLiteral("pushButtonCancel"))->isVisible());
        clickButton(d, "pushButtonConfirm");
    }) << 1;
}

void TestDialogs::msgDialogResult()
{
    QFETCH(bool, cancelVisible);
    QFETCH(DialogAction, action);
    QFETCH(int, result);

    MsgDialog dialog;
    dialog.setText(QStringLiteral("Are you confirm to exit?"));
    dialog.setCancelVisible(cancelVisible);
    QCOMPARE(execWith(dialog, action), result);
}

void TestDialogs::msgDialogBackground_data()
{
    QTest::addColumn<int>("themeIndex");
    QTest::addColumn<QColor>("background");

    const QColor white(QStringLiteral("#FFFFFF"));
    QTest::newRow("0") << 0 << white;
    QTest::newRow("1") << 1 << white;
    QTest::newRow("2 light blue") << 2 << QColor(QStringLiteral("#EAF7FF"));
    QTest::newRow("3") << 3 << white;
    QTest::newRow("4 dark") << 4 << QColor(QStringLiteral("#444444"));
    QTest::newRow("5") << 5 << white;
}

void TestDialogs::msgDialogBackground()
{
    QFETCH(int, themeIndex);
    QFETCH(QColor, background);

    MsgDialog dialog;
    // Start from a different colour, so that a setter that ignores the
    // index cannot pass.
    dialog.setThemeIndex(themeIndex == 4 ? 2 : 4);
    dialog.setThemeIndex(themeIndex);
    const QImage image = dialog.grab().toImage();
    QCOMPARE(image.pixelColor(3, 60), background);
    QCOMPARE(image.pixelColor(dialog.width() - 3, 3), background);
    QCOMPARE(image.pixelColor(0, 60), QColor(Qt::gray));
}

void TestDialogs::waitingDialogResult_data()
{
    QTest::addColumn<DialogAction>("action");
    QTest::addColumn<int>("result");

    QTest::newRow("confrim") << DialogAction([](QDialog &d) { clickButton(d, "pushButtonConfirm"); })
                             << 1;
    QTest::newRow("close button") << DialogAction([](QDialog &d) { d.close(); }) << 0;
    QTest::newRow("escape")
        << DialogAction([](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); }) << 0;
    // How a cut's end closes it, or not, the tests below follow through real cuts.
}

void TestDialogs::waitingDialogResult()
{
    QFETCH(DialogAction, action);
    QFETCH(int, result);

    WaitingDialog dialog;
    QCOMPARE(execWith(dialog, action), result);
}

void TestDialogs::waitingDialogFollowsCut()
{
    QTemporaryDir dir;
    const QString input = writeFile(dir.filePath(QStringLiteral("source.mp3")), sourceStream.bytes);
    WatchedCut cut(input, dir.filePath(QStringLiteral("cut.mp3")), 100 * 26);
    QSignalSpy maxSpy(cut.splitter.get(), &AudioCutAbstract::saveProgressBarMaxValue);
    QSignalSpy valueSpy(cut.progressBar, &QProgressBar::valueChanged);

    cut.thread.start();
    // The dialog closes itself when the cut succeeds.
    QCOMPARE(execWith(*cut.dialog, [](QDialog &) {}), 1);
    cut.finish();

    QCOMPARE(maxSpy.count(), 1);
    const int frames = maxSpy.at(0).at(0).toInt();
    QVERIFY(frames > 90 && frames <= 100);
    QCOMPARE(cut.progressBar->maximum(), frames);
    // The bar moves when the percentage does, up to the last frame.
    QVERIFY(valueSpy.count() >= 1 && valueSpy.count() <= 101);
    for (int i = 1; i < valueSpy.count(); ++i)
        QVERIFY(valueSpy.at(i).at(0).toInt() > valueSpy.at(i - 1).at(0).toInt());
    QCOMPARE(valueSpy.last().at(0).toInt(), frames);
    // Every report of the cutter, one a line, down to the last.
    QVERIFY(cut.sent.count() > 2);
    QCOMPARE(cut.lines(), cut.sentLines());
    QCOMPARE(cut.lines().last(), QStringLiteral("Operate successfully!"));
}

void TestDialogs::waitingDialogStaysOpenOnFailedCut()
{
    QTemporaryDir dir;
    WatchedCut cut(dir.filePath(QStringLiteral("missing.mp3")),
                   dir.filePath(QStringLiteral("cut.mp3")), 5000);
    bool openAfterFailure = false;
    QObject::connect(&cut.thread, &QThread::finished, cut.dialog.get(), [&] {
        openAfterFailure = cut.dialog->isVisible();
        cut.dialog->close();
    });

    cut.thread.start();
    QCOMPARE(execWith(*cut.dialog, [](QDialog &) {}), 0);
    cut.finish();

    QVERIFY(openAfterFailure);
    QCOMPARE(cut.lines(), cut.sentLines());
    QCOMPARE(cut.lines().last(), QStringLiteral("Canot find first frame header."));
}

void TestDialogs::waitingDialogClosedDuringCut()
{
    QTemporaryDir dir;
    const QString input = writeFile(dir.filePath(QStringLiteral("source.mp3")), sourceStream.bytes);
    WatchedCut cut(input, dir.filePath(QStringLiteral("cut.mp3")), 200 * 26);
    QSignalSpy maxSpy(cut.splitter.get(), &AudioCutAbstract::saveProgressBarMaxValue);

    cut.thread.start();
    QCOMPARE(execWith(*cut.dialog,
                      [](QDialog &d) { clickButton(d, "pushButtonConfirm"); }),
             1);
    QVERIFY(cut.thread.isRunning());
    // The cut goes on without the dialog.
    cut.dialog.reset();
    cut.finish();
    QCOMPARE(maxSpy.count(), 1);
    QVERIFY(readAll(dir.filePath(QStringLiteral("cut.mp3")))
            == sourceStream.framesBytes(0, maxSpy.at(0).at(0).toInt()));
}

void TestDialogs::operationClicks_data()
{
    QTest::addColumn<bool>("deleteButton");
    QTest::addColumn<bool>("synthetic");
    QTest::addColumn<bool>("deleteEnabled");
    QTest::addColumn<int>("playClicks");
    QTest::addColumn<int>("deleteClicks");

    QTest::newRow("play, press and release events") << false << true << true << 1 << 0;
    QTest::newRow("play, mouse click") << false << false << true << 1 << 0;
    QTest::newRow("delete") << true << false << true << 0 << 1;
    QTest::newRow("delete disabled") << true << false << false << 0 << 0;
}

void TestDialogs::operationClicks()
{
    QFETCH(bool, deleteButton);
    QFETCH(bool, synthetic);
    QFETCH(bool, deleteEnabled);
    QFETCH(int, playClicks);
    QFETCH(int, deleteClicks);

    Operation row;
    auto *del = row.findChild<QPushButton *>(QStringLiteral("pushButtonDelete"));
    QVERIFY(del && del->isHidden());
    QCOMPARE(row.playButton()->size(), QSize(20, 20));
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    del->show();
    row.setDeleteEnabled(deleteEnabled);
    QSignalSpy playSpy(&row, &Operation::playButtonClicked);
    QSignalSpy deleteSpy(&row, &Operation::deleteButtonClicked);

    QPushButton *target = deleteButton ? del : row.playButton();
    if (synthetic) {
        // What the main window sends to start the newest row.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &press);
        QCoreApplication::sendEvent(target, &release);
    } else {
        QTest::mouseClick(target, Qt::LeftButton);
    }
    QCOMPARE(playSpy.count(), playClicks);
    QCOMPARE(deleteSpy.count(), deleteClicks);
}

void TestDialogs::operationTheme_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("themeIndex");
    QTest::addColumn<QString>("styleSheet");

    QTest::newRow("1 clears") << 4 << 1 << QString();
    QTest::newRow("2 blue") << 4 << 2 << blueButtonStyle;
    QTest::newRow("3 gray") << 2 << 3 << grayButtonStyle;
    QTest::newRow("4 dark") << 3 << 4 << darkButtonStyle;
    QTest::newRow("0 keeps") << 4 << 0 << darkButtonStyle;
    QTest::newRow("5 keeps") << 2 << 5 << blueButtonStyle;
}

void TestDialogs::operationTheme()
{
    QFETCH(int, before);
    QFETCH(int, themeIndex);
    QFETCH(QString, styleSheet);

    Operation row;
    row.setThemeIndex(before);
    row.setThemeIndex(themeIndex);
    QCOMPARE(row.playButton()->styleSheet(), styleSheet);
    QCOMPARE(row.findChild<QPushButton *>(QStringLiteral("pushButtonDelete"))->styleSheet(),
             styleSheet);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
