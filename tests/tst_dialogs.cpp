#include "msgdialog.h"
#include "operation.h"
#include "stylesheetreader.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

using DialogAction = std::function<void(QDialog &)>;
Q_DECLARE_METATYPE(DialogAction)

namespace {

// Runs the dialog modally and, from its own event loop, does what a user
// would do. A dialog that is not the active modal window ends with -1.
int execWith(QDialog &dialog, const DialogAction &action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        if (QApplication::activeModalWidget() != &dialog) {
            dialog.done(-1);
            return;
        }
        action(dialog);
    });
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

void clickButton(QDialog &dialog, const char *name)
{
    auto *button = dialog.findChild<QPushButton *>(QLatin1String(name));
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void msgDialogFrame();
    void msgDialogResult_data();
    void msgDialogResult();
    void msgDialogBackground_data();
    void msgDialogBackground();

    void operationClicks_data();
    void operationClicks();
    void operationTheme_data();
    void operationTheme();
};

void TestDialogs::msgDialogFrame()
{
    MsgDialog dialog;
    QCOMPARE(dialog.windowFlags(), bareFrameFlags());
    QCOMPARE(dialog.minimumSize(), QSize(240, 120));
    QCOMPARE(dialog.maximumSize(), QSize(240, 120));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Notice"));
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
