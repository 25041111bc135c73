#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QResource>
#include <QSlider>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type;
};

QList<Message> readCatalogueSource()
{
    QList<Message> messages;
    QFile file(QStringLiteral(SNIPWAVE_TS_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message current;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            current = Message{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            current.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            current.type = xml.attributes().value(QLatin1String("type")).toString();
            current.translation = xml.readElementText();
            messages.append(current);
        }
    }
    return xml.hasError() ? QList<Message>() : messages;
}

// Number of pixels that are not fully transparent.
int paintedPixels(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

QStringList capturedWarnings;

void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        capturedWarnings.append(message);
}

const QStringList themes = {QStringLiteral("lightblue"), QStringLiteral("flatwhite"),
                            QStringLiteral("psblack")};

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void everyPathOpens_data();
    void everyPathOpens();

    void sheetsAreCompressedAndLoadWhole_data();
    void sheetsAreCompressedAndLoadWhole();
    void darkSheetStartsWithItsActiveRules();
    void lightSheetsKeepThoseRulesInAComment_data();
    void lightSheetsKeepThoseRulesInAComment();
    void sheetsShareOneLayout();
    void sheetsNameOnlyTheirOwnImages_data();
    void sheetsNameOnlyTheirOwnImages();
    void sheetsParseAndColourWidgets_data();
    void sheetsParseAndColourWidgets();

    void fontsRegisterUncompressed_data();
    void fontsRegisterUncompressed();
    void fontCoversTheCatalogue();

    void catalogueHoldsEveryMessage();
    void translatorTurnsTexts_data();
    void translatorTurnsTexts();
    void helpTextKeepsItsLines();
    void bothCataloguesMatchTheSource_data();
    void bothCataloguesMatchTheSource();

    void imagesDecodeAtTheirSize_data();
    void imagesDecodeAtTheirSize();
    void svgImagesRenderAtTheirSize_data();
    void svgImagesRenderAtTheirSize();
};

void TestResources::everyPathOpens_data()
{
    QTest::addColumn<QString>("path");

    QStringList paths = {
        "font/SourceHanSansCN-Normal.ttf", "font/SourceHanSansCN-Light.ttf",
        "font/SourceHanSansCN-Medium.ttf", "snipwave_zh_CN.qm", "i18n/snipwave_zh_CN.qm",
        "appStyle/lightblue.css", "appStyle/flatwhite.css", "appStyle/psblack.css",
    };
    for (const QString &theme : themes) {
        for (const char *name : {"radiobutton_checked.svg", "radiobutton_uncheked.svg",
                                 "add_top.png", "add_bottom.png"})
            paths << QStringLiteral("qss/%1/%2").arg(theme, QLatin1String(name));
    }
    for (const char *name :
         {"appicon36.png", "icon_32bpp_48x48.png", "icon_open.png", "icon_exit.png",
          "icon_settings.png", "icon_help.png", "icon_themes.png", "icon_save_dir.png",
          "icon_play.png", "icon_pause.png", "icon_pause.svg", "icon_stop.png",
          "icon_cutter.png", "icon_saveTo.png", "icon_save_play.png", "icon_delete.png",
          "delete.png", "icon_warning.png", "handle.svg", "up.svg", "down.svg", "up.png",
          "down.png", "icon_fwd.png", "icon_rew.png", "icon_about.png", "icon_property.png",
          "icon_preview.png", "icon_save.png", "icon_sliderHandle.png", "topimage.png"})
        paths << QStringLiteral("images/") + QLatin1String(name);

    for (const QString &path : qAsConst(paths))
        QTest::newRow(qPrintable(path)) << path;
}

void TestResources::everyPathOpens()
{
    QFETCH(QString, path);

    const QResource withSlash(QStringLiteral(":/") + path);
    const QResource withoutSlash(QStringLiteral(":") + path);
    QVERIFY(withSlash.isValid());
    QVERIFY(withoutSlash.isValid());
    // Both spellings name one entry, not two copies.
    QCOMPARE(withoutSlash.data(), withSlash.data());
    QVERIFY(withSlash.size() > 0);

    QFile file(QStringLiteral(":") + path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.read(16).isEmpty());
}

