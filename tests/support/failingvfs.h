#pragma once
// An SQLite VFS that passes everything to the default one until told to fail: from then on every write and
// sync reports an I/O error, as a full or failing disk does. Open a Database with vfs = kFailingVfs to use
// it.

namespace qv::test {

inline constexpr const char* kFailingVfs = "qv-failing";

// Registers the VFS (once) and resets it to healthy.
void installFailingVfs();
// After `writes` more successful write calls, every write and sync fails. -1 makes it healthy again.
void failWritesAfter(int writes);

} // namespace qv::test
