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
//
// The name is taken as it is given: a symbolic link under it is replaced by
// the new file, as mv replaces one, and never followed to the place it
// points to (which may lie outside the folder, and belong to anyone). Where
// the folder's sticky bit keeps this user from replacing the link, the
// commit fails with the system's reason and nothing is written.
//
// The temporary file is named .snipwave-<pid>-<random>.part, short enough
// beside any legal output name and recognisably ours. The names of the ones
// being written are kept where a signal handler can reach them
// (removeTemporariesNow()); one left by a process that was killed outright
// is removed by a later open() in the same folder (removeStale()).
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file. Fails when the folder is missing or not
    // writable, when the name stands for a folder or anything else that is
    // not a regular file or a link, when the file under the name may not be
    // written by this user (as cp refuses it), or when the name has the
    // form of our temporaries (removeStale() would take it for one).
    bool open();
    // The temporary file, open for unbuffered writing.
    QFile &file() { return m_file; }
    // Where the file is being written; empty when it is not open.
    QString temporaryPath() const { return m_temporary; }

    // Tells the file system how many bytes are coming, so that it can set
    // aside their room in one go; the file's size still grows only with what
    // is written. A hint: where it cannot be given, nothing changes.
    void reserve(qint64 bytes);

    // Whether open() first removes stale temporaries from the folder (it
    // does by default). A job writing many files there does it once instead:
    // every scan reads the whole folder.
    void setRemoveStale(bool on) { m_removeStale = on; }

    // Flush the data to the disk before the file takes its name (fdatasync).
    void setSyncToDisk(bool on) { m_sync = on; }

    // Puts the file in place; false (and the file removed) when it could not
    // be. Nothing else may be written afterwards.
    bool commit();
    // Removes the temporary file.
    void discard();

    // For writes done past file() (by the kernel, on its descriptor): the
    // errno of the one that failed, so that errorString() tells why.
    void setError(int errnum) { m_errno = errnum; }
    // The system's reason for the last failure of open(), commit() or a
    // write through file(), such as "No space left on device"; empty when
    // nothing failed.
    QString errorString() const;

    // Removes the temporary files of this kind in folder that are older
    // than an hour and whose process is gone. Returns how many it removed.
    static int removeStale(const QString &folder);
    // Removes every temporary file this process has open. Only unlink():
    // safe in a signal handler, which must then end the process.
    static void removeTemporariesNow();
    // Whether a file name (without folder) has the form of our temporaries.
    static bool isTemporaryName(const QByteArray &name, qint64 *pid = nullptr);

private:
    bool fail(int errnum);
    bool refuseTarget();
    bool createTemporary();
    void keepWriteError();
    void releaseUnusedRoom();

    QString m_path;        // the name to give the file, as given
    QString m_temporary;   // where it is written
    QFile m_file;
    int m_fd = -1;
    int m_slot = -1;       // in the list of temporaries being written
    int m_errno = 0;
    qint64 m_reserved = 0; // bytes set aside by reserve()
    QString m_reason;      // a failure that has no errno
    bool m_sync = true;
    bool m_removeStale = true;
};

#endif // ATOMICFILE_H