void TestResources::sheetsAreCompressedAndLoadWhole_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &theme : themes)
        QTest::newRow(qPrintable(theme)) << QStringLiteral(":/appStyle/%1.css").arg(theme);
}

void TestResources::sheetsAreCompressedAndLoadWhole()
{
    QFETCH(QString, path);

    const QResource resource(path);
    QCOMPARE(resource.compressionAlgorithm(), QResource::ZlibCompression);
    QVERIFY(resource.size() < resource.uncompressedSize() / 3);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(text.size(), int(resource.uncompressedSize()));
    QVERIFY2(text.size() > 14000 && text.size() < 20000, QByteArray::number(text.size()));
    QVERIFY(!text.contains('\0'));
    // The last rule arrives complete.
    QVERIFY(text.trimmed().endsWith('}'));
    QVERIFY(text.contains("*:disabled{"));
    QCOMPARE(text.count('{'), text.count('}'));
}

void TestResources::darkSheetStartsWithItsActiveRules()
{
    QFile file(QStringLiteral(":/appStyle/psblack.css"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("\xEF\xBB\xBF"));
    QVERIFY(text.mid(3).startsWith("QPalette{background:#444444;}\n"
                                   "*{outline:0px;color:#DCDCDC;}\n"));
}

void TestResources::lightSheetsKeepThoseRulesInAComment_data()
{
    QTest::addColumn<QString>("theme");
    QTest::newRow("lightblue") << QStringLiteral("lightblue");
    QTest::newRow("flatwhite") << QStringLiteral("flatwhite");
}

void TestResources::lightSheetsKeepThoseRulesInAComment()
{
    QFETCH(QString, theme);

    QFile file(QStringLiteral(":/appStyle/%1.css").arg(theme));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("/*"));
    const int commentEnd = text.indexOf("*/");
    QVERIFY(text.indexOf("QPalette{") < commentEnd);
    QVERIFY(text.indexOf("*{outline:0px;") < commentEnd);
    QCOMPARE(text.count("QPalette{"), 1);
}

// The three sheets differ in colours and image folder only: one rule list,
// one set of properties per rule.
void TestResources::sheetsShareOneLayout()
{
    static const QRegularExpression comments(QStringLiteral("/\\*.*?\\*/"),
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^{}]*)\\}"));

    QList<QStringList> layouts;
    for (const QString &theme : themes) {
        QFile file(QStringLiteral(":/appStyle/%1.css").arg(theme));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(file.readAll());
        text.remove(QChar(0xFEFF)).remove(comments);
        if (theme == QLatin1String("psblack")) {
            // the two active rules that the light sheets keep in a comment
            text.remove(QStringLiteral("QPalette{background:#444444;}"));
            text.remove(QStringLiteral("*{outline:0px;color:#DCDCDC;}"));
        }
        QStringList layout;
        auto it = rule.globalMatch(text);
        while (it.hasNext()) {
            const auto match = it.next();
            QStringList properties;
            const QStringList declarations = match.captured(2).split(QLatin1Char(';'));
            for (const QString &declaration : declarations) {
                const QString name = declaration.section(QLatin1Char(':'), 0, 0).trimmed();
                if (!name.isEmpty())
                    properties << name;
            }
            layout << match.captured(1).trimmed() + QLatin1Char('{')
                    + properties.join(QLatin1Char(';'));
        }
        QVERIFY2(layout.size() >= 100 && layout.size() <= 140,
                 qPrintable(theme + QStringLiteral(": %1 rules").arg(layout.size())));
        layouts << layout;
    }
    QCOMPARE(layouts.at(1), layouts.at(0));
    QCOMPARE(layouts.at(2), layouts.at(0));
}

void TestResources::sheetsNameOnlyTheirOwnImages_data()
{
    sheetsAreCompressedAndLoadWhole_data();
}

