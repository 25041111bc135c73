#include "stylesettingsdialog.h"
#include <QFontDatabase>
#include <QLayout>
#include "stylesheetreader.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTimer>
#include <QWindow>
#include <QtTest>

namespace {

const QString darkSheetStart = QStringLiteral("QPalette{background:#444444;}");
const QString unrelatedSheet = QStringLiteral("QLabel{color:red;}");

QRadioButton *radio(QDialog &dialog, const QString &name)
{
    auto *button = dialog.findChild<QRadioButton *>(name);
    if (!button)
        qWarning() << "no radio button" << name;
    return button;
}

// Clicks where the indicator is painted, as a user would.
void clickRadio(QRadioButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect indicator =
        button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

QString checkedIn(QDialog &dialog, const QStringList &names)
{
    QString checked;
    for (const QString &name : names) {
        if (radio(dialog, name)->isChecked())
            checked += name;
    }
    return checked;
}

const QStringList themeButtons {"radioButton_style1", "radioButton_style2",
                                "radioButton_style3", "radioButton_style4"};
const QStringList colourButtons {"radioButtonGreen", "radioButtonPurple",
                                 "radioButtonBlue", "radioButtonOrange"};

} // namespace

class TestStyleSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void execResult_data();
    void execResult();
    void setCheckedItems_data();
    void setCheckedItems();
    void themeClick_data();
    void themeClick();
    void colourClick_data();
    void colourClick();
    void windowIconFromResources();
};

// The program's own font, whose line height the dialog's size must hold.
void TestStyleSettingsDialog::initTestCase()
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":font/SourceHanSansCN-Normal.ttf"));
    QVERIFY(id >= 0);
    QApplication::setFont(QFont(QFontDatabase::applicationFontFamilies(id).value(0)));
}

void TestStyleSettingsDialog::cleanup()
{
    qApp->setStyleSheet(QString());
}

void TestStyleSettingsDialog::execResult_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("theme");

    QTest::newRow("Confirom") << "confirm" << int(QDialog::Accepted) << 1;
    QTest::newRow("close button") << "close" << int(QDialog::Rejected) << 1;
    QTest::newRow("Escape") << "escape" << int(QDialog::Rejected) << 1;
    QTest::newRow("close keeps the theme clicked") << "close" << int(QDialog::Rejected) << 3;
}

void TestStyleSettingsDialog::execResult()
{
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(int, theme);

    StyleSettingsDialog dialog;
    QSignalSpy themes(&dialog, &StyleSettingsDialog::sendIndex);
    QTimer::singleShot(0, &dialog, [&] {
        if (theme != 1)
            clickRadio(radio(dialog, themeButtons.at(theme - 1)));
        if (action == QLatin1String("confirm")) {
            auto *confirm = dialog.findChild<QPushButton *>(QStringLiteral("pushButtonConfirm"));
            QTest::mouseClick(confirm, Qt::LeftButton);
        } else if (action == QLatin1String("close")) {
            dialog.windowHandle()->close(); // what the window manager's close button does
        } else {
            QWidget *focused = QApplication::focusWidget();
            QTest::keyClick(focused ? focused : &dialog, Qt::Key_Escape);
        }
    });
    QTimer::singleShot(10000, &dialog, [&] { dialog.done(-1); }); // fail rather than hang

    QCOMPARE(dialog.exec(), result);
    QCOMPARE(themes.count(), theme == 1 ? 0 : 1);
    QCOMPARE(qApp->styleSheet(), StyleSheetReader().readStyleSheet(theme));
}

void TestStyleSettingsDialog::setCheckedItems_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("themeButton");
    QTest::addColumn<QString>("colourButton");

    QTest::newRow("0, 7") << 0 << 7 << "radioButton_style1" << "radioButtonGreen";
    QTest::newRow("-3, -1") << -3 << -1 << "radioButton_style1" << "radioButtonGreen";
    QTest::newRow("5, 4") << 5 << 4 << "radioButton_style1" << "radioButtonGreen";
    QTest::newRow("1, 0") << 1 << 0 << "radioButton_style1" << "radioButtonGreen";
    QTest::newRow("2, 1") << 2 << 1 << "radioButton_style2" << "radioButtonPurple";
    QTest::newRow("3, 2") << 3 << 2 << "radioButton_style3" << "radioButtonBlue";
    QTest::newRow("4, 3") << 4 << 3 << "radioButton_style4" << "radioButtonOrange";
}

