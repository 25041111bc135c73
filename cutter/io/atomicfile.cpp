#include "io/atomicfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Prefix = QByteArrayLiteral(".snipwave-");
const QByteArray Suffix = QByteArrayLiteral(".part");
// A temporary file this old whose process is gone is a leftover. The age
// guards against a process that reuses the pid of the one that wrote it.
constexpr time_t StaleAge = 60 * 60;

// The temporary files being written, where a signal handler can reach them
// without a lock or an allocation. A slot is claimed (used), filled, and
// then marked ready; the handler only reads ready slots. More files at once
// than there are slots are still written, just without that protection.
struct Slot
{
    std::atomic<int> used{0};
    std::atomic<int> ready{0};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");
constexpr int SlotCount = 16;
Slot temporaries[SlotCount];

int claimSlot(const QByteArray &path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < SlotCount; ++i) {
        int expected = 0;
        if (temporaries[i].used.compare_exchange_strong(expected, 1)) {
            std::memcpy(temporaries[i].path, path.constData(), size_t(path.size()) + 1);
            temporaries[i].ready.store(1);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int &slot)
{
    if (slot < 0)
        return;
    temporaries[slot].ready.store(0);
    temporaries[slot].used.store(0);
    slot = -1;
}

QString temporaryName(const QString &path)
{
    const QString random = QString::number(QRandomGenerator::global()->generate64() & 0x3FFFFFFFFFFFFull, 36);
    return QFileInfo(path).absolutePath() + QLatin1Char('/') + QLatin1String(Prefix)
        + QString::number(::getpid()) + QLatin1Char('-') + random + QLatin1String(Suffix);
}

// Swaps two names; false where the file system cannot.
bool exchange(const QByteArray &a, const QByteArray &b)
{
#if defined(Q_OS_LINUX) && defined(RENAME_EXCHANGE)
    return renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0;
#else
    Q_UNUSED(a)
    Q_UNUSED(b)
    return false;
#endif
}

bool processGone(qint64 pid)
{
    return pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

AtomicFile::AtomicFile(const QString &path)
    : m_path(path)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

#ifdef Q_OS_UNIX

bool AtomicFile::isTemporaryName(const QByteArray &name, qint64 *pid)
{
    if (!name.startsWith(Prefix) || !name.endsWith(Suffix))
        return false;
    const QByteArray middle = name.mid(Prefix.size(), name.size() - Prefix.size() - Suffix.size());
    const int dash = middle.indexOf('-');
    if (dash < 1 || dash > 10 || dash == middle.size() - 1 || middle.size() - dash - 1 > 13)
        return false;
    for (int i = 0; i < middle.size(); ++i) {
        const char c = middle.at(i);
        const bool ok = i < dash ? (c >= '0' && c <= '9')
                                 : i == dash || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
        if (!ok)
            return false;
    }
    const qint64 number = middle.left(dash).toLongLong();
    if (number <= 0 || number > INT_MAX)
        return false;
    if (pid)
        *pid = number;
    return true;
}

int AtomicFile::removeStale(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!dir)
        return 0;
    const int fd = ::dirfd(dir);
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        qint64 pid = 0;
        struct stat info = {};
        if (!isTemporaryName(QByteArray(entry->d_name), &pid)
            || ::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)
            || now - info.st_mtime < StaleAge || !processGone(pid))
            continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

void AtomicFile::removeTemporariesNow()
{
    for (Slot &slot : temporaries) {
        if (slot.ready.load())
            ::unlink(slot.path);
    }
}

QString AtomicFile::errorString() const
{
    if (!m_reason.isEmpty())
        return m_reason;
    if (m_errno != 0)
        return qt_error_string(m_errno);
    if (m_file.error() != QFileDevice::NoError)
        return m_file.errorString();
    return QString();
}

bool AtomicFile::fail(int errnum)
{
    m_errno = errnum;
    return false;
}

// A name that stands for something other than a file, or for a file this
// user may not write, is not replaced.
bool AtomicFile::refuseTarget()
{
    if (isTemporaryName(QFile::encodeName(QFileInfo(m_path).fileName()))) {
        m_reason = QCoreApplication::translate("AtomicFile", "The name has the form of Snipwave's temporary files");
        return true;
    }
    struct stat info = {};
    // A link is replaced itself, as mv replaces one; where it points is
    // never looked at, let alone written.
    if (::lstat(QFile::encodeName(m_path).constData(), &info) != 0)
        return errno == ENOENT ? false : !fail(errno);
    if (S_ISLNK(info.st_mode))
        return false;
    if (S_ISDIR(info.st_mode))
        return !fail(EISDIR);
    if (!S_ISREG(info.st_mode)) {
        m_reason = QCoreApplication::translate("AtomicFile", "Not a regular file");
        return true;
    }
    if (::access(QFile::encodeName(m_path).constData(), W_OK) != 0)
        return !fail(errno);
    return false;
}

bool AtomicFile::createTemporary()
{
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        m_temporary = temporaryName(m_path);
        const QByteArray name = QFile::encodeName(m_temporary);
        // Listed before it exists, so that no signal finds it unlisted.
        m_slot = claimSlot(name);
        m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            const int error = errno;
            releaseSlot(m_slot);
            m_temporary.clear();
            if (error != EEXIST)
                return fail(error);
        }
    }
    return m_fd >= 0 || fail(EEXIST);
}

