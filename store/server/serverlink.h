#pragma once
// How the program reaches the practice's server: the settings it connects with, what the link turned out to
// be, and why a server whose identity could not be checked was refused.

#include <libpq-fe.h>

#include <QByteArray>
#include <QString>

#include <vector>

namespace qv {

// The keywords and values handed to PQconnectdbParams.
struct ConnectionSettings {
    bool ok = false;
    QString error; // the sentence for a string libpq cannot read
    std::vector<QByteArray> keys;
    std::vector<QByteArray> values;

    QByteArray value(const char* key) const;
    void set(const QByteArray& key, const QByteArray& value);
};

// The program's defaults (timeouts, keepalives, UTF-8), then whatever the practice's string says, in the
// keyword=value or the postgresql:// form. The string's own options= is kept and the program's time limits
// follow it, so they are never lost. Whenever the string requires encryption over the network, channel
// binding is required too: the password then goes only to a server that proves it knows its verifier.
ConnectionSettings connectionSettings(const QString& connection);

// What a working connection is.
struct LinkSecurity {
    bool local = false; // a Unix socket on this computer: no network in between
    bool encrypted = false;
    bool serverProven = false; // by channel binding or a checked certificate
    bool certificateChecked = false;

    QString sentence() const;
};

LinkSecurity linkSecurityOf(PGconn* conn);

// The sentence for a connection refused because the server's identity could not be checked (its certificate,
// channel binding, no encryption where it is required); empty for any other failure.
QString unprovenServerSentence(const QByteArray& message);

// The sentence for connection settings that cannot be read.
QString badSettingsSentence(const QString& reason);

} // namespace qv
