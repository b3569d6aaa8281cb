#include "store/server/serverengine.h"
#include "store/server/snapshot.h"

#include "store/server/serverschema.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <future>
#include <thread>
#include <vector>

namespace qv {

namespace {

    // Type oids of the values the store reads back (pg_type.h).
    constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
                  kNumeric = 1700;

    // The file gives integers and reals as numbers and everything else as text; a value read from the server
    // is made the same. An exact numeric without a fraction reads as an integer, as the file keeps it.
    QVariant valueOf(const PGresult* r, int row, int column)
    {
        if (PQgetisnull(r, row, column))
            return QVariant();
        const char* text = PQgetvalue(r, row, column);
        const int length = PQgetlength(r, row, column);
        switch (PQftype(r, column)) {
        case kBool:
            return QVariant(qlonglong(text[0] == 't' ? 1 : 0));
        case kInt8:
        case kInt2:
        case kInt4:
        case kOid:
            return QVariant(QByteArray::fromRawData(text, length).toLongLong());
        case kFloat4:
        case kFloat8:
            return QVariant(QByteArray::fromRawData(text, length).toDouble());
        case kNumeric: {
            const QByteArray digits = QByteArray::fromRawData(text, length);
            bool whole = false;
            const qlonglong n = digits.toLongLong(&whole);
            if (whole)
                return QVariant(n);
            const double real = digits.toDouble();
            if (real == double(qlonglong(real)) && std::abs(real) < 1e15)
                return QVariant(qlonglong(real));
            return QVariant(real);
        }
        default:
            return QVariant(QString::fromUtf8(text, length));
        }
    }

    // An amount as the file gives it as text: "12.5" and "0", not the server's "12.5000" and "0.0000".
    QByteArrayView asStoredAmount(QByteArrayView digits)
    {
        if (!digits.contains('.'))
            return digits;
        qsizetype end = digits.size();
        while (end > 0 && digits[end - 1] == '0')
            --end;
        if (end > 0 && digits[end - 1] == '.')
            --end;
        return digits.first(end);
    }

    class ServerCursor final : public Cursor {
    public:
        explicit ServerCursor(const PGresult* r)
            : m_r(r)
        {
        }
        void moveTo(int row) { m_row = row; }
        QString text(int column) const override
        {
            if (PQgetisnull(m_r, m_row, column))
                return {};
            const QByteArrayView bytes = utf8(column);
            return QString::fromUtf8(bytes.data(), bytes.size());
        }
        QByteArrayView utf8(int column) const override
        {
            if (PQgetisnull(m_r, m_row, column))
                return {};
            const QByteArrayView bytes(PQgetvalue(m_r, m_row, column), PQgetlength(m_r, m_row, column));
            return PQftype(m_r, column) == kNumeric ? asStoredAmount(bytes) : bytes;
        }
        bool isNull(int column) const override { return PQgetisnull(m_r, m_row, column); }

    private:
        const PGresult* m_r;
        int m_row = 0;
    };

    // Parameters as text, the server infers their types from where they stand.
    struct Parameters {
        std::vector<QByteArray> texts;
        std::vector<const char*> values;

        explicit Parameters(const QVariantList& params)
        {
            texts.reserve(size_t(params.size()));
            values.reserve(size_t(params.size()));
            for (const QVariant& v : params) {
                if (v.isNull()) {
                    texts.emplace_back();
                    values.push_back(nullptr);
                    continue;
                }
                switch (v.typeId()) {
                case QMetaType::Bool:
                    texts.push_back(v.toBool() ? "1" : "0");
                    break;
                case QMetaType::Double:
                    texts.push_back(QByteArray::number(v.toDouble(), 'g', 17));
                    break;
                default:
                    texts.push_back(v.toString().toUtf8());
                }
                values.push_back(texts.back().constData());
            }
        }
    };

    // The server closed an idle connection (it shut down or restarted): libpq notices only when it next
    // sends.
    bool peerClosed(PGconn* conn)
    {
        const int fd = PQsocket(conn);
        if (fd < 0)
            return true;
        pollfd p { fd, POLLIN, 0 };
        if (poll(&p, 1, 0) <= 0)
            return false;
        if (p.revents & (POLLHUP | POLLERR))
            return true;
        char byte;
        return recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    }

    bool isLoginRefusal(const QByteArray& message)
    {
        return message.contains("password") || message.contains("role \"") || message.contains("28P01")
            || message.contains("28000") || message.contains("密码") || message.contains("角色");
    }

