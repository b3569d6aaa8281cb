#include "tests/support/failingvfs.h"

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace qv::test {

namespace {

    std::atomic<int> g_writesLeft { -1 };
    std::atomic<int> g_code { 0 }; // 0: each call's own I/O error
    sqlite3_vfs* g_base = nullptr;
    sqlite3_vfs g_vfs;

    struct ShimFile {
        sqlite3_file base; // must be first: SQLite sees a sqlite3_file
        sqlite3_file* real; // the default VFS's file, allocated after this struct
    };

    bool shouldFail()
    {
        int left = g_writesLeft.load();
        if (left < 0)
            return false;
        if (left == 0)
            return true;
        g_writesLeft.store(left - 1);
        return false;
    }

    ShimFile* shim(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f); }

    int xClose(sqlite3_file* f)
    {
        ShimFile* s = shim(f);
        const int rc = s->real->pMethods ? s->real->pMethods->xClose(s->real) : SQLITE_OK;
        return rc;
    }
    int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off)
    {
        return shim(f)->real->pMethods->xRead(shim(f)->real, buf, n, off);
    }
    int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
    {
        if (shouldFail())
            return g_code ? g_code.load() : SQLITE_IOERR_WRITE;
        return shim(f)->real->pMethods->xWrite(shim(f)->real, buf, n, off);
    }
    int xTruncate(sqlite3_file* f, sqlite3_int64 size)
    {
        if (g_writesLeft.load() == 0)
            return g_code ? g_code.load() : SQLITE_IOERR_TRUNCATE;
        return shim(f)->real->pMethods->xTruncate(shim(f)->real, size);
    }
    int xSync(sqlite3_file* f, int flags)
    {
        if (g_writesLeft.load() == 0)
            return g_code ? g_code.load() : SQLITE_IOERR_FSYNC;
        return shim(f)->real->pMethods->xSync(shim(f)->real, flags);
    }
    int xFileSize(sqlite3_file* f, sqlite3_int64* size)
    {
        return shim(f)->real->pMethods->xFileSize(shim(f)->real, size);
    }
    int xLock(sqlite3_file* f, int l) { return shim(f)->real->pMethods->xLock(shim(f)->real, l); }
    int xUnlock(sqlite3_file* f, int l) { return shim(f)->real->pMethods->xUnlock(shim(f)->real, l); }
    int xCheckReservedLock(sqlite3_file* f, int* out)
    {
        return shim(f)->real->pMethods->xCheckReservedLock(shim(f)->real, out);
    }
    int xFileControl(sqlite3_file* f, int op, void* arg)
    {
        return shim(f)->real->pMethods->xFileControl(shim(f)->real, op, arg);
    }
    int xSectorSize(sqlite3_file* f) { return shim(f)->real->pMethods->xSectorSize(shim(f)->real); }
    int xDeviceCharacteristics(sqlite3_file* f)
    {
        return shim(f)->real->pMethods->xDeviceCharacteristics(shim(f)->real);
    }

    // Shared memory (the write-ahead log's index) passes straight through; memory mapping is not offered.
    int xShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out)
    {
        return shim(f)->real->pMethods->xShmMap(shim(f)->real, page, size, extend, out);
    }
    int xShmLock(sqlite3_file* f, int offset, int n, int flags)
    {
        return shim(f)->real->pMethods->xShmLock(shim(f)->real, offset, n, flags);
    }
    void xShmBarrier(sqlite3_file* f) { shim(f)->real->pMethods->xShmBarrier(shim(f)->real); }
    int xShmUnmap(sqlite3_file* f, int deleteFlag)
    {
        return shim(f)->real->pMethods->xShmUnmap(shim(f)->real, deleteFlag);
    }

    const sqlite3_io_methods kMethods = { 2, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock,
        xUnlock, xCheckReservedLock, xFileControl, xSectorSize, xDeviceCharacteristics, xShmMap, xShmLock,
        xShmBarrier, xShmUnmap, nullptr, nullptr };

    int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags)
    {
        ShimFile* s = shim(f);
        s->real = reinterpret_cast<sqlite3_file*>(s + 1);
        std::memset(s->real, 0, size_t(g_base->szOsFile));
        const int rc = g_base->xOpen(g_base, name, s->real, flags, outFlags);
        s->base.pMethods = (rc == SQLITE_OK && s->real->pMethods) ? &kMethods : nullptr;
        return rc;
    }
    int xDelete(sqlite3_vfs*, const char* name, int sync) { return g_base->xDelete(g_base, name, sync); }
    int xAccess(sqlite3_vfs*, const char* name, int flags, int* out)
    {
        return g_base->xAccess(g_base, name, flags, out);
    }
    int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out)
    {
        return g_base->xFullPathname(g_base, name, n, out);
    }
    void* xDlOpen(sqlite3_vfs*, const char* name) { return g_base->xDlOpen(g_base, name); }
    void xDlError(sqlite3_vfs*, int n, char* msg) { g_base->xDlError(g_base, n, msg); }
    void (*xDlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return g_base->xDlSym(g_base, h, sym); }
    void xDlClose(sqlite3_vfs*, void* h) { g_base->xDlClose(g_base, h); }
    int xRandomness(sqlite3_vfs*, int n, char* out) { return g_base->xRandomness(g_base, n, out); }
    int xSleep(sqlite3_vfs*, int us) { return g_base->xSleep(g_base, us); }
    int xCurrentTime(sqlite3_vfs*, double* t) { return g_base->xCurrentTime(g_base, t); }
    int xGetLastError(sqlite3_vfs*, int n, char* out)
    {
        return g_base->xGetLastError ? g_base->xGetLastError(g_base, n, out) : 0;
    }

} // namespace

void installFailingVfs()
{
    g_writesLeft.store(-1);
    g_code.store(0);
    if (g_base)
        return;
    sqlite3_initialize();
    g_base = sqlite3_vfs_find(nullptr);
    std::memset(&g_vfs, 0, sizeof g_vfs);
    g_vfs.iVersion = 1;
    g_vfs.szOsFile = int(sizeof(ShimFile)) + g_base->szOsFile;
    g_vfs.mxPathname = g_base->mxPathname;
    g_vfs.zName = kFailingVfs;
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_vfs.xDlOpen = xDlOpen;
    g_vfs.xDlError = xDlError;
    g_vfs.xDlSym = xDlSym;
    g_vfs.xDlClose = xDlClose;
    g_vfs.xRandomness = xRandomness;
    g_vfs.xSleep = xSleep;
    g_vfs.xCurrentTime = xCurrentTime;
    g_vfs.xGetLastError = xGetLastError;
    sqlite3_vfs_register(&g_vfs, 0);
}

void failWritesAfter(int writes, int code)
{
    g_code.store(code);
    g_writesLeft.store(writes);
}

} // namespace qv::test