void TestResources::sheetsNameOnlyTheirOwnImages()
{
    QFETCH(QString, path);
    const QString theme = path.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());

    static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    QSet<QString> named;
    auto it = url.globalMatch(text);
    while (it.hasNext())
        named.insert(it.next().captured(1));
    QVERIFY(!named.isEmpty());
    for (const QString &image : qAsConst(named))
        QVERIFY2(image.startsWith(QStringLiteral(":/qss/%1/").arg(theme)), qPrintable(image));

    // The images the sheet relies on for radio buttons and arrows are there.
    for (const char *name : {"radiobutton_checked.svg", "add_top.png", "add_bottom.png"}) {
        const QString image = QStringLiteral(":/qss/%1/%2").arg(theme, QLatin1String(name));
        QVERIFY2(named.contains(image), qPrintable(image));
        QVERIFY2(QFile::exists(image), qPrintable(image));
    }
}

void TestResources::sheetsParseAndColourWidgets_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");

    QTest::newRow("lightblue") << "lightblue" << QColor("#386487") << QColor("#EAF7FF");
    QTest::newRow("flatwhite") << "flatwhite" << QColor("#57595B") << QColor("#FFFFFF");
    QTest::newRow("psblack") << "psblack" << QColor("#DCDCDC") << QColor("#444444");
}

void TestResources::sheetsParseAndColourWidgets()
{
    QFETCH(QString, theme);
    QFETCH(QColor, text);
    QFETCH(QColor, background);

    QFile file(QStringLiteral(":/appStyle/%1.css").arg(theme));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString sheet = QString::fromUtf8(file.readAll());
    sheet.remove(QChar(0xFEFF));

    capturedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    qApp->setStyleSheet(sheet);
    QWidget window;
    auto *label = new QLabel(QStringLiteral("label"), &window);
    new QPushButton(QStringLiteral("button"), &window);
    new QCheckBox(QStringLiteral("check"), &window);
    new QRadioButton(QStringLiteral("radio"), &window);
    new QTimeEdit(&window);
    new QSlider(Qt::Horizontal, &window);
    new QTableWidget(2, 2, &window);
    window.ensurePolished();
    const auto children = window.findChildren<QWidget *>();
    for (QWidget *child : children)
        child->ensurePolished();
    const QColor labelText = label->palette().color(QPalette::WindowText);
    const QColor windowBackground = window.palette().color(QPalette::Window);
    qApp->setStyleSheet(QString());
    qInstallMessageHandler(previous);

    QVERIFY2(capturedWarnings.isEmpty(), qPrintable(capturedWarnings.join(QLatin1Char('\n'))));
    QCOMPARE(labelText, text);
    QCOMPARE(windowBackground, background);
}

void TestResources::fontsRegisterUncompressed_data()
{
    QTest::addColumn<QString>("path");
    for (const char *weight : {"Normal", "Light", "Medium"})
        QTest::newRow(weight) << QStringLiteral(":/font/SourceHanSansCN-%1.ttf")
                                     .arg(QLatin1String(weight));
}

void TestResources::fontsRegisterUncompressed()
{
    QFETCH(QString, path);

    QCOMPARE(QResource(path).compressionAlgorithm(), QResource::NoCompression);
    const int id = QFontDatabase::addApplicationFont(path);
    QVERIFY(id >= 0);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    QVERIFY(!families.isEmpty());
    QVERIFY(!families.first().isEmpty());
    QVERIFY(QFontDatabase::removeApplicationFont(id));
}

