#pragma once
// What the tests' VFS shims (a failing disk, a disk that loses power) have in common: a VFS over the default
// one whose every call passes straight through, so that a shim writes only the calls it watches.

#include <sqlcipher/sqlite3.h>

namespace qv::test {

// The head of every shim file: SQLite sees base; real is the default VFS's file, which lies right after the
// shim's whole file struct (the shim VFS's szOsFile covers both).
struct ShimFileHead {
    sqlite3_file base; // must be first
    sqlite3_file* real;
};

// I/O methods that all pass straight through to the real file, shared memory (the write-ahead log's index)
// included; memory mapping is not offered. A shim replaces the ones it watches.
sqlite3_io_methods passThroughMethods();

// A VFS called name over the default one (kept in pAppData), every call passing straight through except
// xOpen, which the shim gives (opening through openRealFile). Its files are shimFileSize bytes of the shim's
// own struct, beginning with a ShimFileHead, followed by the real file.
sqlite3_vfs passThroughVfs(const char* name, int shimFileSize);

// The default VFS under a shim VFS.
sqlite3_vfs* baseOf(sqlite3_vfs* shim);

// Opens the real file behind f; when it opens, f takes methods. For a shim's xOpen.
int openRealFile(sqlite3_vfs* shim, const char* name, sqlite3_file* f, int flags, int* outFlags,
    const sqlite3_io_methods* methods);

} // namespace qv::test
