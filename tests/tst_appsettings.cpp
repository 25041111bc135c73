#include "appsettings.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString common = QStringLiteral("Common");
const QString operation = QStringLiteral("Operation");
const QString history = QStringLiteral("OpenHistoryList");
const QString styleSheet = QStringLiteral("StyleSheet");
const QString themeIndex = QStringLiteral("index");

QStringList paths(const QString &prefix, int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << prefix + QString::number(i);
    return list;
}

QByteArray historyFile(const QStringList &list, const QString &key = history)
{
    QJsonObject section {{key, QJsonArray::fromStringList(list)}};
    return QJsonDocument(QJsonObject {{common, QJsonObject {{operation, section}}}}).toJson();
}

// Lowers the file size limit of this process for its lifetime, so that a
// write past the limit fails the way it does on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit saved {};
    void (*previousHandler)(int) = nullptr;
};

} // namespace

class TestAppSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRunCreatesFolderAndEmptyDocument();
    void unusableFileStartsEmptyAndIsKeptAside_data();
    void unusableFileStartsEmptyAndIsKeptAside();
    void valuesReadByJsonType_data();
    void valuesReadByJsonType();
    void historyWrites_data();
    void historyWrites();
    void otherGroupsSurviveSetValueAndSave();
    void interruptedSaveLeavesOldFile_data();
    void interruptedSaveLeavesOldFile();

private:
    QString settingsPath() const { return configDir + QStringLiteral("/settings.json"); }
    void writeSettings(const QByteArray &content);
    QByteArray readFile(const QString &path) const;

    std::unique_ptr<QTemporaryDir> home;
    QString configDir;
};

void TestAppSettings::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    const QString configHome = home->filePath(QStringLiteral("config/nested"));
    qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());
    // The shared configuration folder gets a folder of the program's own.
    configDir = configHome + QStringLiteral("/snipwave");
}

void TestAppSettings::cleanup()
{
    home.reset();
}

void TestAppSettings::writeSettings(const QByteArray &content)
{
    QVERIFY(QDir().mkpath(configDir));
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray TestAppSettings::readFile(const QString &path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestAppSettings::firstRunCreatesFolderAndEmptyDocument()
{
    AppSettings settings;
    QVERIFY(QFileInfo(configDir).isDir());
    QVERIFY(!QFile::exists(settingsPath())); // the constructor does not touch the file

    settings.load();
    QCOMPARE(readFile(settingsPath()), QByteArray("{}"));
    QVERIFY(!settings.getValue(common, styleSheet, themeIndex).isValid());
    QVERIFY(!settings.getValue(common, operation, history).isValid());
}

void TestAppSettings::unusableFileStartsEmptyAndIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("keptAside");

    QTest::newRow("broken JSON") << QByteArray(R"({"Common": {"StyleSheet": {"index": 4)") << true;
    QTest::newRow("array at top level") << QByteArray("[]") << true;
    QTest::newRow("string at top level") << QByteArray(R"("Common")") << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("blank file") << QByteArray(" \n") << false;
}

void TestAppSettings::unusableFileStartsEmptyAndIsKeptAside()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, keptAside);
    writeSettings(content);
    const QString backupPath = settingsPath() + QStringLiteral(".bak");

    AppSettings settings;
    settings.load();
    QVERIFY(!settings.getValue(common, styleSheet, themeIndex).isValid());
    QCOMPARE(readFile(settingsPath()), content); // untouched until saved

    settings.setValue(common, styleSheet, themeIndex, 3);
    settings.save();
    const QJsonObject saved = QJsonDocument::fromJson(readFile(settingsPath())).object();
    QCOMPARE(saved.value(common).toObject().value(styleSheet).toObject().value(themeIndex).toInt(), 3);
    QCOMPARE(QFile::exists(backupPath), keptAside);
    if (!keptAside)
        return;
    QCOMPARE(readFile(backupPath), content);

    // The next save replaces a good file: the backup stays as it was.
    settings.setValue(common, styleSheet, themeIndex, 2);
    settings.save();
    QCOMPARE(readFile(backupPath), content);
}