void TestStyleSettingsDialog::setCheckedItems()
{
    QFETCH(int, theme);
    QFETCH(int, colour);
    QFETCH(QString, themeButton);
    QFETCH(QString, colourButton);

    StyleSettingsDialog dialog;
    // Start from another choice, so that the expected one has to be made.
    radio(dialog, themeButton == themeButtons.at(2) ? themeButtons.at(1) : themeButtons.at(2))
        ->setChecked(true);
    radio(dialog, colourButton == colourButtons.at(2) ? colourButtons.at(1) : colourButtons.at(2))
        ->setChecked(true);
    qApp->setStyleSheet(unrelatedSheet);
    QSignalSpy themes(&dialog, &StyleSettingsDialog::sendIndex);
    QSignalSpy colours(&dialog, &StyleSettingsDialog::sendSelectedColor);

    dialog.setCheckedItems(theme, colour);
    QCOMPARE(checkedIn(dialog, themeButtons), themeButton);
    QCOMPARE(checkedIn(dialog, colourButtons), colourButton);
    // Showing the choice applies nothing.
    QCOMPARE(themes.count(), 0);
    QCOMPARE(colours.count(), 0);
    QCOMPARE(qApp->styleSheet(), unrelatedSheet);
}

void TestStyleSettingsDialog::themeClick_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("sheetStart");

    QTest::newRow("Style 4") << "radioButton_style4" << 4 << darkSheetStart;
    QTest::newRow("Style 1 clears the sheet") << "radioButton_style1" << 1 << QString();
    QTest::newRow("Style 2") << "radioButton_style2" << 2 << QString();
    QTest::newRow("Style 3") << "radioButton_style3" << 3 << QString();
}

void TestStyleSettingsDialog::themeClick()
{
    QFETCH(QString, button);
    QFETCH(int, index);
    QFETCH(QString, sheetStart);

    StyleSettingsDialog dialog;
    dialog.setCheckedItems(index == 4 ? 2 : 4, 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    qApp->setStyleSheet(unrelatedSheet);

    // The receiver of the index restyles its own widgets before the dialog
    // replaces the application sheet.
    QStringList sheetsSeenByReceiver;
    connect(&dialog, &StyleSettingsDialog::sendIndex, this,
            [&] { sheetsSeenByReceiver << qApp->styleSheet(); });
    QSignalSpy themes(&dialog, &StyleSettingsDialog::sendIndex);
    QSignalSpy colours(&dialog, &StyleSettingsDialog::sendSelectedColor);

    clickRadio(radio(dialog, button));
    QCOMPARE(themes.count(), 1);
    QCOMPARE(themes.at(0).at(0).toInt(), index);
    QCOMPARE(colours.count(), 0);
    QCOMPARE(sheetsSeenByReceiver, QStringList {unrelatedSheet});

    const QString expected = StyleSheetReader().readStyleSheet(index);
    QCOMPARE(qApp->styleSheet(), expected);
    QCOMPARE(expected.isEmpty(), index == 1);
    QVERIFY(expected.startsWith(sheetStart));
    // Every theme keeps the designed size, so the buttons stay in place.
    QTest::qWait(50);
    QCOMPARE(dialog.size(), QSize(256, 208));
    QVERIFY2(dialog.layout()->minimumSize().height() <= 208, "the content is squeezed");

    // A second click on the checked button applies the theme again.
    qApp->setStyleSheet(unrelatedSheet);
    clickRadio(radio(dialog, button));
    QCOMPARE(themes.count(), 2);
    QCOMPARE(themes.at(1).at(0).toInt(), index);
    QCOMPARE(qApp->styleSheet(), expected);
}

void TestStyleSettingsDialog::colourClick_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("colour");

    QTest::newRow("Green") << "radioButtonGreen" << "#009F3C";
    QTest::newRow("Purple") << "radioButtonPurple" << "#91007B";
    QTest::newRow("Blue") << "radioButtonBlue" << "#00709E";
    QTest::newRow("Orange") << "radioButtonOrange" << "#E8641B";
}

void TestStyleSettingsDialog::colourClick()
{
    QFETCH(QString, button);
    QFETCH(QString, colour);

    StyleSettingsDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    qApp->setStyleSheet(unrelatedSheet);
    QSignalSpy themes(&dialog, &StyleSettingsDialog::sendIndex);
    QSignalSpy colours(&dialog, &StyleSettingsDialog::sendSelectedColor);

    clickRadio(radio(dialog, button));
    QCOMPARE(colours.count(), 1);
    QCOMPARE(colours.at(0).at(0).toString(), colour);
    QCOMPARE(themes.count(), 0);
    QVERIFY(radio(dialog, button)->isChecked());
    QCOMPARE(qApp->styleSheet(), unrelatedSheet);
    QCOMPARE(dialog.styleSheet(), QString());
}

void TestStyleSettingsDialog::windowIconFromResources()
{
    StyleSettingsDialog dialog;
    QVERIFY(!dialog.windowIcon().availableSizes().isEmpty());
}

QTEST_MAIN(TestStyleSettingsDialog)
#include "tst_stylesettingsdialog.moc"
