#include "io/sourcefile.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file that is not a regular one is, for the message that refuses it.
QString notRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return QCoreApplication::translate("SourceFile", "Is a folder, not a file");
    if (S_ISFIFO(mode))
        return QCoreApplication::translate("SourceFile", "Is a FIFO (named pipe), not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("SourceFile", "Is a device, not a file");
    if (S_ISSOCK(mode))
        return QCoreApplication::translate("SourceFile", "Is a socket, not a file");
    return QCoreApplication::translate("SourceFile", "Not a regular file");
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

SourceFile::~SourceFile()
{
    close();
}

bool SourceFile::refuse(const QString &why)
{
    m_error = why;
    close();
    return false;
}

bool SourceFile::open(const QString &path)
{
    close();
    m_path = path;
    m_error.clear();
    // Without O_NONBLOCK, opening a FIFO waits for a writer; the type is
    // known only once it is open, and then it is refused.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(qt_error_string(errno));
    struct stat info = {};
    QString why;
    if (::fstat(fd, &info) != 0)
        why = qt_error_string(errno);
    else if (!S_ISREG(info.st_mode))
        why = notRegular(info.st_mode);
    if (!why.isEmpty()) {
        ::close(fd);
        return refuse(why);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        why = qt_error_string(errno);
        ::close(fd);
        return refuse(why);
    }
    if (!m_file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(m_file.errorString());
    }
    m_size = info.st_size;
    m_modified = nanoseconds(info.st_mtim);
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return true;
}

bool SourceFile::reopen(const SourceFile &other)
{
    if (!open(other.path()))
        return false;
    if (m_device != other.m_device || m_inode != other.m_inode || m_size != other.m_size
        || m_modified != other.m_modified)
        return refuse(QCoreApplication::translate("SourceFile", "The file changed since it was opened"));
    return true;
}

void SourceFile::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool SourceFile::isSameFile(const QString &path) const
{
    struct stat info = {};
    return isOpen() && ::stat(QFile::encodeName(path).constData(), &info) == 0 && info.st_dev == m_device
        && info.st_ino == m_inode;
}

bool SourceFile::unchanged() const
{
    struct stat info = {};
    return isOpen() && ::fstat(m_file.handle(), &info) == 0 && info.st_size == m_size
        && nanoseconds(info.st_mtim) == m_modified;
}