    // The server's own words, on one line: libpq indents its continuation lines with tabs.
    QString reasonOf(const char* message) { return QString::fromUtf8(message).simplified(); }

} // namespace

FailureKind kindOfSqlState(const QByteArray& state)
{
    if (state == "23505")
        return FailureKind::KeyTaken;
    if (state == "53100")
        return FailureKind::DiskFull;
    if (state == "25006" || state == "42501")
        return FailureKind::NoWriteAccess;
    if (state == "55P03" || state == "40001" || state == "40P01" || state == "57014")
        return FailureKind::Busy;
    if (state == "XX001" || state == "XX002")
        return FailureKind::Damaged;
    if (state == "58030")
        return FailureKind::DiskError;
    if (state.startsWith("08") || state == "57P01" || state == "57P02" || state == "57P03")
        return FailureKind::ServerGone;
    if (state.startsWith("28"))
        return FailureKind::LoginRefused;
    return FailureKind::Other;
}

bool ServerEngine::open(const QString& connection, QString* error)
{
    m_connection = connection;
    // Later settings of the same name win: what the practice's connection string says comes last.
    // Over the network, a server that vanishes without a word (a pulled cable, a machine switched off) would
    // hold a save for the kernel's quarter of an hour of retries: unacknowledged data gives up after 10 s and
    // a silent server is asked after 10 s, three times 5 s apart. A Unix socket ignores both.
    const QByteArray settings = "connect_timeout=5 client_encoding=UTF8 application_name=quorvela "
                                "keepalives=1 keepalives_idle=10 keepalives_interval=5 keepalives_count=3 "
                                "tcp_user_timeout=10000 "
                                "options='-c statement_timeout=30000 -c lock_timeout=10000' "
        + connection.toUtf8();
    m_conn.reset(PQconnectdb(settings.constData()));
    if (!m_conn || PQstatus(m_conn.get()) != CONNECTION_OK) {
        if (error)
            *error = connectionFailure().error;
        m_conn.reset();
        return false;
    }
    // LIKE's escape is written '\' in the shared statements.
    Result setup = script(QStringLiteral("set standard_conforming_strings = on"));
    if (!setup) {
        if (error)
            *error = setup.error;
        m_conn.reset();
        return false;
    }
    return true;
}

QString ServerEngine::location() const
{
    if (!m_conn)
        return QStringLiteral("诊所服务器");
    const QString host = QString::fromUtf8(PQhost(m_conn.get()));
    return QStringLiteral("诊所服务器 %1:%2 上的数据库 %3")
        .arg(host.startsWith(QLatin1Char('/')) ? QStringLiteral("localhost") : host,
            QString::fromUtf8(PQport(m_conn.get())), QString::fromUtf8(PQdb(m_conn.get())));
}

Result ServerEngine::connectionFailure() const
{
    Result result;
    const QByteArray message
        = m_conn ? QByteArray(PQerrorMessage(m_conn.get())) : QByteArray("out of memory");
    if (message.contains("invalid connection option") || message.contains("missing \"=\"")
        || message.contains("unterminated quoted string") || message.contains("invalid URI")) {
        result.failure = FailureKind::Stated;
        result.error = QStringLiteral("诊所服务器的连接设置写得不对，请检查数据存储设置。（%1）")
                           .arg(reasonOf(message.constData()));
        return result;
    }
    const bool refused = m_conn && PQstatus(m_conn.get()) == CONNECTION_BAD
        && (PQconnectionNeedsPassword(m_conn.get()) || isLoginRefusal(message));
    result.failure = refused ? FailureKind::LoginRefused : FailureKind::ServerGone;
    result.error = explainServerFailure(result.failure, reasonOf(message.constData()));
    return result;
}

bool ServerEngine::ensureConnected(Result& failure)
{
    if (!m_conn) {
        failure = notOpen();
        return false;
    }
    if (m_inTransaction)
        return true;
    // A server that shut down told its idle connections so: read that before sending anything, and make the
    // connection again instead of failing the first action after the server is back.
    if (PQstatus(m_conn.get()) == CONNECTION_OK && PQconsumeInput(m_conn.get()) == 1) {
        while (pg::Notify(PQnotifies(m_conn.get()))) { }
        if (PQstatus(m_conn.get()) == CONNECTION_OK && !peerClosed(m_conn.get()))
            return true;
    }
    PQreset(m_conn.get());
    if (PQstatus(m_conn.get()) != CONNECTION_OK) {
        failure = connectionFailure();
        return false;
    }
    pg::ResultPtr setup(PQexec(m_conn.get(), "set standard_conforming_strings = on"));
    if (PQresultStatus(setup.get()) != PGRES_COMMAND_OK) {
        failure = connectionFailure();
        return false;
    }
    return true;
}

Result ServerEngine::check(PGresult* raw, pg::ResultPtr& kept)
{
    kept.reset(raw);
    Result result;
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN) {
        result.ok = true;
        return result;
    }
    if (!raw || PQstatus(m_conn.get()) != CONNECTION_OK) {
        result = connectionFailure();
        if (result.failure == FailureKind::LoginRefused)
            result.failure = FailureKind::ServerGone;
        return result;
    }
    const QByteArray state = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
    result.failure = kindOfSqlState(state);
    result.error = explainServerFailure(result.failure,
        QStringLiteral("%1 %2").arg(QString::fromLatin1(state), reasonOf(PQresultErrorMessage(raw))));
    return result;
}

