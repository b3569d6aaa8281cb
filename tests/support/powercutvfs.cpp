#include "tests/support/powercutvfs.h"
#include "tests/support/shimvfs.h"

#include <QRandomGenerator>

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {

namespace {

    // The unit a disk writes whole: a sector is either written or not.
    constexpr qint64 kSector = 512;

    // One file the program writes, with what the disk holds for sure.
    struct Tracked {
        int fd = -1; // our own descriptor, so the file stays reachable after it was closed or renamed
        qint64 syncedSize = 0;
        std::map<qint64, std::string>
            atLastSync; // sector number: its bytes at the last sync (short at the end)
        int openHandles = 0;
    };

    using Inode = std::pair<dev_t, ino_t>;

    // The disk. The program has one user-interface thread, so nothing here is shared between threads.
    struct Disk {
        std::map<Inode, std::unique_ptr<Tracked>> files;
        int events = 0;
        QByteArray log;
        int cutAt = -1;
        CutLoss loss = CutLoss::AllUnsynced;
        quint32 seed = 0;
        bool cut = false;
        int writesBeforeFull = -1;
    };

    Disk g_disk;
    bool g_installed = false;
    sqlite3_vfs g_vfs;
    sqlite3_io_methods g_methods;

    struct ShimFile {
        ShimFileHead head; // must be first: SQLite sees a sqlite3_file
        Tracked* tracked; // null for nameless temporary files, which nothing reads after a restart
    };

    ShimFile* shim(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f); }

    qint64 sizeOf(int fd)
    {
        struct stat st;
        return fstat(fd, &st) == 0 ? qint64(st.st_size) : 0;
    }

    void forget(std::map<Inode, std::unique_ptr<Tracked>>::iterator it)
    {
        ::close(it->second->fd);
        g_disk.files.erase(it);
    }

    // Before sectors are overwritten for the first time since the last sync, keep what the disk holds there.
    void remember(Tracked& t, qint64 offset, qint64 length)
    {
        if (length <= 0)
            return;
        const qint64 size = sizeOf(t.fd);
        for (qint64 sector = offset / kSector; sector <= (offset + length - 1) / kSector; ++sector) {
            if (t.atLastSync.count(sector))
                continue;
            const qint64 start = sector * kSector;
            // Untouched since the sync, so the file holds the synced bytes; beyond the synced end it held
            // none.
            const qint64 kept = std::clamp(std::min(size, t.syncedSize) - start, qint64(0), kSector);
            std::string bytes(size_t(kept), '\0');
            if (kept > 0 && pread(t.fd, bytes.data(), size_t(kept), start) != kept)
                bytes.clear();
            t.atLastSync.emplace(sector, std::move(bytes));
        }
    }

    void synced(Tracked& t)
    {
        t.atLastSync.clear();
        t.syncedSize = sizeOf(t.fd);
    }

    // What the disk is found holding when the power comes back.
    void cutPower()
    {
        QRandomGenerator random(g_disk.seed);
        const bool torn = g_disk.loss == CutLoss::TornSectors;
        for (auto& [inode, t] : g_disk.files) {
            const qint64 size = sizeOf(t->fd);
            for (const auto& [sector, before] : t->atLastSync) {
                if (torn && random.bounded(2) == 0)
                    continue; // this sector reached the disk
                const qint64 start = sector * kSector;
                std::string lost = before;
                // A sector that never reached the disk reads as zeros past the synced end.
                const qint64 span = std::min(kSector, size - start);
                if (span > qint64(lost.size()))
                    lost.resize(size_t(span), '\0');
                if (!lost.empty() && pwrite(t->fd, lost.data(), lost.size(), start) != qint64(lost.size()))
                    qFatal("power cut: cannot put back a sector");
            }
            const qint64 length = (!torn || random.bounded(2) == 0) ? t->syncedSize : size;
            if (ftruncate(t->fd, length) != 0)
                qFatal("power cut: cannot put back the file length");
            synced(*t);
        }
        g_disk.cut = true;
    }

    // Counts a write or a sync; true when the power is off by then.
    bool powerFailsNow(char kind)
    {
        if (g_disk.cut)
            return true;
        g_disk.log += kind;
        if (g_disk.events++ == g_disk.cutAt)
            cutPower();
        return g_disk.cut;
    }

    int xClose(sqlite3_file* f)
    {
        ShimFile* s = shim(f);
        const int rc = s->head.real->pMethods ? s->head.real->pMethods->xClose(s->head.real) : SQLITE_OK;
        if (Tracked* t = s->tracked) {
            s->tracked = nullptr;
            // A closed file whose writes are all synced needs no watching; one with unsynced writes does.
            if (--t->openHandles == 0 && t->atLastSync.empty() && t->syncedSize == sizeOf(t->fd)) {
                for (auto it = g_disk.files.begin(); it != g_disk.files.end(); ++it) {
                    if (it->second.get() == t) {
                        forget(it);
                        break;
                    }
                }
            }
        }
        return rc;
    }
    int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off)
    {
        if (g_disk.cut)
            return SQLITE_IOERR_READ;
        return shim(f)->head.real->pMethods->xRead(shim(f)->head.real, buf, n, off);
    }
    int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
    {
        if (powerFailsNow('w'))
            return SQLITE_IOERR_WRITE;
        if (g_disk.writesBeforeFull == 0)
            return SQLITE_FULL;
        if (g_disk.writesBeforeFull > 0)
            --g_disk.writesBeforeFull;
        if (Tracked* t = shim(f)->tracked)
            remember(*t, off, n);
        return shim(f)->head.real->pMethods->xWrite(shim(f)->head.real, buf, n, off);
    }
    int xTruncate(sqlite3_file* f, sqlite3_int64 size)
    {
        if (g_disk.cut)
            return SQLITE_IOERR_TRUNCATE;
        if (Tracked* t = shim(f)->tracked)
            remember(*t, size, sizeOf(t->fd) - size);
        return shim(f)->head.real->pMethods->xTruncate(shim(f)->head.real, size);
    }
    int xSync(sqlite3_file* f, int flags)
    {
        if (powerFailsNow('s'))
            return SQLITE_IOERR_FSYNC;
        const int rc = shim(f)->head.real->pMethods->xSync(shim(f)->head.real, flags);
        if (rc == SQLITE_OK && shim(f)->tracked)
            synced(*shim(f)->tracked);
        return rc;
    }

    Tracked* follow(const char* name)
    {
        int fd = ::open(name, O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat st;
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return nullptr;
        }
        std::unique_ptr<Tracked>& t = g_disk.files[Inode(st.st_dev, st.st_ino)];
        if (t) {
            ::close(fd); // already followed (reopened, or opened under another name after a rename)
        } else {
            t = std::make_unique<Tracked>();
            t->fd = fd;
            t->syncedSize = qint64(st.st_size);
        }
        ++t->openHandles;
        return t.get();
    }

    int xOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags)
    {
        ShimFile* s = shim(f);
        s->tracked = nullptr;
        const int rc = openRealFile(vfs, name, f, flags, outFlags, &g_methods);
        if (rc == SQLITE_OK && s->head.base.pMethods && name && !(flags & SQLITE_OPEN_DELETEONCLOSE))
            s->tracked = follow(name);
        return rc;
    }
    int xDelete(sqlite3_vfs* vfs, const char* name, int syncDir)
    {
        if (g_disk.cut)
            return SQLITE_IOERR_DELETE;
        struct stat st;
        if (::stat(name, &st) == 0) {
            const auto it = g_disk.files.find(Inode(st.st_dev, st.st_ino));
            if (it != g_disk.files.end() && it->second->openHandles == 0)
                forget(it);
        }
        return baseOf(vfs)->xDelete(baseOf(vfs), name, syncDir);
    }

} // namespace

