// The link to the practice's server: the password goes to no server that has not proven itself, the link's
// security is told, connection strings in either form keep the program's time limits, and the desks' role is
// told which steps need the database's owner. On a PostgreSQL server of this test's own with TLS on
// 127.0.0.1, and a fake server that asks for the password in clear text.

#include "app/storagewindow.h"
#include "maintenance/migration.h"
#include "maintenance/storagechoice.h"
#include "store/server/serverschema.h"
#include "store/template/templatedb.h"
#include "tests/support/testenv.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace qv;

namespace {

const QString kPassword = QStringLiteral("qv-link-5150");

// A port on 127.0.0.1 that nobody listens on now.
int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class ServerLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_state;
    QString m_folder;
    int m_port = 0;
    QList<QProcess*> m_fakes;

    // Over TCP to 127.0.0.1 (or the name given), as a desk on the network connects.
    QString overNetwork(const QString& options, const QString& host = QStringLiteral("localhost")) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=postgres user=postgres password=%3 %4")
            .arg(host)
            .arg(m_port)
            .arg(kPassword, options);
    }

    QString overSocket(const QString& database, const QString& user = QStringLiteral("postgres"),
        const QString& password = kPassword) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5")
            .arg(m_folder)
            .arg(m_port)
            .arg(database, user, password);
    }

    // A fake server logging to log; with TLS when a certificate is given. Its port.
    int startFake(const QString& log, bool tls)
    {
        QStringList args = { QStringLiteral(QV_FAKE_PGSERVER), log };
        if (tls)
            // Any certificate: require checks none, and verify-full has no root to check this one with.
            args << m_folder + QStringLiteral("/server.crt") << m_folder + QStringLiteral("/server.key");
        auto* fake = new QProcess(this);
        fake->start(QStringLiteral("/usr/bin/python3"), args);
        m_fakes << fake;
        if (!fake->waitForReadyRead(10000))
            qFatal("the fake server did not start: %s", fake->readAllStandardError().constData());
        return fake->readLine().trimmed().toInt();
    }

    // A failure here ends the case, not the run: the servers are still stopped.
    static bool mustRun(Database& db, const QString& sql)
    {
        const Result r = db.script(sql);
        if (!r)
            qWarning("%s: %s", qPrintable(sql), qPrintable(r.error));
        return r.ok;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_state = m_dir.filePath(QStringLiteral("state"));
        m_port = freePort();
        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QV_PGSERVER_TLS_PORT"), QString::number(m_port));
        server.setProcessEnvironment(env);
        server.start(QStringLiteral(QV_PGSERVER), { QStringLiteral("start"), m_state, kPassword });
        QVERIFY(server.waitForFinished(60000));
        QVERIFY2(server.exitCode() == 0, server.readAllStandardError().constData());
        m_folder = readAll(m_state).trimmed();
    }

    void cleanupTestCase()
    {
        for (QProcess* fake : std::as_const(m_fakes)) {
            fake->kill();
            fake->waitForFinished(5000);
        }
        QProcess::execute(QStringLiteral(QV_PGSERVER), { QStringLiteral("stop"), m_state });
    }

    void aServerThatAsksForThePasswordInClearTextNeverGetsIt()
    {
        const QString tlsLog = m_dir.filePath(QStringLiteral("fake-tls.log"));
        const QString plainLog = m_dir.filePath(QStringLiteral("fake-plain.log"));
        const int tls = startFake(tlsLog, true);
        const int plain = startFake(plainLog, false);
        const auto to = [&](int port, const QString& mode) {
            return QStringLiteral(
                "host=127.0.0.1 port=%1 dbname=quorvela user=quorvela password=%2 sslmode=%3")
                .arg(port)
                .arg(kPassword, mode);
        };
        // The program's default and the certificate check: refused before any password, and said so.
        for (const auto& [port, mode] :
            { std::pair { tls, QStringLiteral("require") }, std::pair { plain, QStringLiteral("require") },
                std::pair { tls, QStringLiteral("verify-full") } }) {
            Database db;
            QString error;
            QVERIFY(!db.openServer(to(port, mode), &error));
            QVERIFY2(error.startsWith(QStringLiteral("无法核对诊所服务器的身份：")), qPrintable(error));
            QVERIFY2(error.contains(QStringLiteral("没有把密码发给它")), qPrintable(error));
        }
        QVERIFY2(readAll(tlsLog).contains(QStringLiteral("tls\nstartup\n")), qPrintable(readAll(tlsLog)));
        QVERIFY(!readAll(tlsLog).contains(kPassword) && !readAll(plainLog).contains(kPassword));

        // prefer, the warned risk: either impostor is given the password, over its TLS or in clear text.
        for (const auto& [port, log] : { std::pair { tls, tlsLog }, std::pair { plain, plainLog } }) {
            Database db;
            QString error;
            QVERIFY(!db.openServer(to(port, QStringLiteral("prefer")), &error));
            QVERIFY2(readAll(log).endsWith(QStringLiteral("password ") + kPassword + QLatin1Char('\n')),
                qPrintable(readAll(log)));
        }
    }

    void theConnectionTestTellsHowTheLinkIsGuarded()
    {
        ConnectionVerdict v = testServerConnection(overNetwork(QStringLiteral("sslmode=require")));
        QVERIFY2(v.ok, qPrintable(v.message));
        QVERIFY2(v.link.startsWith(QStringLiteral("连接已加密，服务器已证明了自己的身份（SCRAM 通道绑定）")),
            qPrintable(v.link));
        const QString root = QStringLiteral("sslmode=verify-full sslrootcert=") + m_folder + "/server.crt";
        v = testServerConnection(overNetwork(root));
        QVERIFY2(
            v.ok && v.link.contains(QStringLiteral("核对了服务器的证书")), qPrintable(v.message + v.link));
        v = testServerConnection(overNetwork(QStringLiteral("sslmode=prefer")));
        QVERIFY2(v.ok && v.link.contains(QStringLiteral("没有核对服务器的身份")), qPrintable(v.link));
        v = testServerConnection(overNetwork(QStringLiteral("sslmode=disable")));
        QVERIFY2(v.ok && v.link.startsWith(QStringLiteral("连接没有加密")), qPrintable(v.link));
        // require on this computer's socket: no network, no channel binding to ask for.
        v = testServerConnection(overSocket(QStringLiteral("postgres")) + QStringLiteral(" sslmode=require"));
        QVERIFY2(v.ok && v.link.startsWith(QStringLiteral("这是本机连接")), qPrintable(v.message + v.link));

        // The certificate cannot be checked: why, not the network's sentence.
        v = testServerConnection(overNetwork(root, QStringLiteral("127.0.0.1")));
        QVERIFY2(!v.ok
                && v.message.contains(
                    QStringLiteral("它是发给“localhost”的，不是这里填写的服务器“127.0.0.1”")),
            qPrintable(v.message));
        v = testServerConnection(overNetwork(QStringLiteral("sslmode=verify-full sslrootcert=")
            + m_dir.filePath(QStringLiteral("none/root.crt"))));
        QVERIFY2(!v.ok && v.message.contains(QStringLiteral("没有可用的根证书"))
                && v.message.contains(m_dir.filePath(QStringLiteral("none/root.crt"))),
            qPrintable(v.message));
        QVERIFY(!v.message.contains(serverFailureSentence(FailureKind::ServerGone)));

        // The window: require for a new server choice, a plain warning for prefer and disable.
        test::TestEnv env;
        StorageWindow window(env.services, m_dir.filePath(QStringLiteral("window/storage.conf")));
        window.show();
        window.serverOption->setChecked(true);
        QCOMPARE(window.sslModeBox->currentText(), QStringLiteral("必须加密（require）"));
        QVERIFY(window.sslWarningLabel->isHidden());
        window.sslModeBox->setCurrentIndex(
            window.sslModeBox->findText(QStringLiteral("服务器支持时加密（prefer）")));
        QVERIFY(window.sslWarningLabel->isVisible()
            && window.sslWarningLabel->text().contains(QStringLiteral("骗取密码")));
        window.sslModeBox->setCurrentIndex(
            window.sslModeBox->findText(QStringLiteral("必须加密（require）")));
        window.hostBox->setText(QStringLiteral("localhost"));
        window.portBox->setText(QString::number(m_port));
        window.databaseBox->setText(QStringLiteral("postgres"));
        window.userBox->setText(QStringLiteral("postgres"));
        window.passwordBox->setText(kPassword);
        window.testButton->click();
        QVERIFY2(window.statusLabel->text().contains(QStringLiteral("连接已加密，服务器已证明了自己的身份")),
            qPrintable(window.statusLabel->text()));
    }

    void connectionStringsInEitherFormKeepTheTimeLimits()
    {
        const QString options = QStringLiteral("-c statement_timeout=5000 -c work_mem=5MB");
        const QString uri
            = QStringLiteral("postgresql://postgres:%1@localhost:%2/postgres?sslmode=require&options=%3")
                  .arg(kPassword)
                  .arg(m_port)
                  .arg(QString::fromLatin1(QUrl::toPercentEncoding(options)));
        for (const QString& connection :
            { overNetwork(QStringLiteral("sslmode=require options='%1'").arg(options)), uri }) {
            Database db;
            QString error;
            QVERIFY2(db.openServer(connection, &error), qPrintable(connection + error));
            const Result shown = db.run(QStringLiteral("select current_setting('statement_timeout') as s, "
                                                       "current_setting('lock_timeout') as l, "
                                                       "current_setting('work_mem') as w"));
            QVERIFY2(shown, qPrintable(shown.error));
            const Row row = shown.rows.value(0);
            QCOMPARE(row.text(QStringLiteral("s")), QStringLiteral("30s"));
            QCOMPARE(row.text(QStringLiteral("l")), QStringLiteral("10s"));
            QCOMPARE(row.text(QStringLiteral("w")), QStringLiteral("5MB")); // the user's own option kept
        }
        Database db;
        QString error;
        QVERIFY(!db.openServer(QStringLiteral("postgresql://localhost:notaport/x"), &error));
        QVERIFY2(error.startsWith(QStringLiteral("诊所服务器的连接设置写得不对")), qPrintable(error));
    }

    void theDesksRoleIsToldWhichStepsNeedTheOwner()
    {
        Database admin;
        QString error;
        QVERIFY2(admin.openServer(overSocket(QStringLiteral("postgres")), &error), qPrintable(error));
        // The grants the setup script gives its two roles.
        QVERIFY(mustRun(admin,
            QStringLiteral("create role qv_owner login password 'owner-pw-1';"
                           "create role qv_desk login password 'desk-pw-1'")));
        QVERIFY(mustRun(admin, QStringLiteral("create database qv_link owner qv_owner")));
        QVERIFY(admin.openServer(overSocket(QStringLiteral("qv_link")), &error));
        QVERIFY(mustRun(admin,
            QStringLiteral("revoke create on schema public from public;"
                           "grant usage on schema public to qv_desk;"
                           "alter default privileges for role qv_owner in schema public "
                           "grant select, insert, update, delete on tables to qv_desk")));
        const QString asOwner
            = overSocket(QStringLiteral("qv_link"), QStringLiteral("qv_owner"), QStringLiteral("owner-pw-1"));
        const QString asDesk
            = overSocket(QStringLiteral("qv_link"), QStringLiteral("qv_desk"), QStringLiteral("desk-pw-1"));
        const QString file = m_dir.filePath(QStringLiteral("数据库.dat"));
        QVERIFY(writeTemplateDatabase(file, &error));
        Database local;
        QVERIFY(local.open(file, &error));

        const auto needsOwner = [](const Result& r, const QString& step) {
            return !r && r.failure == FailureKind::Stated && r.error.startsWith(step)
                && r.error.contains(QStringLiteral("需要数据库所有者的账户"))
                && r.error.contains(QStringLiteral("“qv_desk”"));
        };
        Database desk;
        QVERIFY2(desk.openServer(asDesk, &error), qPrintable(error));
        const ConnectionVerdict v = testServerConnection(asDesk);
        QVERIFY2(!v.ok && v.message.contains(QStringLiteral("建立档案需要数据库所有者的账户")),
            qPrintable(v.message));
        Result r = prepareServerFromTemplate(desk);
        QVERIFY2(needsOwner(r, QStringLiteral("在空的数据库中建立档案")), qPrintable(r.error));
        MigrationReport report;
        r = migrateToServer(local, desk, &report);
        QVERIFY2(needsOwner(r, QStringLiteral("把档案填入诊所服务器")), qPrintable(r.error));
        QCOMPARE(admin.run(QStringLiteral("select count(*) as n from pg_tables where schemaname = 'public'"))
                     .rows.value(0)
                     .text(QStringLiteral("n")),
            QStringLiteral("0"));

        Database owner;
        QVERIFY2(owner.openServer(asOwner, &error), qPrintable(error));
        ServerPreparation done;
        QVERIFY(prepareServerFromTemplate(owner, &done) && done.created);
        QVERIFY(
            mustRun(owner, QStringLiteral("revoke insert, update, delete on \"qv_schema\" from qv_desk")));
        // The desk's day: opens the set-up database and writes the catalog (its change note too).
        r = prepareServerFromTemplate(desk, &done);
        QVERIFY2(r && !done.created && done.applied.isEmpty(), qPrintable(r.error));
        r = desk.run(QStringLiteral("update \"商品\" set \"名称\" = \"名称\" || '' where \"ID号\" = (select "
                                    "min(\"ID号\") from \"商品\")"));
        QVERIFY2(r, qPrintable(r.error));

        // An upgrade waits for the owner; the desk's refusal changed nothing.
        QVERIFY(mustRun(owner, QStringLiteral("update \"qv_schema\" set \"version\" = 1")));
        r = prepareServerFromTemplate(desk, &done);
        QVERIFY2(needsOwner(r, QStringLiteral("升级服务器上的数据库")), qPrintable(r.error));
        QCOMPARE(owner.run(QStringLiteral("select \"version\" from \"qv_schema\""))
                     .rows.value(0)
                     .text(QStringLiteral("version")),
            QStringLiteral("1"));
        QVERIFY(prepareServerFromTemplate(owner, &done) && done.applied == QList<int> { 2 });

        // "迁移到服务器" in the window says so before it asks anything.
        test::TestEnv env;
        StorageWindow window(env.services, m_dir.filePath(QStringLiteral("desk/storage.conf")));
        window.serverOption->setChecked(true);
        window.hostBox->setText(m_folder);
        window.portBox->setText(QString::number(m_port));
        window.databaseBox->setText(QStringLiteral("qv_link"));
        window.userBox->setText(QStringLiteral("qv_desk"));
        window.passwordBox->setText(QStringLiteral("desk-pw-1"));
        env.messages.setNextAnswers({ true, true });
        window.migrateButton->click();
        QVERIFY2(
            window.statusLabel->text().startsWith(QStringLiteral("“迁移到服务器”需要数据库所有者的账户")),
            qPrintable(window.statusLabel->text()));
        QVERIFY(env.messages.shown().isEmpty());
    }

    void theLocalFileKeepsNoServerPassword()
    {
        const QString path = m_dir.filePath(QStringLiteral("config/storage.conf"));
        StorageChoice c;
        c.onServer = true;
        c.host = QStringLiteral("192.168.1.10");
        c.password = kPassword;
        QCOMPARE(saveStorageChoice(c, path), QString());
        QCOMPARE(loadStorageChoice(path).password, kPassword);
        c.onServer = false;
        QCOMPARE(saveStorageChoice(c, path), QString());
        QVERIFY(!readAll(path).contains(kPassword));
        const StorageChoice back = loadStorageChoice(path);
        QVERIFY(!back.onServer && back.password.isEmpty() && back.host == c.host);
    }
};

QTEST_MAIN(ServerLinkTest)
#include "tst_serverlink.moc"