QByteArray ServerEngine::numberPlaceholders(const QString& sql)
{
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    int next = 1;
    char quote = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (quote) {
            out += c;
            if (c == quote)
                quote = 0; // a doubled quote closes and opens again: the same text
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c == '-' && i + 1 < in.size() && in[i + 1] == '-') {
            const qsizetype end = in.indexOf('\n', i);
            out += in.mid(i, end < 0 ? -1 : end - i);
            i = end < 0 ? in.size() : end - 1;
            continue;
        }
        if (c != '?') {
            out += c;
            continue;
        }
        qsizetype digits = i + 1;
        while (digits < in.size() && in[digits] >= '0' && in[digits] <= '9')
            ++digits;
        out += '$';
        if (digits > i + 1) {
            out += in.mid(i + 1, digits - i - 1);
            i = digits - 1;
        } else {
            out += QByteArray::number(next++);
        }
    }
    return out;
}

PGresult* ServerEngine::execute(const QString& sql, const QVariantList& params)
{
    auto found = m_statements.constFind(sql);
    if (found == m_statements.constEnd())
        found = m_statements.insert(sql, numberPlaceholders(sql));
    const Parameters p(params);
    return PQexecParams(m_conn.get(), found.value().constData(), int(p.values.size()), nullptr,
        p.values.data(), nullptr, nullptr, 0);
}

Result ServerEngine::run(const QString& sql, const QVariantList& params)
{
    Result result;
    if (!ensureConnected(result))
        return result;
    pg::ResultPtr r;
    result = check(execute(sql, params), r);
    if (!result)
        return result;
    const int columnCount = PQnfields(r.get());
    QSharedPointer<QStringList> columns;
    if (columnCount > 0) {
        columns.reset(new QStringList);
        for (int i = 0; i < columnCount; ++i)
            columns->append(QString::fromUtf8(PQfname(r.get(), i)));
    }
    const int rowCount = PQntuples(r.get());
    result.rows.reserve(rowCount);
    for (int row = 0; row < rowCount; ++row) {
        QVariantList values;
        values.reserve(columnCount);
        for (int i = 0; i < columnCount; ++i)
            values.append(valueOf(r.get(), row, i));
        result.rows.append(Row(columns, std::move(values)));
    }
    result.changes = QByteArray(PQcmdTuples(r.get())).toInt();
    return result;
}

Result ServerEngine::forEachRow(
    const QString& sql, const QVariantList& params, const std::function<bool(const Cursor&)>& visit)
{
    Result result;
    if (!ensureConnected(result))
        return result;
    pg::ResultPtr r;
    result = check(execute(sql, params), r);
    if (!result)
        return result;
    ServerCursor cursor(r.get());
    const int rowCount = PQntuples(r.get());
    for (int row = 0; row < rowCount; ++row) {
        cursor.moveTo(row);
        if (!visit(cursor))
            break;
    }
    return result;
}

Result ServerEngine::script(const QString& sql)
{
    Result result;
    if (!ensureConnected(result))
        return result;
    pg::ResultPtr r;
    return check(PQexec(m_conn.get(), sql.toUtf8().constData()), r);
}

Result ServerEngine::begin()
{
    Result result = script(QStringLiteral("begin"));
    m_inTransaction = result.ok;
    return result;
}

