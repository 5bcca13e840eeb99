#pragma once
// A folder that jobs of the program write staged files into (StagedFile:
// "NAME.part-…" until published), held by each such job while it writes.
// A job killed in the middle leaves its part file behind, as large as the
// database; the next job that finds the folder held by no other job removes
// what was left, and never a part file that a running job (of this or
// another copy of the program) is still writing. The lock is advisory: only
// the program's own jobs heed it; it goes with the process, a killed one too.
#include <QString>
#include <QStringList>

namespace brenvoll {

class FolderLock
{
public:
    // Holds `folder`, shared with other jobs, until destroyed. A folder that
    // cannot be opened (missing, a link, no lock on its file system) is not
    // held, and nothing is ever removed from it.
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }
    // When no other job holds the folder: removes the part files left by
    // staged writes to a name that one of `targets` (regular expressions,
    // matched against the whole name) matches. Links and every other file
    // stay. Returns how many went.
    int removeLeftovers(const QStringList& targets);

private:
    QString m_folder;
    int m_fd = -1;
};

} // namespace brenvoll
