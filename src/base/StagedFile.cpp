#include "StagedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace brenvoll {

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
    case ELOOP:
        return QStringLiteral("备份文件夹是一个指向别处的链接，不是文件夹");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

StagedFile::StagedFile(const QString& target, mode_t mode)
    : m_folderPath(QFileInfo(target).absolutePath()), m_final(QFile::encodeName(QFileInfo(target).fileName()))
{
    // The folder is opened once: every name is then looked up in that very
    // folder, and a link planted at the folder's own name is refused instead
    // of followed.
    const QByteArray folder = QFile::encodeName(m_folderPath);
    m_folder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_folder < 0) {
        m_errno = errno;
        struct stat info
        {
        };
        if (m_errno == ENOTDIR && ::lstat(folder.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            m_errno = ELOOP;
        }
        return;
    }
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_name = m_final + ".part-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        m_fd = ::openat(m_folder, m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        mode);
        m_errno = m_fd < 0 ? errno : 0;
        if (m_fd < 0 && m_errno != EEXIST) {
            break;
        }
    }
    m_created = m_fd >= 0;
    // The umask may have taken more away; a mode set on the open file cannot
    // land on anything else.
    if (m_fd >= 0 && ::fchmod(m_fd, mode) != 0) {
        fail();
        ::close(std::exchange(m_fd, -1));
    }
}

StagedFile::~StagedFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (m_created && !m_published) {
        ::unlinkat(m_folder, m_name.constData(), 0);
    }
    if (m_folder >= 0) {
        ::close(m_folder);
    }
}

QString StagedFile::path() const
{
    return QDir(m_folderPath).filePath(QFile::decodeName(m_name));
}

bool StagedFile::write(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail();
        }
        data += written;
        size -= written;
    }
    return true;
}

bool StagedFile::sync()
{
    if (m_fd < 0) {
        return false;
    }
    if (::fsync(m_fd) != 0) {
        return fail();
    }
    return ::close(std::exchange(m_fd, -1)) == 0 || fail();
}

bool StagedFile::publish()
{
    if (!m_created || m_fd >= 0 || m_published) {
        return false;
    }
    if (::renameat(m_folder, m_name.constData(), m_folder, m_final.constData()) != 0) {
        return fail();
    }
    m_published = true;
    ::fsync(m_folder); // the new name outlives a power cut
    return true;
}

bool StagedFile::fail()
{
    m_errno = errno;
    return false;
}

} // namespace brenvoll
