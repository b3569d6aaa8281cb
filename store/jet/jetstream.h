#pragma once
// The stream libmdb reads the file through, in place of its own stdio stream. libmdb seeks to the end, asks
// the position, seeks and reads for every page it reads: four system calls a page through stdio, which made
// them most of a ten-year archive's read. This stream answers seeks from memory and reads through a few runs
// of pages read ahead, with one pread for many pages. It has no write function: nothing can be written
// through it.

#include <QString>

#include <cstdio>

namespace qv {

// A read-only stream over the file; null with error set when it cannot be opened. fclose closes the file.
FILE* openJetStream(const QString& path, QString* error);

} // namespace qv
