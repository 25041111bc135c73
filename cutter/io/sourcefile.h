#ifndef SOURCEFILE_H
#define SOURCEFILE_H

#include <QFile>
#include <QString>

// The file a cut reads, opened once. Only a regular file is taken: a FIFO,
// a device or a folder is refused at once, without waiting for a writer
// that may never come. What the file was when it was opened (device,
// inode, size, time of the last change) is kept, so that a cut can refuse
// to write over it and notice when it changes under the cut.
class SourceFile
{
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;

    // Opens path for reading; false with errorString() set when it cannot
    // be read or is not a regular file.
    bool open(const QString &path);
    // Opens other's file once more, with a descriptor (and file position)
    // of its own; false when its path no longer names the same, unchanged
    // file.
    bool reopen(const SourceFile &other);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    // The open file, unbuffered. It owns the descriptor.
    QFile &file() { return m_file; }
    QString path() const { return m_path; }
    // Size in bytes when it was opened.
    qint64 size() const { return m_size; }
    quint64 device() const { return m_device; }
    quint64 inode() const { return m_inode; }
    // Time of the last change when it was opened, in nanoseconds since 1970.
    qint64 modified() const { return m_modified; }

    // Whether path, links followed, names this same file (a hard link
    // included): an output there would write over the source.
    bool isSameFile(const QString &path) const;
    // False when the file's size or time of change is no longer what it
    // was at open(), or it cannot be asked.
    bool unchanged() const;

    // Why open() failed: the system's reason, or what the file is instead
    // of a regular one.
    QString errorString() const { return m_error; }

private:
    bool refuse(const QString &why);

    QFile m_file;
    QString m_path;
    QString m_error;
    qint64 m_size = 0;
    qint64 m_modified = 0;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

#endif // SOURCEFILE_H
