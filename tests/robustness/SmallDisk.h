#pragma once
// A small file system of its own (tmpfs) for the tests of a full disk and of
// a read-only disk: real ENOSPC and EROFS from the kernel, for the file
// writes that do not go through SQLite (the backup's program copy, the Excel
// export). Mounting needs the right to mount; without it isValid() is false
// and the test says why it skips.
#include <QString>
#include <QTemporaryDir>

namespace brenvoll::robust {

class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isValid() const { return m_mounted; }
    QString why() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes a filler file until no more than `leave` bytes are free.
    bool fill(qint64 leave);
    // Remounts the file system read-only, or writable again.
    bool setReadOnly(bool readOnly);

private:
    QTemporaryDir m_dir;
    qint64 m_bytes;
    bool m_mounted = false;
    QString m_why;
};

} // namespace brenvoll::robust