void TestAppSettings::valuesReadByJsonType_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("whole number") << QByteArray("3") << QVariant(3);
    QTest::newRow("negative") << QByteArray("-3") << QVariant(-3);
    QTest::newRow("not whole") << QByteArray("2.5") << QVariant(0);
    QTest::newRow("beyond int") << QByteArray("1e10") << QVariant(0);
    QTest::newRow("below int") << QByteArray("-3000000000") << QVariant(0);
    QTest::newRow("string") << QByteArray(R"("#91007B")") << QVariant(QStringLiteral("#91007B"));
    QTest::newRow("bool") << QByteArray("true") << QVariant(true);
    QTest::newRow("array of strings") << QByteArray(R"(["/a.mp3", "/b.mp3"])")
                                      << QVariant(QVariantList {QStringLiteral("/a.mp3"),
                                                                QStringLiteral("/b.mp3")});
    QTest::newRow("null") << QByteArray("null") << QVariant();
    QTest::newRow("object") << QByteArray("{}") << QVariant();
}

void TestAppSettings::valuesReadByJsonType()
{
    QFETCH(QByteArray, json);
    QFETCH(QVariant, expected);
    writeSettings(R"({"Common": {"StyleSheet": {"index": )" + json + "}}}");

    AppSettings settings;
    settings.load();
    const QVariant value = settings.getValue(common, styleSheet, themeIndex);
    QCOMPARE(value.isValid(), expected.isValid());
    QCOMPARE(value.userType(), expected.userType());
    QCOMPARE(value, expected);
}

void TestAppSettings::historyWrites_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QVariant>("expected");

    const QStringList ten = paths(QStringLiteral("/m/"), 10);
    QTest::newRow("eleventh path drops the oldest")
        << historyFile(ten) << history << QStringList {"/new"}
        << QVariant(QStringList {"/new"} + ten.mid(0, 9));
    QTest::newRow("hand-edited long list is read as its first ten")
        << historyFile(paths(QStringLiteral("/m/"), 12)) << history << QStringList {"/new"}
        << QVariant(QStringList {"/new"} + paths(QStringLiteral("/m/"), 9));
    QTest::newRow("first ten distinct paths of a list full of repeats")
        << historyFile(QStringList {"/a", "", "/a"} + paths(QStringLiteral("/m/"), 12)) << history << QStringList {"/m/3"}
        << QVariant(QStringList {"/m/3", "/a", "/m/1", "/m/2", "/m/4", "/m/5", "/m/6", "/m/7", "/m/8", "/m/9"});
    QTest::newRow("a path written again moves to the front")
        << historyFile({"/a", "/b", "/c"}) << history << QStringList {"/b"}
        << QVariant(QStringList {"/b", "/a", "/c"});
    QTest::newRow("next write keeps the front duplicate")
        << historyFile({"/a", "/b", "/c"}) << history << QStringList {"/b", "/d"}
        << QVariant(QStringList {"/d", "/b", "/a", "/c"});
    QTest::newRow("empty entries and duplicates dropped")
        << historyFile({"/a", "", "/a", "/b"}) << history << QStringList {"/c"}
        << QVariant(QStringList {"/c", "/a", "/b"});
    QTest::newRow("empty section takes an empty path as it is")
        << QByteArray("{}") << history << QStringList {""} << QVariant(QStringList {""});
    QTest::newRow("the empty path goes with the next write")
        << QByteArray("{}") << history << QStringList {"", "/x"} << QVariant(QStringList {"/x"});
    QTest::newRow("group without the section")
        << QByteArray(R"({"Common": {"StyleSheet": {"index": 2}}})") << history
        << QStringList {""} << QVariant(QStringList {""});
    QTest::newRow("section without the list")
        << QByteArray(R"({"Common": {"Operation": {"SavePath": "/s"}}})") << history
        << QStringList {"/a", "/b"} << QVariant(QStringList {"/b", "/a"});
    QTest::newRow("key in another case is a plain value")
        << historyFile(ten, QStringLiteral("openHistoryList")) << QStringLiteral("openHistoryList")
        << QStringList {"/new"} << QVariant(QStringLiteral("/new"));
}

