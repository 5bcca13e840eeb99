#pragma once
// The few file system calls that Qt does not make the way the program needs
// them (never through a link, a mode whatever the umask, synced to the disk),
// named for what they do. StagedFile builds on them; nothing above this
// folder calls the operating system itself, so a port replaces this file's
// implementation and StagedFile's.
#include <QString>

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

} // namespace brenvoll
