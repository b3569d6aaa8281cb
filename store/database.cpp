#include "store/database.h"
#include "store/file/fileengine.h"
#include "store/server/serverengine.h"

namespace qv {

const char* const Database::kKey = "kq7315";

Row::Row(QSharedPointer<const QStringList> columns, QVariantList values)
    : m_columns(std::move(columns))
    , m_values(std::move(values))
{
}

const QStringList& Row::columns() const
{
    static const QStringList none;
    return m_columns ? *m_columns : none;
}

QVariant Row::value(const QString& column) const
{
    if (!m_columns)
        return {};
    const qsizetype i = m_columns->indexOf(column);
    return i < 0 ? QVariant() : m_values.at(i);
}

QString Row::text(const QString& column) const
{
    const QVariant v = value(column);
    return v.isNull() ? QString() : v.toString();
}

bool Row::isNull(const QString& column) const { return value(column).isNull(); }

Result notOpen()
{
    Result result;
    result.error = QStringLiteral("数据库没有打开，请关闭程序后重新启动。");
    result.failure = FailureKind::Stated;
    return result;
}

Result StoreEngine::holdName(const QString&)
{
    Result held;
    held.ok = true;
    return held;
}

Result refused(const QString& why)
{
    Result r;
    r.failure = FailureKind::Stated;
    r.error = why;
    return r;
}

// Only the server's commits can lose their answer.
Result StoreEngine::settleLostCommit() { return notOpen(); }

Result notesStateOf(Result read, ChangeNotesState* state)
{
    if (read && !read.rows.isEmpty()) {
        state->session = read.rows.first().values().value(0).toString();
        state->latest = read.rows.first().values().value(1).toLongLong();
        state->earliest = read.rows.first().values().value(2).toLongLong();
    }
    return read;
}

Result notesOf(Result read, QList<ChangeNote>* notes)
{
    for (const Row& row : read.rows)
        notes->append({ row.values().value(0).toLongLong(), row.values().value(1).toLongLong() });
    return read;
}

Database::Database() = default;

Database::~Database() = default;

bool Database::open(const QString& path, QString* error, const char* vfs)
{
    close();
    auto file = std::make_unique<FileEngine>();
    if (!file->open(path, error, vfs))
        return false;
    m_engine = std::move(file);
    return true;
}

bool Database::create(const QString& path, QString* error)
{
    close();
    auto file = std::make_unique<FileEngine>();
    if (!file->create(path, error))
        return false;
    m_engine = std::move(file);
    return true;
}

bool Database::openServer(const QString& connection, QString* error)
{
    close();
    auto server = std::make_unique<ServerEngine>();
    if (!server->open(connection, error))
        return false;
    m_engine = std::move(server);
    return true;
}

Database::Opener Database::opener() const
{
    if (m_engine)
        return m_engine->opener();
    return [](QString* error) -> std::unique_ptr<StoreEngine> {
        if (error)
            *error = notOpen().error;
        return nullptr;
    };
}

bool Database::open(const Opener& opener, QString* error)
{
    close();
    m_engine = opener(error);
    return m_engine != nullptr;
}

void Database::close() { m_engine.reset(); }

bool Database::isOpen() const { return m_engine != nullptr; }

StoreKind Database::kind() const { return m_engine ? m_engine->kind() : StoreKind::File; }

QString Database::path() const { return m_engine ? m_engine->path() : QString(); }

QString Database::location() const { return m_engine ? m_engine->location() : QString(); }

Result Database::run(const QString& sql, const QVariantList& params)
{
    return m_engine ? m_engine->run(sql, params) : notOpen();
}

Result Database::forEachRow(
    const QString& sql, const QVariantList& params, const std::function<bool(const Cursor&)>& visit)
{
    return m_engine ? m_engine->forEachRow(sql, params, visit) : notOpen();
}

Result Database::script(const QString& sql) { return m_engine ? m_engine->script(sql) : notOpen(); }

Result Database::transaction(const std::function<Result()>& body)
{
    if (!m_engine)
        return notOpen();
    Result begin = m_engine->begin();
    if (!begin)
        return begin;
    Result result = body();
    if (!result) {
        m_engine->rollback();
        return result;
    }
    Result commit = m_engine->commit();
    if (!commit) {
        m_engine->rollback();
        return commit;
    }
    return result;
}

Result Database::transaction(
    const std::function<Result()>& body, const std::function<Result(bool* stored)>& wasStored)
{
    Result written = transaction(body);
    if (written || !written.outcomeUnknown || !wasStored)
        return written;
    const Result settled = m_engine->settleLostCommit();
    bool stored = false;
    const Result asked = settled ? wasStored(&stored) : settled;
    if (!asked) {
        written.error = QStringLiteral("保存的最后一步时与服务器的连接断开了，不能确定是否已经保存。"
                                       "请等服务器恢复后查看是否已经保存，再决定是否重新保存。\n%1")
                            .arg(asked.error);
        return written;
    }
    if (stored) {
        Result done;
        done.ok = true;
        return done;
    }
    written.outcomeUnknown = false; // known now: not stored
    return written;
}

Result Database::backupTo(const QString& targetPath, const Progress& progress)
{
    return m_engine ? m_engine->backupTo(targetPath, progress) : notOpen();
}

Result Database::checkIntegrity(Check depth)
{
    return m_engine ? m_engine->checkIntegrity(depth) : notOpen();
}

Result Database::foldJournal() { return m_engine ? m_engine->foldJournal() : notOpen(); }

Result Database::startCatalogNotes() { return m_engine ? m_engine->startCatalogNotes() : notOpen(); }

Result Database::catalogNotesState(ChangeNotesState* state)
{
    return m_engine ? m_engine->catalogNotesState(state) : notOpen();
}

Result Database::catalogNotes(qint64 after, QList<ChangeNote>* notes)
{
    return m_engine ? m_engine->catalogNotes(after, notes) : notOpen();
}

std::unique_ptr<CatalogListener> Database::listenForCatalogChanges(const std::function<void()>& wake)
{
    return m_engine ? m_engine->listenForCatalogChanges(wake) : nullptr;
}

Result Database::copyIn(const QString& table, const QStringList& columns, const RowProducer& produce)
{
    return m_engine ? m_engine->copyIn(table, columns, produce) : notOpen();
}

Result Database::holdName(const QString& name) { return m_engine ? m_engine->holdName(name) : notOpen(); }

QString Database::lockRowsClause() const { return m_engine ? m_engine->lockRowsClause() : QString(); }

void Database::keepLittleInMemory()
{
    if (m_engine)
        m_engine->keepLittleInMemory();
}

QString containsPattern(const QString& typed)
{
    QString escaped;
    escaped.reserve(typed.size() + 2);
    escaped += QLatin1Char('%');
    for (const QChar c : foldAsciiCase(typed)) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    escaped += QLatin1Char('%');
    return escaped;
}

QString foldAsciiCase(const QString& text)
{
    QString folded = text;
    for (QChar& c : folded) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

} // namespace qv
