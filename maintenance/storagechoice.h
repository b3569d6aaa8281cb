#pragma once
// Where this computer keeps the archive: its own file (the default) or the practice's server. The choice
// belongs to the computer, not to the archive: it is kept in the user's configuration folder
// (storage.conf, readable and writable by this user only, in a folder only this user can enter), never in
// the shared database. The server password is kept there too, as libpq keeps one in ~/.pgpass: protected by
// the file's mode, not readable by the other users of the computer.

#include "platform/failures.h"

#include <QString>

namespace qv {

struct StorageChoice {
    bool onServer = false;
    QString host;
    int port = 5432;
    QString database = QStringLiteral("quorvela");
    QString user = QStringLiteral("quorvela");
    QString password;
    // libpq's sslmode: require (the default: the link encrypted and, by channel binding, the server proven
    // before the password goes), verify-full, prefer (TLS when the server offers it), disable.
    QString sslMode = QStringLiteral("require");

    // The libpq connection string of the server fields, every value quoted; empty when no server is named.
    QString connectionString() const;
};

// storage.conf in the user's configuration folder.
QString storageConfigPath();

// The choice kept at path; the default (this computer's file) when there is none or it cannot be read.
StorageChoice loadStorageChoice(const QString& path = storageConfigPath());
// Writes the choice through a temporary file renamed into place, mode 0600, in a folder of mode 0700. The
// server password is kept only while the choice is the server. Returns the error text, empty on success.
QString saveStorageChoice(const StorageChoice& choice, const QString& path = storageConfigPath());

// The server connection the program starts on: the QUORVELA_SERVER variable when it is set (administrators
// and scripts), otherwise the server kept in the choice; empty for this computer's file.
QString chosenServerConnection(const QString& environment, const StorageChoice& choice);

// What "测试连接" found, in a sentence for the user.
struct ConnectionVerdict {
    bool ok = false; // the program can work on this database (ours, or empty and ready to be set up)
    bool empty = false; // the database holds no tables yet
    qint64 prescriptions = -1; // the archive's prescriptions, when it is ours
    FailureKind failure = FailureKind::Stated;
    QString message;
    QString link; // whether the link is encrypted and the server proven, when it connected
};

// Connects, looks at the database without changing anything, and says whether the program can use it and
// why not: unreachable, login refused, not this program's database, made by a newer version.
ConnectionVerdict testServerConnection(const QString& connection);

} // namespace qv