void AtomicFile::reserve(qint64 bytes)
{
#if defined(Q_OS_LINUX) && defined(FALLOC_FL_KEEP_SIZE)
    if (m_fd >= 0 && bytes > 0 && ::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes)) == 0)
        m_reserved = bytes;
#else
    Q_UNUSED(bytes)
#endif
}

// Room set aside past the end stays taken after close; cutting the file at
// its own size gives it back.
void AtomicFile::releaseUnusedRoom()
{
    struct stat info = {};
    if (m_reserved > 0 && ::fstat(m_fd, &info) == 0 && info.st_size < m_reserved)
        (void)::ftruncate(m_fd, info.st_size);
    m_reserved = 0;
}

bool AtomicFile::open()
{
    discard();
    m_errno = 0;
    m_reserved = 0;
    m_reason.clear();
    if (m_path.isEmpty())
        return fail(ENOENT);
    if (refuseTarget())
        return false;
    if (m_removeStale)
        removeStale(QFileInfo(m_path).absolutePath());
    if (!createTemporary())
        return false;
    if (!m_file.open(m_fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        m_reason = m_file.errorString();
        discard();
        return false;
    }
    return true;
}

bool AtomicFile::commit()
{
    if (m_fd < 0)
        return false;
    keepWriteError();
    m_file.close();
    releaseUnusedRoom();
    const QByteArray temporary = QFile::encodeName(m_temporary);
    const QByteArray path = QFile::encodeName(m_path);

    struct stat old = {};
    const bool replacing = ::lstat(path.constData(), &old) == 0;
    const bool link = replacing && S_ISLNK(old.st_mode);
    int error = 0;
    if (replacing && !link && !S_ISREG(old.st_mode))
        m_reason = QCoreApplication::translate("AtomicFile", "Not a regular file");
    // A replaced file keeps its permissions; a new one, or one in the place
    // of a link, gets the umask's.
    else if (replacing && !link && fchmod(m_fd, old.st_mode & 07777) != 0)
        error = errno;
    else if (m_sync && fdatasync(m_fd) != 0)
        error = errno;
    if (::close(m_fd) != 0 && error == 0)
        error = errno;
    m_fd = -1;
    if (error != 0 || !m_reason.isEmpty()) {
        discard();
        return error == 0 ? false : fail(error);
    }

    if (replacing && exchange(temporary, path)) {
        // The old file now stands under the temporary name.
        ::unlink(temporary.constData());
    } else if (::rename(temporary.constData(), path.constData()) != 0) {
        error = errno;
        discard();
        return fail(error);
    }
    releaseSlot(m_slot);
    m_temporary.clear();
    return true;
}

// A write through file() that failed is the reason for what follows;
// closing the file would forget it.
void AtomicFile::keepWriteError()
{
    if (m_errno == 0 && m_reason.isEmpty() && m_file.error() != QFileDevice::NoError)
        m_reason = m_file.errorString();
}

void AtomicFile::discard()
{
    if (m_file.isOpen()) {
        keepWriteError();
        m_file.close();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
    }
    releaseSlot(m_slot);
}

#else
#error "AtomicFile needs POSIX file calls"
#endif
