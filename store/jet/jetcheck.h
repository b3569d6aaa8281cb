#pragma once
// libmdb trusts the file: on some damaged pages it never returns (one wrong byte in the catalog's property
// list sends it round a loop for good). Before a file is read in the program itself, it is read once whole
// in a child process that is stopped when it takes too long: a damaged file then costs a message, not the
// program. A file the child has read through reads the same way in the program. The child is a fresh start
// of the program's own file, not a bare fork: a fork of a program with several threads inherits locks that
// other threads held at that instant, and libmdb's reading could wait on one of them for ever.

#include <QString>

#include <functional>

namespace qv {

// How long reading a file of that size may take before it counts as caught in a loop: generous, for a slow
// medium (a ten-year archive reads in a few seconds from a disk).
int jetCheckTimeoutMs(qint64 fileSize);

// Opens the file and reads every row of every table in a child process. False, with the sentence for the
// user, when it cannot be read, is damaged, or the reading crashed or did not end within timeoutMs.
// keepWaiting, when given, is called every tenth of a second while the child reads (a progress bar's events
// and its cancel); when it answers false the child is stopped and the check fails with an empty error.
bool checkJetFileApart(
    const QString& path, int timeoutMs, QString* error, const std::function<bool()>& keepWaiting = {});

} // namespace qv
