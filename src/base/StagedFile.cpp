#include "StagedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace brenvoll {

StagedFile::StagedFile(const QString& target, FileMode access)
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
    // A name longer than a name may be could be staged, but never published.
    if (m_final.size() > kMaxFileNameBytes) {
        m_errno = ENAMETOOLONG;
        return;
    }
    const mode_t mode =
        access == FileMode::OwnerOnlyRunnable ? (S_IRUSR | S_IWUSR | S_IXUSR) : (S_IRUSR | S_IWUSR);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        const QByteArray suffix = ".part-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // A target whose name is as long as a name may be gets a shortened
        // stem, cut between characters, so that its file can be created.
        qsizetype stem = std::min(m_final.size(), kMaxFileNameBytes - suffix.size());
        while (stem > 0 && stem < m_final.size() && (quint8(m_final[stem]) & 0xC0) == 0x80) {
            --stem;
        }
        m_name = m_final.left(stem) + suffix;
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
        m_written += written;
    }
    startWriteBack();
    return true;
}

// A large file's pages are sent on their way to the disk while the rest is
// still being written, so that the sync at the end waits for the last few
// megabytes rather than for the whole file. The sync still reports any
// failure to write them.
void StagedFile::startWriteBack()
{
    constexpr qint64 kWriteBackBytes = 8 << 20;
    if (m_written - m_writeBackFrom < kWriteBackBytes) {
        return;
    }
#ifdef __linux__
    ::sync_file_range(m_fd, m_writeBackFrom, m_written - m_writeBackFrom, SYNC_FILE_RANGE_WRITE);
#endif
    m_writeBackFrom = m_written;
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
