#include "appsettings.h"

#include "settingskeys.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

constexpr int historyLength = 10;

bool isHistoryEntry(const QString &group, const QString &section, const QString &key)
{
    return group == SettingsKeys::common && section == SettingsKeys::operationSection
        && key == SettingsKeys::openHistory;
}

// The number as an int when it is a whole number in the int range, else 0.
int wholeNumber(double value)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()
        || std::trunc(value) != value)
        return 0;
    return int(value);
}

// The first historyLength distinct paths of a stored list, empty ones
// passed over; a hand-edited or runaway list may hold millions.
QStringList firstPaths(const QJsonArray &stored)
{
    QStringList paths;
    for (auto it = stored.begin(); it != stored.end() && paths.size() < historyLength; ++it) {
        const QString path = (*it).toString();
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

// A path opened again moves to the front instead of standing twice.
QStringList updatedHistory(const QJsonValue &stored, const QString &newest)
{
    QStringList paths = stored.toVariant().toStringList();
    paths.removeDuplicates();
    paths.removeAll(QString());
    paths.removeAll(newest);
    paths.prepend(newest);
    while (paths.size() > historyLength)
        paths.removeLast();
    return paths;
}

// Only what the history keeps is read from the file.
void trimHistory(QJsonObject &root)
{
    QJsonObject group = root.value(SettingsKeys::common).toObject();
    QJsonObject section = group.value(SettingsKeys::operationSection).toObject();
    const QJsonValue stored = section.value(SettingsKeys::openHistory);
    if (!stored.isArray())
        return;
    const QStringList paths = firstPaths(stored.toArray());
    if (paths.size() == stored.toArray().size())
        return;
    section.insert(SettingsKeys::openHistory, QJsonArray::fromStringList(paths));
    group.insert(SettingsKeys::operationSection, section);
    root.insert(SettingsKeys::common, group);
}

bool writeWhole(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A short write (the disk filled up part way) sets no error that
    // commit() looks at, neither in write() nor in the flush on commit, so
    // commit() alone would put a cut-off file in place. Check both here.
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// On Linux and macOS the configuration location is shared by every program,
// and a bare settings.json there may well be somebody else's file: keep ours
// in a folder of its own. On Windows Qt's location is per application already.
QString settingsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
#ifndef Q_OS_WIN
    folder += QStringLiteral("/snipwave");
#endif
    return folder;
}

} // namespace

AppSettings::AppSettings(QObject *parent)
    : QObject(parent)
{
    const QString folder = settingsFolder();
    filePath = folder + QStringLiteral("/settings.json");
    QDir().mkpath(folder);
}

void AppSettings::load()
{
    QFile file(filePath);
    if (!file.exists()) {
        writeWhole(filePath, QByteArrayLiteral("{}"));
        return;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fileUnreadable = true;
        return;
    }
    const QByteArray content = file.readAll();
    file.close();

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    root = document.object();
    trimHistory(root);
    // An empty file holds nothing worth keeping.
    fileUnreadable = (error.error != QJsonParseError::NoError || !document.isObject())
        && !content.trimmed().isEmpty();
}

QVariant AppSettings::getValue(const QString &group, const QString &section,
                               const QString &key) const
{
    const QJsonValue value =
        root.value(group).toObject().value(section).toObject().value(key);
    switch (value.type()) {
    case QJsonValue::Array:
        return value.toArray().toVariantList();
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return wholeNumber(value.toDouble());
    default:
        return QVariant();
    }
}

void AppSettings::setValue(const QString &group, const QString &section, const QString &key,
                           const QVariant &value)
{
    QJsonObject groupObject = root.value(group).toObject();
    QJsonObject sectionObject =
        groupObject.isEmpty() ? QJsonObject() : groupObject.value(section).toObject();
    const bool history = isHistoryEntry(group, section, key);

    if (history && !sectionObject.isEmpty()) {
        sectionObject.insert(key, QJsonArray::fromStringList(
                                      updatedHistory(sectionObject.value(key), value.toString())));
    } else if (history) {
        // A fresh section takes the value as it comes; the next history
        // write cleans the list up.
        sectionObject.insert(key, QJsonArray::fromVariantList({value}));
    } else {
        sectionObject.insert(key, QJsonValue::fromVariant(value));
    }

    groupObject.insert(section, sectionObject);
    root.insert(group, groupObject);
}

void AppSettings::removeHistoryEntry(const QString &path)
{
    using namespace SettingsKeys;
    QJsonObject groupObject = root.value(common).toObject();
    QJsonObject sectionObject = groupObject.value(operationSection).toObject();
    QStringList paths = sectionObject.value(openHistory).toVariant().toStringList();
    if (paths.removeAll(path) == 0)
        return;
    sectionObject.insert(openHistory, QJsonArray::fromStringList(paths));
    groupObject.insert(operationSection, sectionObject);
    root.insert(common, groupObject);
}

void AppSettings::save()
{
    if (fileUnreadable && !keepUnreadableFileAside())
        return;
    if (writeWhole(filePath, QJsonDocument(root).toJson()))
        fileUnreadable = false;
}

bool AppSettings::keepUnreadableFileAside() const
{
    if (!QFile::exists(filePath))
        return true; // gone meanwhile: nothing left to keep
    const QString backupPath = filePath + QStringLiteral(".bak");
    QFile::remove(backupPath);
    return QFile::copy(filePath, backupPath);
}