Result ServerEngine::commit()
{
    Result result;
    pg::ResultPtr r;
    m_committingPid = PQbackendPID(m_conn.get());
    result = check(PQexec(m_conn.get(), "commit"), r);
    // The commit may have reached the server and been stored before the connection broke.
    result.outcomeUnknown = !result && result.failure == FailureKind::ServerGone;
    // A transaction that failed part way ends in a rollback that still answers "command OK".
    if (result && QByteArray(PQcmdStatus(r.get())) != "COMMIT") {
        result.ok = false;
        result.failure = FailureKind::Other;
        result.error = explainServerFailure(result.failure, QStringLiteral("事务已回滚"));
    }
    if (result)
        m_inTransaction = false;
    return result;
}

Result ServerEngine::settleLostCommit()
{
    m_inTransaction = false;
    Result result;
    if (!ensureConnected(result))
        return result;
    // The old connection's server process may still be finishing the commit: wait (a bounded while) until
    // it has gone, after which its transaction is either stored or not, for good.
    constexpr int kWaitMs = 10000, kStepMs = 100;
    for (int waited = 0;; waited += kStepMs) {
        result = run(QStringLiteral("select 1 from pg_stat_activity where pid = ?"), { m_committingPid });
        if (!result || result.rows.isEmpty())
            return result;
        if (waited >= kWaitMs) {
            result.ok = false;
            result.failure = FailureKind::Busy;
            result.error = QStringLiteral("服务器还在处理断开的连接上的保存。");
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
}

void ServerEngine::rollback()
{
    if (m_conn && PQstatus(m_conn.get()) == CONNECTION_OK)
        pg::ResultPtr(PQexec(m_conn.get(), "rollback"));
    m_inTransaction = false;
}

Result ServerEngine::backupTo(const QString& targetPath, const Database::Progress& progress)
{
    return writeSnapshotFile(*this, targetPath, progress);
}

Result ServerEngine::checkIntegrity(Database::Check)
{
    Result result;
    result.failure = FailureKind::Stated;
    result.error = QStringLiteral("数据保存在诊所服务器上，由服务器检查数据的完整性。");
    return result;
}

Result ServerEngine::foldJournal()
{
    Result result;
    result.failure = FailureKind::Stated;
    result.error = QStringLiteral("数据保存在诊所服务器上，本机没有数据库文件。");
    return result;
}

Result ServerEngine::startCatalogNotes()
{
    // The notes are part of the database (the schema's triggers write them for every writer).
    return run(QStringLiteral("select 1 from \"qv_catalog_changed\" limit 1"), {});
}

Result ServerEngine::catalogNotesState(ChangeNotesState* state)
{
    // Emptying 商品 (truncate) writes no note, and a restored dump brings back the notes of its day: both
    // give the tables new files, which makes the notes another session.
    return notesStateOf(run(QStringLiteral("select (select \"token\" from \"qv_schema\") || '/' || "
                                           "pg_relation_filenode('\"商品\"') || '/' || "
                                           "pg_relation_filenode('\"qv_catalog_changed\"'), "
                                           "coalesce(max(\"seq\"), 0), coalesce(min(\"seq\"), 0) "
                                           "from \"qv_catalog_changed\""),
                            {}),
        state);
}

Result ServerEngine::catalogNotes(qint64 after, QList<ChangeNote>* notes)
{
    return notesOf(run(QStringLiteral("select \"seq\", \"rid\" from \"qv_catalog_changed\" "
                                      "where \"seq\" > ? order by \"seq\""),
                       { after }),
        notes);
}

int ServerEngine::socket() const { return m_conn ? PQsocket(m_conn.get()) : -1; }

int ServerEngine::takeNotifications()
{
    if (!m_conn || PQconsumeInput(m_conn.get()) != 1 || PQstatus(m_conn.get()) != CONNECTION_OK)
        return -1;
    int count = 0;
    while (pg::Notify(PQnotifies(m_conn.get())))
        ++count;
    // A server that shut down closes the socket: readable, with nothing to read.
    if (count == 0 && peerClosed(m_conn.get()))
        return -1;
    return count;
}

namespace {

    // A connection of its own that listens for the catalog's notifications, with the event loop watching its
    // socket. The connection is made in the background (a server that cannot be reached would hold the
    // window for the connect timeout); a broken one is tried again every two seconds, and when it works
    // again it wakes its owner once, for whatever was committed meanwhile.
    class ServerCatalogListener final : public CatalogListener {
    public:
        ServerCatalogListener(QString connection, std::function<void()> wake)
            : m_connection(std::move(connection))
            , m_wake(std::move(wake))
        {
            m_retry.setInterval(100);
            QObject::connect(&m_retry, &QTimer::timeout, [this] { takeConnection(); });
            startConnecting();
        }

        ~ServerCatalogListener() override
        {
            if (m_connecting.valid())
                m_connecting.wait();
        }

    private:
        void startConnecting()
        {
            m_notifier.reset();
            m_engine.reset();
            m_attempt.start();
            m_connecting = std::async(std::launch::async, [connection = m_connection] {
                auto engine = std::make_unique<ServerEngine>();
                if (!engine->open(connection, nullptr)
                    || !engine->script(QStringLiteral("listen \"%1\"").arg(QLatin1String(kCatalogChannel))))
                    engine.reset();
                return engine;
            });
            m_retry.start();
        }

        void takeConnection()
        {
            if (!m_connecting.valid()) {
                if (m_attempt.elapsed() >= 2000)
                    startConnecting();
                return;
            }
            if (m_connecting.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                return;
            std::unique_ptr<ServerEngine> engine = m_connecting.get();
            if (!engine)
                return; // the next look starts again
            m_retry.stop();
            m_engine = std::move(engine);
            m_notifier = std::make_unique<QSocketNotifier>(m_engine->socket(), QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readSocket(); });
            if (m_everConnected)
                m_wake();
            m_everConnected = true;
        }

        void readSocket()
        {
            const int arrived = m_engine ? m_engine->takeNotifications() : -1;
            if (arrived > 0) {
                m_wake();
            } else if (arrived < 0) {
                // The notifier may not be deleted inside its own signal: it goes later.
                m_notifier.release()->deleteLater();
                startConnecting();
            }
        }

        QString m_connection;
        std::function<void()> m_wake;
        std::unique_ptr<ServerEngine> m_engine;
        std::unique_ptr<QSocketNotifier> m_notifier;
        std::future<std::unique_ptr<ServerEngine>> m_connecting;
        QTimer m_retry; // looks whether the connection is made, and tries again after a failure
        QElapsedTimer m_attempt;
        bool m_everConnected = false;
    };

} // namespace

std::unique_ptr<CatalogListener> ServerEngine::listenForCatalogChanges(const std::function<void()>& wake)
{
    return std::make_unique<ServerCatalogListener>(m_connection, wake);
}

Result ServerEngine::holdName(const QString& name)
{
    // A lock of the transaction on the name's hash: two names that share a hash only wait for each other.
    return run(QStringLiteral("select pg_advisory_xact_lock(hashtext(?))"), { name });
}

Database::Opener ServerEngine::opener() const
{
    return [connection = m_connection](QString* error) -> std::unique_ptr<StoreEngine> {
        auto other = std::make_unique<ServerEngine>();
        if (!other->open(connection, error))
            return nullptr;
        return other;
    };
}

namespace {

    // One value in COPY's text format.
    void appendCopyValue(QByteArray& line, const QVariant& v)
    {
        if (v.isNull()) {
            line += "\\N";
            return;
        }
        const QByteArray text = v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 17)
                                                                : v.toString().toUtf8();
        for (const char c : text) {
            switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
            }
        }
    }

} // namespace

