#pragma once
// An SQLite VFS that passes everything to the default one until told to fail: from then on every write and
// sync reports an error, an I/O error as a failing disk does unless told another (SQLITE_FULL for a full
// disk, SQLITE_READONLY for a read-only medium). Open a Database with vfs = kFailingVfs to use it.

namespace qv::test {

inline constexpr const char* kFailingVfs = "qv-failing";

// Registers the VFS (once) and resets it to healthy.
void installFailingVfs();
// After `writes` more successful write calls, every write and sync fails with code (by default the I/O error
// of each call). -1 makes it healthy again.
void failWritesAfter(int writes, int code = 0);

} // namespace qv::test