void TestResources::fontCoversTheCatalogue()
{
    QFile file(QStringLiteral(":/font/SourceHanSansCN-Normal.ttf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont font(file.readAll(), 16);
    QVERIFY(font.isValid());

    const QList<Message> messages = readCatalogueSource();
    QVERIFY(!messages.isEmpty());
    QString missing;
    for (const Message &message : messages) {
        for (const QChar c : message.translation) {
            if (!c.isSpace() && !font.supportsCharacter(c) && !missing.contains(c))
                missing += c;
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing));

    // First and last hanzi of GB2312, Latin-1 and a full-width form.
    for (const QChar c : QStringLiteral("啊齄éÿ，（Ａ"))
        QVERIFY2(font.supportsCharacter(c), qPrintable(QString(c)));
}

void TestResources::catalogueHoldsEveryMessage()
{
    const QList<Message> messages = readCatalogueSource();
    QMap<QString, int> perContext;
    QStringList notFinal;
    for (const Message &message : messages) {
        ++perContext[message.context];
        // lrelease leaves out unfinished and vanished entries.
        if (!message.type.isEmpty())
            notFinal << message.source;
    }
    const QMap<QString, int> expected = {{"MainWindow", 47}, {"Mp3Splitter", 21},
                                         {"MsgDialog", 3}, {"StyleSettingsDialog", 12},
                                         {"WaitingDialog", 2}};
    QCOMPARE(perContext, expected);
    QCOMPARE(messages.size(), 85);
    QVERIFY2(notFinal.isEmpty(), qPrintable(notFinal.join(QLatin1String(", "))));
}

void TestResources::translatorTurnsTexts_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("split & preview") << "MainWindow" << "Split & Preview" << "保存并试听";
    QTest::newRow("open") << "MainWindow" << "Open" << "打开音频";
    QTest::newRow("filter") << "MainWindow" << "Mp3 file(*.mp3)" << "Mp3文件(*.mp3)";
    QTest::newRow("quote in source") << "MainWindow" << "00:00:00\"000" << "00:00:00\"000";
    QTest::newRow("time format") << "MainWindow" << "HH:mm:ss\"zzz" << "HH:mm:ss\"zzz";
    QTest::newRow("typo kept") << "MainWindow" << "Split time can not less than 1 secons."
                               << "请确保结束时间大于开始时间，且剪切时长不能小于1秒。";
    QTest::newRow("about")
        << "MainWindow" << "Name:Snipwave\nVersoin:%1\nCopyright 2026 The Snipwave developers"
        << "名称：Snipwave\n版本：%1\n版权所有 2026 Snipwave 开发者";
    QTest::newRow("split running")
        << "MainWindow" << "The last split is still running.Please wait until it finishes."
        << "上一次剪辑仍在进行，请等待它完成。";
    QTest::newRow("step 7") << "Mp3Splitter" << "7.Reading DIV3 tag..." << "7.读取DIV3标签...";
    QTest::newRow("no header") << "Mp3Splitter" << "Canot find first frame header."
                               << "不能够找到帧头。";
    QTest::newRow("start beyond end") << "Mp3Splitter" << "Start time is beyond the end of audio."
                                      << "开始时间超出了音频的结尾。";
    QTest::newRow("msg notice") << "MsgDialog" << "Notice" << "提示";
    QTest::newRow("msg confirm") << "MsgDialog" << "Confirm" << "确定";
    QTest::newRow("style 4") << "StyleSettingsDialog" << "Style 4" << "暗夜之魅";
    QTest::newRow("confirom") << "StyleSettingsDialog" << "Confirom" << "确定";
    QTest::newRow("orange") << "StyleSettingsDialog" << "Orange" << "桔";
    QTest::newRow("confrim") << "WaitingDialog" << "Confrim" << "确定";
    // Lookups are exact and per context.
    QTest::newRow("file name") << "MainWindow" << "20260101_120000_song.mp3"
                               << "20260101_120000_song.mp3";
    QTest::newRow("other context") << "WaitingDialog" << "Split & Preview" << "Split & Preview";
    QTest::newRow("other spelling") << "WaitingDialog" << "Confirm" << "Confirm";
    QTest::newRow("other case") << "MainWindow" << "split & preview" << "split & preview";
}

void TestResources::translatorTurnsTexts()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, expected);

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":snipwave_zh_CN.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString shown = QCoreApplication::translate(qPrintable(context), source.toUtf8());
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(shown, expected);
}

void TestResources::helpTextKeepsItsLines()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/snipwave_zh_CN.qm")));
    const QStringList lines = translator.translate("MainWindow", "Help contents.")
                                  .split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7);
    QVERIFY(lines.at(0).startsWith(QStringLiteral("    这是一款剪辑Mp3文件的小工具")));
    QVERIFY(lines.at(0).endsWith(QStringLiteral("时间格式“00:00:00\"000”对应“时:分:秒\"毫秒”。")));
    QCOMPARE(lines.at(1), QStringLiteral("使用技巧："));
    QVERIFY(lines.at(2).startsWith(QStringLiteral("1、")));
    QVERIFY(lines.at(3).startsWith(QStringLiteral("2、")));
    QVERIFY(lines.at(4).startsWith(QStringLiteral("3、")));
    QCOMPARE(lines.at(5), QString());
    QCOMPARE(lines.at(6), QStringLiteral("(说明：本应用使用了社区版Qt 5.12.2开发库)"));
}

