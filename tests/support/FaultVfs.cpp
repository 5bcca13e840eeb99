#include "FaultVfs.h"

#include <atomic>
#include <mutex>
#include <sqlite3.h>

namespace brenvoll::test {

namespace {

std::atomic<int> g_fault{int(FaultVfs::Fault::None)};
std::atomic<int> g_spare{0};
std::atomic<int> g_injected{0};
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs{};

// The wrapper's file: our header, then the real layer's file right behind it.
struct ShimFile
{
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* file)
{
    return reinterpret_cast<ShimFile*>(file)->real;
}

// True when the call of kind `fault` is to fail now.
bool hits(FaultVfs::Fault fault)
{
    if (g_fault.load() != int(fault)) {
        return false;
    }
    if (g_spare.fetch_sub(1) > 0) {
        return false;
    }
    g_spare.store(0);
    ++g_injected;
    return true;
}

int shimClose(sqlite3_file* file)
{
    return real(file)->pMethods->xClose(real(file));
}

int shimRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    if (hits(FaultVfs::Fault::ReadError)) {
        return SQLITE_IOERR_READ;
    }
    return real(file)->pMethods->xRead(real(file), buffer, amount, offset);
}

int shimWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    if (hits(FaultVfs::Fault::DiskFull)) {
        return SQLITE_FULL;
    }
    if (hits(FaultVfs::Fault::WriteError)) {
        return SQLITE_IOERR_WRITE;
    }
    return real(file)->pMethods->xWrite(real(file), buffer, amount, offset);
}

int shimTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    return real(file)->pMethods->xTruncate(real(file), size);
}

int shimSync(sqlite3_file* file, int flags)
{
    if (hits(FaultVfs::Fault::SyncError)) {
        return SQLITE_IOERR_FSYNC;
    }
    return real(file)->pMethods->xSync(real(file), flags);
}

int shimFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    return real(file)->pMethods->xFileSize(real(file), size);
}

int shimLock(sqlite3_file* file, int level)
{
    return real(file)->pMethods->xLock(real(file), level);
}

int shimUnlock(sqlite3_file* file, int level)
{
    return real(file)->pMethods->xUnlock(real(file), level);
}

int shimCheckReservedLock(sqlite3_file* file, int* out)
{
    return real(file)->pMethods->xCheckReservedLock(real(file), out);
}

int shimFileControl(sqlite3_file* file, int op, void* arg)
{
    return real(file)->pMethods->xFileControl(real(file), op, arg);
}

int shimSectorSize(sqlite3_file* file)
{
    return real(file)->pMethods->xSectorSize(real(file));
}

int shimDeviceCharacteristics(sqlite3_file* file)
{
    return real(file)->pMethods->xDeviceCharacteristics(real(file));
}

int shimShmMap(sqlite3_file* file, int page, int size, int extend, void volatile** out)
{
    const sqlite3_io_methods* methods = real(file)->pMethods;
    return methods->iVersion >= 2 ? methods->xShmMap(real(file), page, size, extend, out) : SQLITE_IOERR;
}

int shimShmLock(sqlite3_file* file, int offset, int n, int flags)
{
    const sqlite3_io_methods* methods = real(file)->pMethods;
    return methods->iVersion >= 2 ? methods->xShmLock(real(file), offset, n, flags) : SQLITE_IOERR;
}

void shimShmBarrier(sqlite3_file* file)
{
    const sqlite3_io_methods* methods = real(file)->pMethods;
    if (methods->iVersion >= 2) {
        methods->xShmBarrier(real(file));
    }
}

int shimShmUnmap(sqlite3_file* file, int deleteFlag)
{
    const sqlite3_io_methods* methods = real(file)->pMethods;
    return methods->iVersion >= 2 ? methods->xShmUnmap(real(file), deleteFlag) : SQLITE_OK;
}

int shimFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out)
{
    const sqlite3_io_methods* methods = real(file)->pMethods;
    if (methods->iVersion >= 3) {
        return methods->xFetch(real(file), offset, amount, out);
    }
    *out = nullptr;
    return SQLITE_OK;
}

int shimUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page)
{
    const sqlite3_io_methods* methods = real(file)->pMethods;
    return methods->iVersion >= 3 ? methods->xUnfetch(real(file), offset, page) : SQLITE_OK;
}

