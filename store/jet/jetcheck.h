#pragma once
// libmdb trusts the file: on some damaged pages it never returns (one wrong byte in the catalog's property
// list sends it round a loop for good). Before a file is read in the program itself, it is read once whole
// in a child process that is stopped when it takes too long: a damaged file then costs a message, not the
// program. A file the child has read through reads the same way in the program.

#include <QString>

namespace qv {

// How long reading a file of that size may take before it counts as caught in a loop: generous, for a slow
// medium (a ten-year archive reads in a few seconds from a disk).
int jetCheckTimeoutMs(qint64 fileSize);

// Opens the file and reads every row of every table in a child process. False, with the sentence for the
// user, when it cannot be read, is damaged, or the reading crashed or did not end within timeoutMs.
bool checkJetFileApart(const QString& path, int timeoutMs, QString* error);

} // namespace qv
