#include "SmallDisk.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace brenvoll::robust {

namespace {
QByteArray options(qint64 bytes)
{
    return "size=" + QByteArray::number(bytes) + ",mode=0700";
}
} // namespace

SmallDisk::SmallDisk(qint64 bytes) : m_bytes(bytes)
{
    const QByteArray where = QFile::encodeName(m_dir.path());
    if (::mount("brenvoll-test", where.constData(), "tmpfs", 0, options(bytes).constData()) == 0) {
        m_mounted = true;
    } else {
        m_why = QStringLiteral("cannot mount a small file system here: ") +
                QString::fromLocal8Bit(std::strerror(errno));
    }
}

SmallDisk::~SmallDisk()
{
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
}

bool SmallDisk::fill(qint64 leave)
{
    QFile filler(filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const QByteArray page(4096, 'f');
    struct statvfs info
    {
    };
    while (::statvfs(QFile::encodeName(m_dir.path()).constData(), &info) == 0 &&
           qint64(info.f_bavail) * qint64(info.f_frsize) > leave) {
        if (filler.write(page) != page.size() || !filler.flush()) {
            break;
        }
    }
    return ::statvfs(QFile::encodeName(m_dir.path()).constData(), &info) == 0 &&
           qint64(info.f_bavail) * qint64(info.f_frsize) <= leave;
}

bool SmallDisk::setReadOnly(bool readOnly)
{
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("brenvoll-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs", flags,
                   options(m_bytes).constData()) == 0;
}

} // namespace brenvoll::robust