const sqlite3_io_methods kMethods = {
    3,
    shimClose,
    shimRead,
    shimWrite,
    shimTruncate,
    shimSync,
    shimFileSize,
    shimLock,
    shimUnlock,
    shimCheckReservedLock,
    shimFileControl,
    shimSectorSize,
    shimDeviceCharacteristics,
    shimShmMap,
    shimShmLock,
    shimShmBarrier,
    shimShmUnmap,
    shimFetch,
    shimUnfetch,
};

int shimOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* shim = reinterpret_cast<ShimFile*>(file);
    shim->base.pMethods = nullptr;
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    int realFlags = flags;
    // What the unix layer does itself when it may not write the file.
    if ((flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE) &&
        g_fault.load() == int(FaultVfs::Fault::ReadOnly)) {
        realFlags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
        ++g_injected;
    }
    const int rc = g_real->xOpen(g_real, name, shim->real, realFlags, outFlags);
    if (shim->real->pMethods) {
        shim->base.pMethods = &kMethods;
    }
    return rc;
}

int shimDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return g_real->xDelete(g_real, name, syncDir);
}

int shimAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return g_real->xAccess(g_real, name, flags, out);
}

int shimFullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return g_real->xFullPathname(g_real, name, size, out);
}

void* shimDlOpen(sqlite3_vfs*, const char* name)
{
    return g_real->xDlOpen(g_real, name);
}

void shimDlError(sqlite3_vfs*, int size, char* out)
{
    g_real->xDlError(g_real, size, out);
}

void (*shimDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return g_real->xDlSym(g_real, handle, symbol);
}

void shimDlClose(sqlite3_vfs*, void* handle)
{
    g_real->xDlClose(g_real, handle);
}

int shimRandomness(sqlite3_vfs*, int size, char* out)
{
    return g_real->xRandomness(g_real, size, out);
}

int shimSleep(sqlite3_vfs*, int microseconds)
{
    return g_real->xSleep(g_real, microseconds);
}

int shimCurrentTime(sqlite3_vfs*, double* out)
{
    return g_real->xCurrentTime(g_real, out);
}

int shimGetLastError(sqlite3_vfs*, int size, char* out)
{
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, size, out) : 0;
}

int shimCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out)
{
    return g_real->xCurrentTimeInt64(g_real, out);
}

int shimSetSystemCall(sqlite3_vfs*, const char* name, sqlite3_syscall_ptr call)
{
    return g_real->xSetSystemCall(g_real, name, call);
}

sqlite3_syscall_ptr shimGetSystemCall(sqlite3_vfs*, const char* name)
{
    return g_real->xGetSystemCall(g_real, name);
}

const char* shimNextSystemCall(sqlite3_vfs*, const char* name)
{
    return g_real->xNextSystemCall(g_real, name);
}

} // namespace

void FaultVfs::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_real = sqlite3_vfs_find(nullptr);
        g_vfs.iVersion = 2;
        g_vfs.szOsFile = int(sizeof(ShimFile)) + g_real->szOsFile;
        g_vfs.mxPathname = g_real->mxPathname;
        g_vfs.zName = "brenvoll-fault";
        g_vfs.xOpen = shimOpen;
        g_vfs.xDelete = shimDelete;
        g_vfs.xAccess = shimAccess;
        g_vfs.xFullPathname = shimFullPathname;
        g_vfs.xDlOpen = shimDlOpen;
        g_vfs.xDlError = shimDlError;
        g_vfs.xDlSym = shimDlSym;
        g_vfs.xDlClose = shimDlClose;
        g_vfs.xRandomness = shimRandomness;
        g_vfs.xSleep = shimSleep;
        g_vfs.xCurrentTime = shimCurrentTime;
        g_vfs.xGetLastError = shimGetLastError;
        g_vfs.xCurrentTimeInt64 = shimCurrentTimeInt64;
        if (g_real->iVersion >= 3) {
            g_vfs.iVersion = 3;
            g_vfs.xSetSystemCall = shimSetSystemCall;
            g_vfs.xGetSystemCall = shimGetSystemCall;
            g_vfs.xNextSystemCall = shimNextSystemCall;
        }
        sqlite3_vfs_register(&g_vfs, 1);
    });
}

void FaultVfs::set(Fault fault, int spare)
{
    g_spare.store(spare);
    g_fault.store(int(fault));
}

FaultVfs::Fault FaultVfs::fault()
{
    return Fault(g_fault.load());
}

int FaultVfs::injected()
{
    return g_injected.load();
}

} // namespace brenvoll::test
