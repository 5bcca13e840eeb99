#pragma once
// The few file system calls that Qt does not make the way the program needs
// them (never through a link, a mode whatever the umask, synced to the disk),
// named for what they do. StagedFile builds on them; nothing above this
// folder calls the operating system itself, so a port replaces this file's
// implementation and StagedFile's.
#include <QString>
#include <QtGlobal>

namespace brenvoll {

// Who may use a file the program creates.
enum class FileMode
{
    OwnerOnly,         // read and write, for its owner alone: health data
    OwnerOnlyRunnable, // as OwnerOnly, and runnable: a copy of the program
};

// The operator's reading of a failed file system call (an errno value).
QString fileSystemReason(int err);

// The most bytes a file name may take in its encoded form (UTF-8): what
// the file systems the program runs on accept for one name.
constexpr qsizetype kMaxFileNameBytes = 255;

// The file name `stem` + `ending` (an extension, say), the stem shortened
// between characters as far as the whole must be to take at most
// kMaxFileNameBytes. `ending` is kept whole: it must fit with room to spare.
QString fittingFileName(const QString& stem, const QString& ending);

// Creates `path` as an empty file that only its owner may read and write,
// unless a file is already there (which is left as it is); never through a
// link. False with the system's error number in `err`.
bool createOwnerOnlyFile(const QString& path, int* err = nullptr);

// Removes the file at `path`; a file that is not there is no failure. False
// with the system's error number in `err`.
bool removeFileIfPresent(const QString& path, int* err = nullptr);

// What stands at a path, its last part looked at itself rather than followed
// when it is a link.
struct FileIdentity
{
    bool exists = false;
    bool link = false;      // a symbolic link
    bool plainFile = false; // a regular file (not a link, a folder or a device)
    qint64 names = 0;       // the names the file has (more than one: hard links)
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Looks at what stands at `path` without following a link there. Nothing
// there is no failure (`exists` is false). False with the system's error
// number in `err` when the path cannot be looked at.
bool identifyFile(const QString& path, FileIdentity& identity, int* err = nullptr);

// Slots in a lock file that runs of the program take for as long as they
// live. The system gives a slot up when its holder closes the file or its
// process ends, however it ends, so a run can tell another run that is still
// going from one that crashed. Two holders exclude each other even within
// one process.
class RunSlots
{
public:
    RunSlots() = default;
    ~RunSlots();
    RunSlots(const RunSlots&) = delete;
    RunSlots& operator=(const RunSlots&) = delete;

    // Opens the lock file at `path`, created empty and owner only when it is
    // missing, never through a link. False with the system's error number in
    // `err`.
    bool open(const QString& path, int* err = nullptr);
    // Gives up every slot taken here.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // Takes slot `slot` (0 or more) for this holder. False with the system's
    // error number in `err` when another holder has it or the system refuses.
    bool take(qint64 slot, int* err = nullptr);
    // Whether another holder has slot `slot` now.
    bool isTakenElsewhere(qint64 slot) const;

private:
    int m_fd = -1;
};

} // namespace brenvoll
