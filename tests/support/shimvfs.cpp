#include "tests/support/shimvfs.h"

#include <cstring>

namespace qv::test {

namespace {

    sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<ShimFileHead*>(f)->real; }

    int xClose(sqlite3_file* f) { return real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK; }
    int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off)
    {
        return real(f)->pMethods->xRead(real(f), buf, n, off);
    }
    int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
    {
        return real(f)->pMethods->xWrite(real(f), buf, n, off);
    }
    int xTruncate(sqlite3_file* f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); }
    int xSync(sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); }
    int xFileSize(sqlite3_file* f, sqlite3_int64* size)
    {
        return real(f)->pMethods->xFileSize(real(f), size);
    }
    int xLock(sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); }
    int xUnlock(sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); }
    int xCheckReservedLock(sqlite3_file* f, int* out)
    {
        return real(f)->pMethods->xCheckReservedLock(real(f), out);
    }
    int xFileControl(sqlite3_file* f, int op, void* arg)
    {
        return real(f)->pMethods->xFileControl(real(f), op, arg);
    }
    int xSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
    int xDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
    int xShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out)
    {
        return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
    }
    int xShmLock(sqlite3_file* f, int offset, int n, int flags)
    {
        return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
    }
    void xShmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
    int xShmUnmap(sqlite3_file* f, int deleteFlag)
    {
        return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
    }

    int xDelete(sqlite3_vfs* v, const char* name, int sync)
    {
        return baseOf(v)->xDelete(baseOf(v), name, sync);
    }
    int xAccess(sqlite3_vfs* v, const char* name, int flags, int* out)
    {
        return baseOf(v)->xAccess(baseOf(v), name, flags, out);
    }
    int xFullPathname(sqlite3_vfs* v, const char* name, int n, char* out)
    {
        return baseOf(v)->xFullPathname(baseOf(v), name, n, out);
    }
    void* xDlOpen(sqlite3_vfs* v, const char* name) { return baseOf(v)->xDlOpen(baseOf(v), name); }
    void xDlError(sqlite3_vfs* v, int n, char* msg) { baseOf(v)->xDlError(baseOf(v), n, msg); }
    void (*xDlSym(sqlite3_vfs* v, void* h, const char* sym))(void)
    {
        return baseOf(v)->xDlSym(baseOf(v), h, sym);
    }
    void xDlClose(sqlite3_vfs* v, void* h) { baseOf(v)->xDlClose(baseOf(v), h); }
    int xRandomness(sqlite3_vfs* v, int n, char* out) { return baseOf(v)->xRandomness(baseOf(v), n, out); }
    int xSleep(sqlite3_vfs* v, int us) { return baseOf(v)->xSleep(baseOf(v), us); }
    int xCurrentTime(sqlite3_vfs* v, double* t) { return baseOf(v)->xCurrentTime(baseOf(v), t); }
    int xGetLastError(sqlite3_vfs* v, int n, char* out)
    {
        return baseOf(v)->xGetLastError ? baseOf(v)->xGetLastError(baseOf(v), n, out) : 0;
    }

} // namespace

sqlite3_io_methods passThroughMethods()
{
    return { 2, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock, xCheckReservedLock,
        xFileControl, xSectorSize, xDeviceCharacteristics, xShmMap, xShmLock, xShmBarrier, xShmUnmap, nullptr,
        nullptr };
}

sqlite3_vfs passThroughVfs(const char* name, int shimFileSize)
{
    sqlite3_initialize();
    sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    sqlite3_vfs vfs;
    std::memset(&vfs, 0, sizeof vfs);
    vfs.iVersion = 1;
    vfs.szOsFile = shimFileSize + base->szOsFile;
    vfs.mxPathname = base->mxPathname;
    vfs.zName = name;
    vfs.pAppData = base;
    vfs.xDelete = xDelete;
    vfs.xAccess = xAccess;
    vfs.xFullPathname = xFullPathname;
    vfs.xDlOpen = xDlOpen;
    vfs.xDlError = xDlError;
    vfs.xDlSym = xDlSym;
    vfs.xDlClose = xDlClose;
    vfs.xRandomness = xRandomness;
    vfs.xSleep = xSleep;
    vfs.xCurrentTime = xCurrentTime;
    vfs.xGetLastError = xGetLastError;
    return vfs;
}

sqlite3_vfs* baseOf(sqlite3_vfs* shim) { return static_cast<sqlite3_vfs*>(shim->pAppData); }

int openRealFile(sqlite3_vfs* shim, const char* name, sqlite3_file* f, int flags, int* outFlags,
    const sqlite3_io_methods* methods)
{
    sqlite3_vfs* base = baseOf(shim);
    auto* head = reinterpret_cast<ShimFileHead*>(f);
    head->real
        = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + (shim->szOsFile - base->szOsFile));
    std::memset(head->real, 0, size_t(base->szOsFile));
    const int rc = base->xOpen(base, name, head->real, flags, outFlags);
    head->base.pMethods = rc == SQLITE_OK && head->real->pMethods ? methods : nullptr;
    return rc;
}

} // namespace qv::test
