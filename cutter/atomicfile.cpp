#include "atomicfile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString temporaryName(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1Char('.')
        + QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFull, 36);
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

} // namespace

AtomicFile::AtomicFile(const QString &path)
    : m_path(path)
{
    // Writing through a link replaces the file it points to, not the link.
    const QFileInfo info(path);
    if (info.isSymLink())
        m_path = info.symLinkTarget();
}

AtomicFile::~AtomicFile()
{
    discard();
}

#ifdef Q_OS_UNIX

bool AtomicFile::open()
{
    discard();
    const QFileInfo target(m_path);
    if (m_path.isEmpty() || target.isDir())
        return false;
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        m_temporary = temporaryName(m_path);
        m_fd = ::open(QFile::encodeName(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        m_temporary.clear();
        return false;
    }
    if (!m_file.open(m_fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        discard();
        return false;
    }
    return true;
}

bool AtomicFile::commit()
{
    if (m_fd < 0)
        return false;
    m_file.close();
    const QByteArray temporary = QFile::encodeName(m_temporary);
    const QByteArray path = QFile::encodeName(m_path);

    struct stat old = {};
    const bool replacing = ::stat(path.constData(), &old) == 0;
    bool ok = !replacing || S_ISREG(old.st_mode);
    // A replaced file keeps its permissions; a new one gets the umask's.
    if (ok && replacing)
        ok = fchmod(m_fd, old.st_mode & 07777) == 0;
    if (ok && m_sync)
        ok = fdatasync(m_fd) == 0;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (!ok) {
        discard();
        return false;
    }

    if (replacing && exchange(temporary, path)) {
        // The old file now stands under the temporary name.
        ::unlink(temporary.constData());
        m_temporary.clear();
        return true;
    }
    if (::rename(temporary.constData(), path.constData()) != 0) {
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
    }
}

#else
#error "AtomicFile needs POSIX file calls"
#endif
