#include "store/server/serverlink.h"

#include <QRegularExpression>

namespace qv {

namespace {

    // The program's own settings; the practice's string may change any of them.
    const char* const kDefaults[][2] = { { "connect_timeout", "5" }, { "client_encoding", "UTF8" },
        { "application_name", "quorvela" }, { "keepalives", "1" }, { "keepalives_idle", "10" },
        { "keepalives_interval", "5" }, { "keepalives_count", "3" }, { "tcp_user_timeout", "10000" } };
    // Later -c settings win on the server, so these follow the practice's own options.
    const char kTimeLimits[] = "-c statement_timeout=30000 -c lock_timeout=10000";

    // Every host a socket folder (or none named, which is libpq's own socket): no network to guard against.
    bool onlySockets(const ConnectionSettings& s)
    {
        if (!s.value("hostaddr").isEmpty() || (s.value("host").isEmpty() && !qgetenv("PGHOSTADDR").isEmpty()))
            return false;
        const QByteArray hosts = s.value("host").isEmpty() ? qgetenv("PGHOST") : s.value("host");
        for (const QByteArray& host : hosts.split(','))
            if (!host.isEmpty() && !host.startsWith('/') && !host.startsWith('@'))
                return false;
        return true;
    }

    QString oneLine(const QByteArray& message)
    {
        return QString::fromUtf8(message).trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
    }

    QString quotedIn(const QByteArray& message, const char* pattern)
    {
        const QRegularExpressionMatch m
            = QRegularExpression(QLatin1String(pattern)).match(QString::fromUtf8(message));
        return m.hasMatch() ? m.captured(1) : QString();
    }

    const char kNotSent[] = "程序没有连接，也没有把密码发给它。";

} // namespace

QByteArray ConnectionSettings::value(const char* key) const
{
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key)
            return values[i];
    return {};
}

void ConnectionSettings::set(const QByteArray& key, const QByteArray& value)
{
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) {
            values[i] = value;
            return;
        }
    keys.push_back(key);
    values.push_back(value);
}

ConnectionSettings connectionSettings(const QString& connection)
{
    ConnectionSettings s;
    for (const auto& pair : kDefaults)
        s.set(pair[0], pair[1]);
    char* message = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(connection.toUtf8().constData(), &message);
    if (!parsed) {
        s.error = badSettingsSentence(message ? oneLine(message) : QStringLiteral("out of memory"));
        PQfreemem(message);
        return s;
    }
    QByteArray options;
    for (const PQconninfoOption* o = parsed; o->keyword; ++o) {
        if (!o->val)
            continue;
        if (qstrcmp(o->keyword, "options") == 0)
            options = QByteArray(o->val).trimmed();
        else
            s.set(o->keyword, o->val);
    }
    PQconninfoFree(parsed);
    s.set("options", options.isEmpty() ? QByteArray(kTimeLimits) : options + ' ' + kTimeLimits);
    // TLS alone does not keep the password from a server that shows any certificate and asks for it in clear
    // text; SCRAM with channel binding never sends it and makes the server prove it knows the verifier.
    // libpq takes what the string leaves out from its environment variables.
    const QByteArray mode = s.value("sslmode").isEmpty() ? qgetenv("PGSSLMODE") : s.value("sslmode");
    const bool bindingChosen
        = !s.value("channel_binding").isEmpty() || !qgetenv("PGCHANNELBINDING").isEmpty();
    if (!bindingChosen && (mode == "require" || mode == "verify-ca" || mode == "verify-full")
        && !onlySockets(s))
        s.set("channel_binding", "require");
    s.ok = true;
    return s;
}

LinkSecurity linkSecurityOf(PGconn* conn)
{
    LinkSecurity link;
    if (!conn)
        return link;
    const QByteArray host = PQhost(conn);
    link.local = host.startsWith('/') || host.startsWith('@');
    link.encrypted = PQsslInUse(conn) == 1;
    QByteArray binding;
    QByteArray mode;
    PQconninfoOption* used = PQconninfo(conn);
    for (const PQconninfoOption* o = used; o && o->keyword; ++o) {
        if (qstrcmp(o->keyword, "channel_binding") == 0 && o->val)
            binding = o->val;
        else if (qstrcmp(o->keyword, "sslmode") == 0 && o->val)
            mode = o->val;
    }
    PQconninfoFree(used);
    // libpq refuses the connection when what these modes demand did not happen.
    link.certificateChecked = link.encrypted && mode == "verify-full";
    link.serverProven = link.encrypted && (binding == "require" || link.certificateChecked);
    return link;
}

QString LinkSecurity::sentence() const
{
    if (local)
        return QStringLiteral("这是本机连接，经过这台电脑内部，不经过网络。");
    if (serverProven)
        return QStringLiteral("连接已加密，服务器已证明了自己的身份（%1），密码只交给了诊所的服务器。")
            .arg(
                certificateChecked ? QStringLiteral("核对了服务器的证书") : QStringLiteral("SCRAM 通道绑定"));
    if (encrypted)
        return QStringLiteral("连接已加密，但没有核对服务器的身份：网络上冒充服务器的电脑可能骗取密码。"
                              "建议加密选“必须加密（require）”。");
    return QStringLiteral("连接没有加密：密码和档案以明文经过网络，网络上的其他电脑可能看到它们，"
                          "或者冒充服务器骗取密码。建议加密选“必须加密（require）”。");
}

QString unprovenServerSentence(const QByteArray& message)
{
    const QString head = QStringLiteral("无法核对诊所服务器的身份：");
    const QString notSent = QString::fromUtf8(kNotSent);
    if (message.contains("root certificate file"))
        return head
            + QStringLiteral(
                "服务器的证书无法核对，因为这台电脑上没有可用的根证书（%1）。%2请向管理服务器的人"
                "要服务器的根证书放在那里，或者把加密改为“必须加密（require）”。")
                  .arg(quotedIn(message, R"(root certificate file "([^"]*)\")"), notSent);
    if (message.contains("does not match host name"))
        return head
            + QStringLiteral(
                "服务器的证书无法核对，因为它是发给“%1”的，不是这里填写的服务器“%2”。%3可能连到的"
                "不是诊所的服务器；请核对服务器的地址（要与证书上的名称一致），或者告诉管理服务器的人。")
                  .arg(quotedIn(message, R"(server certificate for "([^"]*)\")"),
                      quotedIn(message, R"(host name "([^"]*)\")"), notSent);
    if (message.contains("certificate verify failed") || message.contains("SSL error: certificate"))
        return head
            + QStringLiteral("服务器的证书无法核对，因为它不是由这台电脑信任的根证书签发的，或者已经过期。%1"
                             "可能连到的不是诊所的服务器，请告诉管理服务器的人。（%2）")
                  .arg(notSent, oneLine(message));
    if (message.contains("SSL was required"))
        return head
            + QStringLiteral("它不接受加密连接，而这台电脑的设置要求必须加密。%1可能连到的不是诊所的服务器；"
                             "如果是，请管理服务器的人为它打开加密（ssl = on）。")
                  .arg(notSent);
    if (message.contains("channel binding"))
        return head
            + QStringLiteral("它没有证明自己知道这个用户的密码凭据（SCRAM 通道绑定）。%1可能连到的不是诊所的"
                             "服务器；如果是，请管理服务器的人把这个用户的认证方式设为 scram-sha-256。")
                  .arg(notSent);
    return {};
}

QString badSettingsSentence(const QString& reason)
{
    return QStringLiteral("诊所服务器的连接设置写得不对，请检查数据存储设置。（%1）").arg(reason);
}

} // namespace qv
