#include "maintenance/storagechoice.h"
#include "platform/privatefile.h"
#include "store/database.h"
#include "store/server/serverengine.h"
#include "store/server/serverschema.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace qv {

namespace {

    // A value in libpq's keyword=value form: quoted, with ' and \ escaped.
    QString quoted(const QString& value)
    {
        QString escaped = value;
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\''), QStringLiteral("\\'"));
        return QLatin1Char('\'') + escaped + QLatin1Char('\'');
    }

    QByteArray line(const char* key, const QString& value)
    {
        return QByteArray(key) + '=' + QUrl::toPercentEncoding(value) + '\n';
    }

    const QStringList kSslModes
        = { QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
              QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full") };

} // namespace

QString StorageChoice::connectionString() const
{
    if (host.trimmed().isEmpty())
        return {};
    QStringList parts;
    parts << QStringLiteral("host=") + quoted(host.trimmed()) << QStringLiteral("port=%1").arg(port)
          << QStringLiteral("dbname=") + quoted(database.trimmed())
          << QStringLiteral("user=") + quoted(user.trimmed());
    if (!password.isEmpty())
        parts << QStringLiteral("password=") + quoted(password);
    parts << QStringLiteral("sslmode=") + (kSslModes.contains(sslMode) ? sslMode : QStringLiteral("require"));
    return parts.join(QLatin1Char(' '));
}

QString storageConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/storage.conf");
}

StorageChoice loadStorageChoice(const QString& path)
{
    StorageChoice choice;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return choice;
    // A file someone opened up to others is closed again before the password is read from it.
    keepPrivate(path);
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const qsizetype eq = raw.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = raw.left(eq).trimmed();
        const QString value = QUrl::fromPercentEncoding(raw.mid(eq + 1).trimmed());
        if (key == "store")
            choice.onServer = value == QLatin1String("server");
        else if (key == "host")
            choice.host = value;
        else if (key == "port")
            choice.port = value.toInt() > 0 && value.toInt() < 65536 ? value.toInt() : 5432;
        else if (key == "database")
            choice.database = value;
        else if (key == "user")
            choice.user = value;
        else if (key == "password")
            choice.password = value;
        else if (key == "sslmode" && kSslModes.contains(value))
            choice.sslMode = value;
    }
    // A computer that never named a server takes today's default when it first does.
    if (choice.host.trimmed().isEmpty())
        choice.sslMode = StorageChoice().sslMode;
    return choice;
}

QString saveStorageChoice(const StorageChoice& choice, const QString& path)
{
    QByteArray text = "# Quorvela: where this computer keeps the archive\n";
    text += line("store", choice.onServer ? QStringLiteral("server") : QStringLiteral("file"));
    text += line("host", choice.host);
    text += line("port", QString::number(choice.port));
    text += line("database", choice.database);
    text += line("user", choice.user);
    // A computer that went back to its own file keeps no password of the server.
    text += line("password", choice.onServer ? choice.password : QString());
    text += line("sslmode", choice.sslMode);
    QString error;
    if (writePrivateFile(path, text, &error))
        return {};
    return QStringLiteral("无法保存数据存储设置：%1\n%2").arg(QDir::toNativeSeparators(path), error);
}

QString chosenServerConnection(const QString& environment, const StorageChoice& choice)
{
    if (!environment.isEmpty())
        return environment;
    return choice.onServer ? choice.connectionString() : QString();
}

ConnectionVerdict testServerConnection(const QString& connection)
{
    ConnectionVerdict verdict;
    if (connection.isEmpty()) {
        verdict.message = QStringLiteral("请先填写服务器的地址。");
        return verdict;
    }
    Database db;
    QString error;
    if (!db.openServer(connection, &error)) {
        for (const FailureKind kind : { FailureKind::LoginRefused, FailureKind::ServerGone })
            if (error.startsWith(serverFailureSentence(kind)))
                verdict.failure = kind;
        verdict.message = error;
        return verdict;
    }
    const QString where = db.location();
    if (const auto* server = dynamic_cast<const ServerEngine*>(db.engine()))
        verdict.link = server->linkSecurity().sentence();
    const Result tables = db.run(QStringLiteral("select table_name from information_schema.tables "
                                                "where table_schema = current_schema() order by table_name"));
    if (!tables) {
        verdict.failure = tables.failure;
        verdict.message = tables.error;
        return verdict;
    }
    QStringList names;
    for (const Row& row : tables.rows)
        names << row.values().value(0).toString();
    if (names.isEmpty()) {
        verdict.ok = verdict.empty = true;
        verdict.message
            = QStringLiteral("连接成功：%1。\n这个数据库是空的：可以用“迁移到服务器”把这台电脑上的"
                             "档案搬上去；不迁移的话，第一台使用它的电脑会在其中建立新的档案。")
                  .arg(where);
        // The desks' role can use the archive but not make it: said now, not at the first start.
        if (const Result owner = checkOwnerStep(db, QStringLiteral("建立档案")); !owner) {
            verdict.ok = false;
            verdict.message += QLatin1Char('\n') + owner.error;
        }
        return verdict;
    }
    if (!names.contains(QStringLiteral("qv_schema"))) {
        verdict.message = QStringLiteral("连接成功，但%1不是本程序的数据库（里面已经有其他数据表：%2）。"
                                         "请换一个空的数据库，或者告诉管理服务器的人。")
                              .arg(where, names.mid(0, 3).join(QStringLiteral("、")));
        return verdict;
    }
    const Result version = db.run(QStringLiteral("select \"version\" from \"qv_schema\""));
    const int current = version ? version.rows.value(0).values().value(0).toInt() : 0;
    if (!version || version.rows.size() != 1 || current < 1) {
        verdict.message = QStringLiteral("连接成功，但%1缺少版本记录，不像是本程序建立的数据库。"
                                         "请告诉管理服务器的人。")
                              .arg(where);
        return verdict;
    }
    if (current > kServerSchemaVersion) {
        verdict.message = QStringLiteral("连接成功，但%1由较新版本的本程序建立（数据库版本 %2，本程序只认识到"
                                         "版本 %3）。请先把这台电脑上的程序升级到新版本。")
                              .arg(where)
                              .arg(current)
                              .arg(kServerSchemaVersion);
        return verdict;
    }
    const Result count = db.run(QStringLiteral("select count(*) as n from \"档案\""));
    if (!count) {
        verdict.failure = count.failure;
        verdict.message = count.error;
        return verdict;
    }
    verdict.ok = true;
    verdict.prescriptions = count.rows.value(0).value(QStringLiteral("n")).toLongLong();
    verdict.message = QStringLiteral("连接成功：%1，是本程序的数据库，存有处方 %2 张。")
                          .arg(where)
                          .arg(verdict.prescriptions);
    return verdict;
}

} // namespace qv
