#ifndef APPSETTINGS_H
#define APPSETTINGS_H

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariant>

// The program's persistent settings: one JSON document, snipwave/settings.json in the
// user's configuration location, held in memory and addressed by group,
// section and key. load() reads it once, save() writes it back whole.
//
// The program's entries are named in settingskeys.h. Anything else in the file is kept and written back unchanged.
class AppSettings : public QObject
{
    Q_OBJECT

public:
    explicit AppSettings(QObject *parent = nullptr);

    void load();

    // An invalid QVariant when the value is missing, null or an object;
    // numbers read as int, and one that is not a whole int reads as 0.
    QVariant getValue(const QString &group, const QString &section, const QString &key) const;

    // Changes the document in memory only. The history list keeps at most
    // ten paths, newest first, without duplicates or empty entries.
    void setValue(const QString &group, const QString &section, const QString &key,
                  const QVariant &value);
    // Takes a path out of the history list, in memory only.
    void removeHistoryEntry(const QString &path);

    // Replaces the file in one step, so an interrupted write leaves the old
    // file whole. A file that load() could not read is first kept as
    // settings.json.bak; if that fails, nothing is written.
    void save();

private:
    bool keepUnreadableFileAside() const;

    QJsonObject root;
    QString filePath;
    bool fileUnreadable = false;
};

#endif // APPSETTINGS_H
