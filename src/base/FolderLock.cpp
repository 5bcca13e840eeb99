#include "FolderLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvoll {

namespace {
// flock() that is not given up when a signal arrives.
int lockAs(int fd, int operation)
{
    int rc = 0;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}
} // namespace

FolderLock::FolderLock(const QString& folder) : m_folder(folder)
{
    const QByteArray name = QFile::encodeName(folder);
    m_fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd >= 0 && lockAs(m_fd, LOCK_SH) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0) {
        ::close(m_fd); // and with it the lock
    }
}

int FolderLock::removeLeftovers(const QStringList& targets)
{
    if (m_fd < 0 || targets.isEmpty()) {
        return 0;
    }
    // Another job holding the folder may be writing any of the part files.
    // (Turning the shared lock into an exclusive one may let it go for a
    // moment; this job has written nothing yet.)
    const bool alone = lockAs(m_fd, LOCK_EX | LOCK_NB) == 0;
    int removed = 0;
    if (alone) {
        // StagedFile's names: the target's, ".part-" and a number in base 36.
        const QRegularExpression parts(QStringLiteral("^(?:%1)\\.part-[0-9a-z]+$").arg(targets.join(u'|')));
        const QStringList names = QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
        for (const QString& name : names) {
            if (!parts.match(name).hasMatch()) {
                continue;
            }
            // Looked up in the held folder itself, and never a link: unlinkat
            // removes a name, never what a link points to.
            const QByteArray entry = QFile::encodeName(name);
            struct stat info
            {
            };
            if (::fstatat(m_fd, entry.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(info.st_mode) && ::unlinkat(m_fd, entry.constData(), 0) == 0) {
                ++removed;
            }
        }
    }
    // Shared again, for the writes of this job.
    if (lockAs(m_fd, LOCK_SH) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return removed;
}

} // namespace brenvoll