void TestResources::bothCataloguesMatchTheSource_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("bundle 1") << QStringLiteral(":/snipwave_zh_CN.qm");
    QTest::newRow("bundle 2") << QStringLiteral(":/i18n/snipwave_zh_CN.qm");
}

// Every entry of the source survives lrelease: escapes, line feeds and
// quotes included.
void TestResources::bothCataloguesMatchTheSource()
{
    QFETCH(QString, path);

    QTranslator translator;
    QVERIFY(translator.load(path));
    QCOMPARE(translator.language(), QStringLiteral("zh_CN"));
    const QList<Message> messages = readCatalogueSource();
    QCOMPARE(messages.size(), 85);
    for (const Message &message : messages) {
        QCOMPARE(translator.translate(qPrintable(message.context), message.source.toUtf8()),
                 message.translation);
    }
}

void TestResources::imagesDecodeAtTheirSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    for (const char *name :
         {"icon_open", "icon_exit", "icon_settings", "icon_help", "icon_themes",
          "icon_save_dir", "icon_play", "icon_pause", "icon_stop", "icon_cutter",
          "icon_saveTo", "icon_save_play", "icon_delete", "delete", "icon_warning",
          "icon_fwd", "icon_rew", "icon_about", "icon_property", "icon_preview", "icon_save"})
        QTest::newRow(name) << QStringLiteral(":/images/%1.png").arg(QLatin1String(name))
                            << QSize(32, 32);
    QTest::newRow("appicon36") << ":/images/appicon36.png" << QSize(36, 36);
    QTest::newRow("icon_32bpp_48x48") << ":/images/icon_32bpp_48x48.png" << QSize(48, 48);
    QTest::newRow("icon_sliderHandle") << ":/images/icon_sliderHandle.png" << QSize(16, 16);
    QTest::newRow("up") << ":/images/up.png" << QSize(20, 12);
    QTest::newRow("down") << ":/images/down.png" << QSize(20, 12);
    QTest::newRow("topimage") << ":/images/topimage.png" << QSize(360, 60);
    for (const QString &theme : themes) {
        for (const char *name : {"add_top", "add_bottom"}) {
            const QString path = QStringLiteral(":/qss/%1/%2.png").arg(theme, QLatin1String(name));
            QTest::newRow(qPrintable(path)) << path << QSize(10, 10);
        }
    }
}

void TestResources::imagesDecodeAtTheirSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    // Icons are drawn on a transparent ground, and something is drawn.
    if (!path.contains(QLatin1String("topimage"))) {
        const int painted = paintedPixels(image);
        QVERIFY(painted > 0);
        QVERIFY(painted < size.width() * size.height());
    }
}

void TestResources::svgImagesRenderAtTheirSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    // Sizes they are shown at: the handle icon in a 20 x 20 button, the
    // spin-box arrows in the 10 x 5 sub-control, the pause button 26 x 26,
    // radio-button indicators 15 x 15.
    QTest::newRow("handle") << ":/images/handle.svg" << QSize(16, 16);
    QTest::newRow("up") << ":/images/up.svg" << QSize(10, 5);
    QTest::newRow("down") << ":/images/down.svg" << QSize(10, 5);
    QTest::newRow("icon_pause") << ":/images/icon_pause.svg" << QSize(26, 26);
    for (const QString &theme : themes) {
        for (const char *name : {"radiobutton_checked", "radiobutton_uncheked"}) {
            const QString path = QStringLiteral(":/qss/%1/%2.svg").arg(theme, QLatin1String(name));
            QTest::newRow(qPrintable(path)) << path << QSize(15, 15);
        }
    }
}

void TestResources::svgImagesRenderAtTheirSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QSvgRenderer renderer(path);
    QVERIFY(renderer.isValid());
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    const int painted = paintedPixels(image);
    QVERIFY(painted > 0);
    QVERIFY(painted < size.width() * size.height());
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
