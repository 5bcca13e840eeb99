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

} // namespace brenvoll
