#ifndef TESTFILES_H
#define TESTFILES_H

// Files for the tests: whole-file reads and writes, a fresh scratch folder
// for each test function, and the encoder fixtures under tests/data with
// ffprobe's record of where their audio packets lie.

#include <QFile>
#include <QTemporaryDir>

#include <memory>

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The path written, or an empty string when the write failed.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

// GStreamer keeps its plugin registry under the home folder's cache. Tests
// that give the player a fresh home would have it scan every plugin again,
// which takes many seconds on a loaded machine: keep the registry of the
// user running the tests. Call before the home folder is changed.
inline void keepGStreamerRegistry()
{
    if (qEnvironmentVariableIsSet("GST_REGISTRY_1_0"))
        return;
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = qEnvironmentVariable("HOME") + QStringLiteral("/.cache");
    qputenv("GST_REGISTRY_1_0", QFile::encodeName(cache + QStringLiteral("/gstreamer-1.0/registry.snipwave-tests.bin")));
}

inline QString fixturePath(const QString &name)
{
    return QStringLiteral(SNIPWAVE_TEST_DATA "/") + name;
}

// A temporary folder, renewed from the test's init() so that no test
// function sees what another one left behind.
class ScratchFolder
{
public:
    bool renew()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        return m_dir->isValid();
    }
    QString path() const { return m_dir->path(); }
    QString filePath(const QString &name) const { return m_dir->filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        return writeFile(filePath(name), bytes);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// The bytes of the audio packets first .. first + count - 1 (clipped at the
// end of the list) that ffprobe lists in <name>.packets.csv for <name>.mp3.
// The Xing/Info frame is no packet there. Empty when either file is missing.
inline QByteArray packetBytes(const QString &name, int first, int count)
{
    QFile list(fixturePath(name + QStringLiteral(".packets.csv")));
    const QByteArray source = readAll(fixturePath(name + QStringLiteral(".mp3")));
    if (source.isEmpty() || !list.open(QIODevice::ReadOnly | QIODevice::Text))
        return QByteArray();
    QByteArray bytes;
    int index = 0;
    while (!list.atEnd()) {
        const QByteArray line = list.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (index >= first && index < first + count) {
            const QList<QByteArray> fields = line.split(',');
            bytes += source.mid(int(fields.value(0).toLongLong()), fields.value(1).toInt());
        }
        ++index;
    }
    return bytes;
}

#endif // TESTFILES_H
