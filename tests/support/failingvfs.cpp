#include "tests/support/failingvfs.h"
#include "tests/support/shimvfs.h"

#include <atomic>

namespace qv::test {

namespace {

    std::atomic<int> g_writesLeft { -1 };
    std::atomic<int> g_code { 0 }; // 0: each call's own I/O error
    bool g_installed = false;
    sqlite3_vfs g_vfs;
    sqlite3_io_methods g_methods;

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

    sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<ShimFileHead*>(f)->real; }

    int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
    {
        if (shouldFail())
            return g_code ? g_code.load() : SQLITE_IOERR_WRITE;
        return real(f)->pMethods->xWrite(real(f), buf, n, off);
    }
    int xTruncate(sqlite3_file* f, sqlite3_int64 size)
    {
        if (g_writesLeft.load() == 0)
            return g_code ? g_code.load() : SQLITE_IOERR_TRUNCATE;
        return real(f)->pMethods->xTruncate(real(f), size);
    }
    int xSync(sqlite3_file* f, int flags)
    {
        if (g_writesLeft.load() == 0)
            return g_code ? g_code.load() : SQLITE_IOERR_FSYNC;
        return real(f)->pMethods->xSync(real(f), flags);
    }

    int xOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags)
    {
        return openRealFile(vfs, name, f, flags, outFlags, &g_methods);
    }

} // namespace

void installFailingVfs()
{
    g_writesLeft.store(-1);
    g_code.store(0);
    if (g_installed)
        return;
    g_installed = true;
    g_methods = passThroughMethods();
    g_methods.xWrite = xWrite;
    g_methods.xTruncate = xTruncate;
    g_methods.xSync = xSync;
    g_vfs = passThroughVfs(kFailingVfs, int(sizeof(ShimFileHead)));
    g_vfs.xOpen = xOpen;
    sqlite3_vfs_register(&g_vfs, 0);
}

void failWritesAfter(int writes, int code)
{
    g_code.store(code);
    g_writesLeft.store(writes);
}

} // namespace qv::test
