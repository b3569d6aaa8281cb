#pragma once
// This computer's own settings files (where the archive is kept, with the server's password; the desk's own
// values): readable by this user alone, and replaced whole, so a power cut leaves the old file or the new
// one.

#include <QByteArray>
#include <QString>

namespace qv {

// Writes bytes as the file at path: mode 0600 from its first byte, synced, renamed into place, in a folder
// only this user may enter. False with *error (a sentence for the user) when it cannot.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error);

// Takes away what access others were given to the file (before a password is read from it).
void keepPrivate(const QString& path);

// Takes away what access others were given to a folder of the program's own (0700) and to every file in it
// (0600): the archive, its copies and the files set aside beside them.
void keepFolderPrivate(const QString& folder);

// While one lives, the files and folders this process makes are its user's alone from their first byte
// (umask 077): a copy written by the store's engine is never readable by others, not even for a moment. The
// mask belongs to the whole process: one at a time, on the thread of the windows.
class PrivateCreation {
public:
    PrivateCreation();
    ~PrivateCreation();
    PrivateCreation(const PrivateCreation&) = delete;
    PrivateCreation& operator=(const PrivateCreation&) = delete;

private:
    unsigned m_previous = 0;
};

} // namespace qv