void installPowerCutVfs()
{
    if (!g_installed) {
        g_installed = true;
        g_methods = passThroughMethods();
        g_methods.xClose = xClose;
        g_methods.xRead = xRead;
        g_methods.xWrite = xWrite;
        g_methods.xTruncate = xTruncate;
        g_methods.xSync = xSync;
        g_vfs = passThroughVfs("qv-powercut", int(sizeof(ShimFile)));
        g_vfs.xOpen = xOpen;
        g_vfs.xDelete = xDelete;
        sqlite3_vfs_register(&g_vfs, 1);
    }
    restorePower();
}

int diskEvents() { return g_disk.events; }

QByteArray diskEventLog() { return g_disk.log; }

void cutPowerAtEvent(int event, CutLoss loss, quint32 seed)
{
    g_disk.cutAt = event;
    g_disk.loss = loss;
    g_disk.seed = seed;
}

void cutPowerNow(CutLoss loss, quint32 seed)
{
    if (g_disk.cut)
        return;
    g_disk.loss = loss;
    g_disk.seed = seed;
    cutPower();
}

bool powerIsCut() { return g_disk.cut; }

void restorePower()
{
    for (auto it = g_disk.files.begin(); it != g_disk.files.end();) {
        const auto next = std::next(it);
        if (it->second->openHandles == 0)
            forget(it);
        else
            synced(*it->second);
        it = next;
    }
    g_disk.events = 0;
    g_disk.log.clear();
    g_disk.cutAt = -1;
    g_disk.cut = false;
    g_disk.writesBeforeFull = -1;
}

void fillDiskAfter(int writes) { g_disk.writesBeforeFull = writes; }

} // namespace qv::test