void TestAppSettings::historyWrites()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QStringList, writes);
    QFETCH(QVariant, expected);
    writeSettings(file);

    AppSettings settings;
    settings.load();
    for (const QString &path : qAsConst(writes))
        settings.setValue(common, operation, key, path);

    const QVariant value = settings.getValue(common, operation, key);
    if (expected.userType() == QMetaType::QStringList) {
        QCOMPARE(value.userType(), int(QMetaType::QVariantList));
        QCOMPARE(value.toStringList(), expected.toStringList());
    } else {
        QCOMPARE(value, expected);
    }
}

void TestAppSettings::otherGroupsSurviveSetValueAndSave()
{
    writeSettings(R"({"Mine": {"Window": {"geometry": [1, 2], "note": "keep"}},)"
                  R"( "Common": {"Operation": {"SavePath": "/s"}, "Extra": {"flag": true}}})");
    {
        AppSettings settings;
        settings.load();
        settings.setValue(common, operation, history, QStringLiteral("/a.mp3"));
        settings.setValue(common, styleSheet, QStringLiteral("SelectColor"),
                          QStringLiteral("#E8641B"));
        settings.setValue(common, styleSheet, themeIndex, 3);
        settings.save();
    }
    AppSettings reloaded;
    reloaded.load();
    // JSON numbers are doubles; a whole number comes back as an int.
    const QVariant theme = reloaded.getValue(common, styleSheet, themeIndex);
    QCOMPARE(theme.userType(), int(QMetaType::Int));
    QCOMPARE(theme.toInt(), 3);
    QCOMPARE(reloaded.getValue("Mine", "Window", "note"), QVariant(QStringLiteral("keep")));
    QCOMPARE(reloaded.getValue("Mine", "Window", "geometry"), QVariant(QVariantList {1, 2}));
    QCOMPARE(reloaded.getValue(common, "Extra", "flag"), QVariant(true));
    QCOMPARE(reloaded.getValue(common, operation, "SavePath"), QVariant(QStringLiteral("/s")));
    QCOMPARE(reloaded.getValue(common, operation, history).toStringList(),
             QStringList {"/a.mp3"});
    QCOMPARE(reloaded.getValue(common, styleSheet, "SelectColor"),
             QVariant(QStringLiteral("#E8641B")));
}

void TestAppSettings::interruptedSaveLeavesOldFile_data()
{
    QTest::addColumn<int>("valueSize");

    // Small documents reach the disk when the file is committed, large ones
    // while they are written.
    QTest::newRow("fails on commit") << 8 * 1024;
    QTest::newRow("fails while writing") << 64 * 1024;
}

void TestAppSettings::interruptedSaveLeavesOldFile()
{
    QFETCH(int, valueSize);
    const QByteArray old = R"({"Common": {"StyleSheet": {"index": 2}}})";
    writeSettings(old);
    AppSettings settings;
    settings.load();
    const QString large(valueSize, QLatin1Char('x'));
    settings.setValue(common, operation, QStringLiteral("SavePath"), large);

    {
        // The new document does not fit under the limit: its write fails
        // half-way, as on a full disk.
        FileSizeLimit limit(4096);
        settings.save();
    }
    QCOMPARE(readFile(settingsPath()), old);
    QCOMPARE(QDir(configDir).entryList(QDir::Files | QDir::Hidden), QStringList {"settings.json"});

    // Nothing in memory was lost: the next save goes through.
    settings.save();
    AppSettings reloaded;
    reloaded.load();
    QCOMPARE(reloaded.getValue(common, operation, QStringLiteral("SavePath")).toString(), large);
    QCOMPARE(reloaded.getValue(common, styleSheet, themeIndex), QVariant(2));
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
