#include "stylesheetreader.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QResource>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

namespace {

QStringList parseWarnings;

void collectParseWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("Could not parse")))
        parseWarnings << message;
}

// A window with one widget of each kind the sheets style, polished so that
// every rule that concerns them has been parsed and applied. Gives the
// colours a label's text and the window's background came out in.
void polishSampleWidgets(QColor *labelText = nullptr, QColor *background = nullptr)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *label = new QLabel(QStringLiteral("label"));
    layout->addWidget(label);
    layout->addWidget(new QPushButton(QStringLiteral("button")));
    layout->addWidget(new QCheckBox(QStringLiteral("check")));
    layout->addWidget(new QComboBox);
    layout->addWidget(new QTimeEdit);
    layout->addWidget(new QProgressBar);
    layout->addWidget(new QSlider(Qt::Horizontal));
    layout->addWidget(new QScrollBar(Qt::Vertical));
    layout->addWidget(new QTableWidget(2, 2));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.grab(); // paints every child once
    if (labelText)
        *labelText = label->palette().color(QPalette::WindowText);
    if (background)
        *background = window.palette().color(QPalette::Window);
}

} // namespace

class TestStyleSheets : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void readStyleSheet_data();
    void readStyleSheet();
    void themeSheetsParseAndColourWidgets_data();
    void themeSheetsParseAndColourWidgets();
    void buttonStylesApply_data();
    void buttonStylesApply();
    void timeEditStyleParses();
    void darkSliderReadable_data();
    void darkSliderReadable();
};

void TestStyleSheets::cleanup()
{
    qApp->setStyleSheet(QString());
    parseWarnings.clear();
}

void TestStyleSheets::readStyleSheet_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("start");

    QTest::newRow("0 has no sheet") << 0 << QString() << QString();
    QTest::newRow("1 is the plain style") << 1 << QString() << QString();
    QTest::newRow("5 has no sheet") << 5 << QString() << QString();
    QTest::newRow("negative") << -3 << QString() << QString();
    QTest::newRow("2 light blue") << 2 << QStringLiteral(":/appStyle/lightblue.css") << QString();
    QTest::newRow("3 flat white") << 3 << QStringLiteral(":/appStyle/flatwhite.css") << QString();
    QTest::newRow("4 dark") << 4 << QStringLiteral(":/appStyle/psblack.css")
                            << QStringLiteral("QPalette{background:#444444;}");
}

void TestStyleSheets::readStyleSheet()
{
    QFETCH(int, index);
    QFETCH(QString, resource);
    QFETCH(QString, start);

    const QString sheet = StyleSheetReader().readStyleSheet(index);
    if (resource.isEmpty()) {
        QCOMPARE(sheet, QString());
        return;
    }

    const QResource stored(resource);
    QVERIFY2(stored.isValid(), qPrintable(resource + " is not in the resources"));
    QVERIFY(!sheet.startsWith(QChar(0xFEFF)));
    QVERIFY(sheet.startsWith(start));
    QVERIFY(!sheet.contains(QChar(0)));
    // The whole sheet, unpacked: nothing but a byte-order mark is dropped.
    QByteArray bytes = sheet.toUtf8();
    const qint64 bom = stored.uncompressedSize() - bytes.size();
    QVERIFY2(bom == 0 || bom == 3, qPrintable(QString::number(bom)));
    QVERIFY(sheet.trimmed().endsWith(QLatin1Char('}')));
}

void TestStyleSheets::themeSheetsParseAndColourWidgets_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");

    QTest::newRow("light blue") << 2 << QColor("#386487") << QColor("#EAF7FF");
    QTest::newRow("flat white") << 3 << QColor("#57595B") << QColor("#FFFFFF");
    QTest::newRow("dark") << 4 << QColor("#DCDCDC") << QColor("#444444");
}

void TestStyleSheets::themeSheetsParseAndColourWidgets()
{
    QFETCH(int, index);
    const QString sheet = StyleSheetReader().readStyleSheet(index);
    QVERIFY(!sheet.isEmpty());

    const QtMessageHandler previous = qInstallMessageHandler(collectParseWarnings);
    qApp->setStyleSheet(sheet);
    QColor text;
    QColor background;
    polishSampleWidgets(&text, &background);
    qInstallMessageHandler(previous);
    QCOMPARE(parseWarnings, QStringList());
    QTEST(text, "text");
    QTEST(background, "background");
}

void TestStyleSheets::buttonStylesApply_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QColor>("text");

    QTest::newRow("gray") << grayButtonStyle << QColor("#57595B");
    QTest::newRow("blue") << blueButtonStyle << QColor("#386487");
    QTest::newRow("dark") << darkButtonStyle << QColor("#DCDCDC");
}

void TestStyleSheets::buttonStylesApply()
{
    QFETCH(QString, sheet);
    QFETCH(QColor, text);

    const QtMessageHandler previous = qInstallMessageHandler(collectParseWarnings);
    QPushButton button(QStringLiteral("play"));
    button.setStyleSheet(sheet);
    button.ensurePolished();
    qInstallMessageHandler(previous);

    QCOMPARE(parseWarnings, QStringList());
    QCOMPARE(button.palette().color(QPalette::ButtonText), text);
    QVERIFY(button.minimumSizeHint().height() >= 15); // min-height reached the button
}

void TestStyleSheets::timeEditStyleParses()
{
    const QtMessageHandler previous = qInstallMessageHandler(collectParseWarnings);
    QTimeEdit edit;
    edit.setStyleSheet(timeEditStyle);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.grab();
    qInstallMessageHandler(previous);
    QCOMPARE(parseWarnings, QStringList());
}

void TestStyleSheets::darkSliderReadable_data()
{
    QTest::addColumn<QString>("rule");
    QTest::newRow("groove") << "QSlider::groove:horizontal";
    QTest::newRow("part still to play") << "QSlider::add-page:horizontal";
    QTest::newRow("part played") << "QSlider::sub-page:horizontal";
}

// The progress slider on the dark background, at least 3:1 (WCAG).
void TestStyleSheets::darkSliderReadable()
{
    QFETCH(QString, rule);
    const QString sheet = StyleSheetReader().readStyleSheet(4);
    const QRegularExpression background(QRegularExpression::escape(rule) + R"(\s*\{[^}]*background:(#[0-9A-Fa-f]{6}))");
    const QRegularExpressionMatch match = background.match(sheet);
    QVERIFY2(match.hasMatch(), qPrintable(rule));
    auto luminance = [](const QColor &c) {
        auto f = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * f(c.redF()) + 0.7152 * f(c.greenF()) + 0.0722 * f(c.blueF());
    };
    const double ratio = (luminance(QColor(match.captured(1))) + 0.05) / (luminance(QColor("#444444")) + 0.05);
    QVERIFY2(ratio >= 3.0, qPrintable(match.captured(1)));
}

QTEST_MAIN(TestStyleSheets)
#include "tst_stylesheets.moc"
