#pragma once
// An SQLite file layer that fails on demand. Installed as the default layer of
// the test process, it wraps the real one; every connection opened afterwards,
// the program's own through Qt's driver included, reads and writes through it.
// With no fault set it only passes calls on.
namespace brenvoll::test {

class FaultVfs
{
public:
    enum class Fault
    {
        None,
        DiskFull,   // writes fail with SQLITE_FULL
        WriteError, // writes fail with SQLITE_IOERR_WRITE
        SyncError,  // syncs fail with SQLITE_IOERR_FSYNC
        ReadError,  // reads fail with SQLITE_IOERR_READ
        ReadOnly,   // database files opened from now on are opened read-only
    };

    // Registers the layer as the default (once per process).
    static void install();
    // Sets the fault for every file; the first `spare` calls it would hit still
    // succeed, so that a fault can land in the middle of a commit.
    static void set(Fault fault, int spare = 0);
    static Fault fault();
    // Calls failed (or opens made read-only) since the process started.
    static int injected();
};

// Sets a fault for the lifetime of the object.
class ScopedFault
{
public:
    explicit ScopedFault(FaultVfs::Fault fault, int spare = 0) { FaultVfs::set(fault, spare); }
    ~ScopedFault() { FaultVfs::set(FaultVfs::Fault::None); }
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;
};

} // namespace brenvoll::test
