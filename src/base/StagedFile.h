#pragma once
// A file written whole under a new name of its own in its target's folder and
// only then renamed over the target, so that the target is at every moment
// either its earlier self or the new file whole, whatever happens in between
// (a full disk, a power cut, the process killed).
#include "FileSystem.h"

#include <QByteArray>
#include <QString>

namespace brenvoll {

class StagedFile
{
public:
    // Creates a new file beside `target`, never through a link or over a file
    // that is already there, with `access` whatever the umask. The target's
    // folder must not itself be a link.
    StagedFile(const QString& target, FileMode access);
    // Removes the file again unless it was published.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The operator's reading of the first failure.
    QString error() const { return fileSystemReason(m_errno); }
    // The system's error number of the first failure (0: none).
    int errorNumber() const { return m_errno; }
    // Where the file lies until it is published.
    QString path() const;

    bool write(const char* data, qint64 size);
    // Flushes the file's contents to the disk and closes it.
    bool sync();
    // Renames the synced file over the target, replacing whatever had that
    // name (a link included) without touching what it pointed to, and makes
    // the new name outlive a power cut.
    bool publish();
    // sync() and publish().
    bool commit() { return sync() && publish(); }

private:
    bool fail();
    void startWriteBack();

    QString m_folderPath;
    int m_folder = -1;
    QByteArray m_final;
    QByteArray m_name;
    int m_fd = -1;
    int m_errno = 0;
    qint64 m_written = 0;       // bytes written so far
    qint64 m_writeBackFrom = 0; // the first byte not yet sent to the disk
    bool m_created = false;
    bool m_published = false;
};

} // namespace brenvoll
