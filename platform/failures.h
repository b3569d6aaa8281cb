#pragma once
// What went wrong when the store or a file refused a write or a read, and the one sentence the user is shown
// for it: what happened, in plain words, and what to do about it. The technical reason follows in brackets,
// for whoever supports the practice.

#include <QString>

namespace qv {

enum class FailureKind {
    Stated, // the program itself refused; the text already says why in the user's words
    DiskFull,
    NoWriteAccess, // read-only file, folder or medium, or no permission
    Busy, // the file is locked or in use by another program
    DiskError, // the disk could not be read or written (a failing disk, a removed stick)
    Damaged, // the file is damaged or is not this program's database
    KeyTaken, // a row with the same key or name is already stored
    FolderInTheWay, // a folder stands where the file should be
    ServerGone, // the practice's server cannot be reached, or the connection to it broke
    LoginRefused, // the practice's server refused the user name or password
    Other,
};

// The sentence for a kind, with what to do, without any technical reason.
QString failureSentence(FailureKind kind);

// The text to show: the sentence, then the technical reason in brackets. A Stated failure is its reason.
QString explainFailure(FailureKind kind, const QString& technicalReason);

// The same for a failure on the practice's server: the sentences name the server, not a file or a disk of
// this computer.
QString serverFailureSentence(FailureKind kind);
QString explainServerFailure(FailureKind kind, const QString& technicalReason);

// Why writing or opening the file at path failed: savedErrno is errno taken right after the failing call (0
// when unknown); the file system is looked at for what errno does not tell.
FailureKind fileFailureKind(const QString& path, int savedErrno = 0);

// The text to show for a file that could not be written: explainFailure of fileFailureKind.
QString explainFileFailure(const QString& path, const QString& technicalReason, int savedErrno = 0);

} // namespace qv
