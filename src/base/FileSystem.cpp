#include "FileSystem.h"

#include <QFile>
#include <QTextBoundaryFinder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvoll {

namespace {
void setErr(int* err, int value)
{
    if (err) {
        *err = value;
    }
}
} // namespace

QString fileSystemReason(int err)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("磁盘已满");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一个同名文件，不是文件夹");
    case EEXIST:
    case EISDIR:
        return QStringLiteral("备份位置被一个同名的文件夹或文件占着");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EFBIG:
        return QStringLiteral("文件太大，该磁盘存不下");
    case ELOOP:
        return QStringLiteral("备份文件夹是一个指向别处的链接，不是文件夹");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

QString fittingFileName(const QString& stem, const QString& ending)
{
    const auto bytes = [](const QString& text) { return QFile::encodeName(text).size(); };
    const qsizetype room = kMaxFileNameBytes - bytes(ending);
    if (bytes(stem) <= room) {
        return stem + ending;
    }
    // Cut between characters as a reader sees them, never inside a
    // surrogate pair or between a letter and its marks.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, stem);
    qsizetype fits = 0;
    qsizetype used = 0;
    for (qsizetype at = characters.toNextBoundary(); at > 0; at = characters.toNextBoundary()) {
        used += bytes(stem.mid(fits, at - fits));
        if (used > room) {
            break;
        }
        fits = at;
    }
    return stem.left(fits) + ending;
}

bool createOwnerOnlyFile(const QString& path, int* err)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        const int failure = errno;
        setErr(err, failure);
        return failure == EEXIST;
    }
    // The umask may have taken more away; a mode set on the open file cannot
    // land on anything else.
    const bool owned = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    const int failure = errno;
    ::close(fd);
    if (!owned) {
        ::unlink(name.constData());
        setErr(err, failure);
        return false;
    }
    setErr(err, 0);
    return true;
}

bool removeFileIfPresent(const QString& path, int* err)
{
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
        setErr(err, errno);
        return false;
    }
    setErr(err, 0);
    return true;
}

bool identifyFile(const QString& path, FileIdentity& identity, int* err)
{
    identity = {};
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        const int failure = errno;
        setErr(err, failure == ENOENT ? 0 : failure);
        return failure == ENOENT;
    }
    identity.exists = true;
    identity.link = S_ISLNK(info.st_mode);
    identity.plainFile = S_ISREG(info.st_mode);
    identity.names = qint64(info.st_nlink);
    identity.device = quint64(info.st_dev);
    identity.inode = quint64(info.st_ino);
    setErr(err, 0);
    return true;
}

namespace {
// One byte of the lock file: open file description locks, which belong to
// the open file rather than the process, so that two holders in one process
// exclude each other and closing another descriptor of the file keeps them.
struct flock slotLock(qint64 slot, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(slot);
    lock.l_len = 1;
    return lock;
}
} // namespace

RunSlots::~RunSlots()
{
    close();
}

bool RunSlots::open(const QString& path, int* err)
{
    close();
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                  S_IRUSR | S_IWUSR);
    if (m_fd < 0) {
        setErr(err, errno);
        return false;
    }
    setErr(err, 0);
    return true;
}

void RunSlots::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool RunSlots::take(qint64 slot, int* err)
{
    struct flock lock = slotLock(slot, F_WRLCK);
    if (m_fd < 0 || ::fcntl(m_fd, F_OFD_SETLK, &lock) != 0) {
        setErr(err, m_fd < 0 ? EBADF : errno);
        return false;
    }
    setErr(err, 0);
    return true;
}

bool RunSlots::isTakenElsewhere(qint64 slot) const
{
    struct flock lock = slotLock(slot, F_WRLCK);
    // A slot that cannot be asked about counts as given up: what a run left
    // is then offered rather than hidden.
    return m_fd >= 0 && ::fcntl(m_fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

} // namespace brenvoll
