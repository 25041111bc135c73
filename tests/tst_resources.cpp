#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QRawFont>
#include <QRegularExpression>
#include <QResource>
#include <QSvgRenderer>
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

const QStringList themes = {QStringLiteral("lightblue"), QStringLiteral("flatwhite"),
                            QStringLiteral("psblack")};

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void sheetsAreStoredWhole_data();
    void sheetsAreStoredWhole();
    void sheetsShareOneLayout();
    void sheetsNameOnlyTheirOwnImages_data();
    void sheetsNameOnlyTheirOwnImages();

    void fontsRegisterUncompressed_data();
    void fontsRegisterUncompressed();
    void fontCoversTheCatalogue();

    void catalogueHoldsEveryMessage();
    void translatorTurnsTexts_data();
    void translatorTurnsTexts();
    void helpTextKeepsItsLines();
    void bothCataloguesMatchTheSource_data();
    void bothCataloguesMatchTheSource();

    void imagesDrawAtTheirSize_data();
    void imagesDrawAtTheirSize();
};

void TestResources::sheetsAreStoredWhole_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("activeRulesFirst");
    for (const QString &theme : themes) {
        QTest::newRow(qPrintable(theme)) << QStringLiteral(":/appStyle/%1.css").arg(theme)
                                         << (theme == QLatin1String("psblack"));
    }
}

// The dark sheet starts with a palette and a colour for everything; the light
// sheets keep those two rules, once, in their opening comment.
void TestResources::sheetsAreStoredWhole()
{
    QFETCH(QString, path);
    QFETCH(bool, activeRulesFirst);

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

    if (activeRulesFirst) {
        QVERIFY(text.startsWith("\xEF\xBB\xBF"));
        QVERIFY(text.mid(3).startsWith("QPalette{background:#444444;}\n"
                                       "*{outline:0px;color:#DCDCDC;}\n"));
    } else {
        QVERIFY(text.startsWith("/*"));
        const int commentEnd = text.indexOf("*/");
        QVERIFY(text.indexOf("QPalette{") < commentEnd);
        QVERIFY(text.indexOf("*{outline:0px;") < commentEnd);
        QCOMPARE(text.count("QPalette{"), 1);
    }
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
    sheetsAreStoredWhole_data();
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
    const QMap<QString, int> expected = {{"AtomicFile", 1}, {"BatchTool", 23}, {"ChapterTool", 11}, {"CueSheet", 6},
                                         {"JobCheck", 11}, {"MainWindow", 89}, {"Mp3Splitter", 24}, {"MsgDialog", 3},
                                         {"NamePattern", 4}, {"OutputList", 1}, {"PieceList", 3}, {"RangeList", 6},
                                         {"SilenceFinder", 1}, {"SourceFile", 6}, {"SourceWalk", 1},
                                         {"StyleSettingsDialog", 12}, {"WaitingDialog", 2}};
    QCOMPARE(perContext, expected);
    QCOMPARE(messages.size(), 204);
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
    QCOMPARE(lines.at(6), QStringLiteral("(说明：本应用使用了社区版Qt 5.15开发库)"));
    // The cut button by the one name it shows, wherever the help names it.
    const QString button = translator.translate("MainWindow", "Split & Preview");
    QCOMPARE(lines.at(3).count(button), 2);
    for (const Message &message : readCatalogueSource()) {
        if (message.source.startsWith(QLatin1String("Keys:")))
            QVERIFY(message.translation.contains(QStringLiteral("Ctrl+S 或回车：") + button));
    }
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
    QCOMPARE(messages.size(), 204);
    for (const Message &message : messages) {
        QCOMPARE(translator.translate(qPrintable(message.context), message.source.toUtf8()),
                 message.translation);
    }
}

void TestResources::imagesDrawAtTheirSize_data()
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
    // Drawings at the sizes they are shown at: the handle icon in a 20 x 20
    // button, the spin-box arrows in the 10 x 5 sub-control, the pause button
    // 26 x 26, radio-button indicators 15 x 15.
    QTest::newRow("handle.svg") << ":/images/handle.svg" << QSize(16, 16);
    QTest::newRow("up.svg") << ":/images/up.svg" << QSize(10, 5);
    QTest::newRow("down.svg") << ":/images/down.svg" << QSize(10, 5);
    QTest::newRow("icon_pause.svg") << ":/images/icon_pause.svg" << QSize(26, 26);
    for (const QString &theme : themes) {
        for (const char *name : {"add_top.png", "add_bottom.png", "radiobutton_checked.svg",
                                 "radiobutton_uncheked.svg"}) {
            const QString path = QStringLiteral(":/qss/%1/%2").arg(theme, QLatin1String(name));
            const int side = path.endsWith(QLatin1String(".svg")) ? 15 : 10;
            QTest::newRow(qPrintable(path)) << path << QSize(side, side);
        }
    }
}

void TestResources::imagesDrawAtTheirSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QImage image;
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(path);
        QVERIFY(renderer.isValid());
        image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
    } else {
        image.load(path);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), size);
    }
    // Icons are drawn on a transparent ground, and something is drawn.
    if (!path.contains(QLatin1String("topimage"))) {
        const int painted = paintedPixels(image);
        QVERIFY(painted > 0);
        QVERIFY(painted < size.width() * size.height());
    }
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