Result ServerEngine::copyIn(const QString& table, const QStringList& columns, const RowProducer& produce)
{
    Result result;
    if (!ensureConnected(result))
        return result;
    QStringList quoted;
    for (const QString& c : columns)
        quoted << QLatin1Char('"') + c + QLatin1Char('"');
    const QString sql
        = QStringLiteral("copy \"%1\" (%2) from stdin").arg(table, quoted.join(QStringLiteral(", ")));
    pg::ResultPtr r;
    result = check(PQexec(m_conn.get(), sql.toUtf8().constData()), r);
    if (!result)
        return result;
    QByteArray buffer;
    bool sent = true;
    const Result produced = produce([&](const QVariantList& values) {
        for (int i = 0; i < values.size(); ++i) {
            if (i)
                buffer += '\t';
            appendCopyValue(buffer, values.at(i));
        }
        buffer += '\n';
        if (buffer.size() > 256 * 1024) {
            sent = PQputCopyData(m_conn.get(), buffer.constData(), int(buffer.size())) == 1;
            buffer.clear();
        }
        return sent;
    });
    if (sent && produced && !buffer.isEmpty())
        sent = PQputCopyData(m_conn.get(), buffer.constData(), int(buffer.size())) == 1;
    // A copy cut short by its producer is ended with an error, so the server keeps none of it.
    PQputCopyEnd(m_conn.get(), sent && produced ? nullptr : "cut short");
    result = check(PQgetResult(m_conn.get()), r);
    while (PGresult* more = PQgetResult(m_conn.get()))
        PQclear(more);
    return produced ? result : produced;
}

} // namespace qv
