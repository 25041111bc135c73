#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <QFile>
#include <QString>

// A file that appears under its name only when complete. It is written as a
// temporary file in the same folder and, on commit(), put in the place of
// whatever stood under the name in one step: anyone who opens the name sees
// either the whole old file or the whole new one, never a part. A file that
// is not committed is removed.
//
// Replacing a file swaps the two (renameat2 with RENAME_EXCHANGE, where the
// file system has it) and then removes the old one. A plain rename over an
// existing file would be just as atomic, but ext4 then writes the new file's
// data out on the spot, in case the caller forgot to flush it: that costs as
// much as the flush itself, which is what callers that do not need it are
// avoiding. Callers that want the data on disk before the name points to it
// ask for setSyncToDisk(true). POSIX systems only.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file. Fails when the folder is missing or not
    // writable, or when the name stands for a folder.
    bool open();
    // The temporary file, open for unbuffered writing.
    QFile &file() { return m_file; }

    // Flush the data to the disk before the file takes its name (fdatasync).
    void setSyncToDisk(bool on) { m_sync = on; }

    // Puts the file in place; false (and the file removed) when it could not
    // be. Nothing else may be written afterwards.
    bool commit();
    // Removes the temporary file.
    void discard();

private:
    QString m_path;        // the name to give the file, symlinks resolved
    QString m_temporary;   // where it is written
    QFile m_file;
    int m_fd = -1;
    bool m_sync = true;
};

#endif // ATOMICFILE_H
