#include "store/file/fileengine.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

namespace qv {

namespace {

    // What a failed SQLite call means to the user. path is the database file, looked at when SQLite only
    // says it could not open or reach it.
    FailureKind kindOfCode(int code, int systemErrno, const QString& path)
    {
        switch (code & 0xff) {
        case SQLITE_FULL:
            return FailureKind::DiskFull;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return FailureKind::NoWriteAccess;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return FailureKind::Busy;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return FailureKind::Damaged;
        case SQLITE_CONSTRAINT:
            return code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY
                ? FailureKind::KeyTaken
                : FailureKind::Other;
        case SQLITE_CANTOPEN:
            return fileFailureKind(path, systemErrno);
        case SQLITE_IOERR: {
            if (code == SQLITE_IOERR_NOMEM)
                return FailureKind::Other;
            const FailureKind onDisk = fileFailureKind(path, systemErrno);
            return onDisk == FailureKind::Other ? FailureKind::DiskError : onDisk;
        }
        default:
            return FailureKind::Other;
        }
    }

    // The failure of the call just made on db, read before anything else touches the handle.
    void setFailure(Result& result, sqlite3* db, const QString& path, const char* message = nullptr)
    {
        if (!db) {
            result.error = QStringLiteral("数据库没有打开，请关闭程序后重新启动。");
            result.failure = FailureKind::Stated;
            result.code = 0;
            return;
        }
        result.code = sqlite3_extended_errcode(db);
        result.failure = kindOfCode(result.code, sqlite3_system_errno(db), path);
        result.error
            = explainFailure(result.failure, QString::fromUtf8(message ? message : sqlite3_errmsg(db)));
    }

    Result failureOf(sqlite3* db, const QString& path)
    {
        Result result;
        setFailure(result, db, path);
        return result;
    }

    bool bindAll(sqlite3_stmt* stmt, const QVariantList& params)
    {
        for (int i = 0; i < params.size(); ++i) {
            const QVariant& v = params.at(i);
            int rc;
            if (v.isNull()) {
                rc = sqlite3_bind_null(stmt, i + 1);
            } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong
                || v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::Bool) {
                rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            } else if (v.typeId() == QMetaType::Double) {
                rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
            } else {
                const QByteArray utf8 = v.toString().toUtf8();
                rc = sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
            if (rc != SQLITE_OK)
                return false;
        }
        return true;
    }

    // The row a prepared statement stands on.
    class FileCursor final : public Cursor {
    public:
        explicit FileCursor(sqlite3_stmt* stmt)
            : m_stmt(stmt)
        {
        }
        QString text(int column) const override
        {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
            return data ? QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column)) : QString();
        }
        QByteArrayView utf8(int column) const override
        {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
            return data ? QByteArrayView(data, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
        }
        bool isNull(int column) const override { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

    private:
        sqlite3_stmt* m_stmt;
    };

    QVariant columnValue(sqlite3_stmt* stmt, int i)
    {
        switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
            return QVariant();
        case SQLITE_INTEGER:
            return QVariant(qlonglong(sqlite3_column_int64(stmt, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, i));
        default: {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            return QVariant(QString::fromUtf8(data, sqlite3_column_bytes(stmt, i)));
        }
        }
    }

} // namespace

FileEngine::~FileEngine() { close(); }

bool FileEngine::openWith(const QString& path, int flags, QString* error, const char* vfs)
{
    close();
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        close();
        return false;
    };
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, vfs);
    if (rc != SQLITE_OK) {
        const QString why = db
            ? failureOf(db, path).error
            : explainFailure(kindOfCode(rc, 0, path), QString::fromUtf8(sqlite3_errstr(rc)));
        if (db)
            sqlite3_close(db); // never key a handle whose open failed
        return fail(why);
    }
    m_db = db;
    m_path = path;
    m_vfs = vfs ? QByteArray(vfs) : QByteArray();
    // Another program writing to the file holds it for a few milliseconds at a time: look again every
    // millisecond, for ten seconds on the clock, as long as the server waits for a lock (counting looks
    // instead would give up early on a busy computer, where a millisecond's sleep lasts longer). SQLite's own
    // timeout sleeps longer and longer between looks, so a program writing often could keep another one out
    // for all of them.
    sqlite3_busy_handler(m_db, &lookAgainSoon, this);
    if (sqlite3_key(m_db, Database::kKey, int(strlen(Database::kKey))) != SQLITE_OK)
        return fail(failureOf(m_db, path).error);
    // A wrong key or a damaged file only shows on the first read of the schema.
    Result proof = run(QStringLiteral("select count(*) from sqlite_master"), {});
    if (!proof)
        return fail(proof.error);
    // An existing file without tables (an empty file reads that way) is not ours: leave it untouched.
    const bool creating = flags & SQLITE_OPEN_CREATE;
    if (!creating && (proof.rows.isEmpty() || proof.rows.first().values().first().toInt() == 0))
        return fail(explainFailure(FailureKind::Damaged, QStringLiteral("文件中没有任何数据表")));
    Result cipher = run(QStringLiteral("pragma cipher_version"), {});
    if (!cipher || cipher.rows.isEmpty())
        return fail(QStringLiteral("数据库引擎不支持加密"));
    // Decrypted pages stay in memory (32 MB), so a list read again is not decrypted again.
    run(QStringLiteral("pragma cache_size = -32000"), {});
    // A write-ahead log makes a save one synced append instead of the several syncs of a rollback journal;
    // with full sync a save reported done survives a power cut as well as a killed process.
    run(QStringLiteral("pragma journal_mode = wal"), {});
    run(QStringLiteral("pragma synchronous = full"), {});
    return true;
}

bool FileEngine::open(const QString& path, QString* error, const char* vfs)
{
    if (!QFile::exists(path)) {
        if (error)
            *error = QStringLiteral("文件不存在");
        return false;
    }
    return openWith(path, SQLITE_OPEN_READWRITE, error, vfs);
}

bool FileEngine::create(const QString& path, QString* error)
{
    return openWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error, nullptr);
}

void FileEngine::close()
{
    forgetStatements();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_path.clear();
    m_notesTable.clear();
    m_notesSession.clear();
}

sqlite3_stmt* FileEngine::prepare(const QString& sql, const QVariantList& params, Result& result)
{
    if (!m_db) {
        setFailure(result, nullptr, m_path);
        return nullptr;
    }
    sqlite3_stmt* stmt = m_statements.take(sql);
    const QByteArray utf8 = stmt ? QByteArray() : sql.toUtf8();
    if (!stmt && sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
        setFailure(result, m_db, m_path);
        return nullptr;
    }
    if (!bindAll(stmt, params)) {
        setFailure(result, m_db, m_path);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

void FileEngine::release(const QString& sql, sqlite3_stmt* stmt)
{
    // Reset at once: a statement left standing on a row would hold its read transaction open.
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    // The program runs a few dozen fixed statements; texts beyond that are not kept.
    constexpr qsizetype kKept = 200;
    if (m_statements.size() >= kKept || m_statements.contains(sql)) {
        sqlite3_finalize(stmt);
        return;
    }
    m_statements.insert(sql, stmt);
}

void FileEngine::forgetStatements()
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
}

Result FileEngine::run(const QString& sql, const QVariantList& params)
{
    Result result;
    sqlite3_stmt* stmt = prepare(sql, params, result);
    if (!stmt)
        return result;
    const int columnCount = sqlite3_column_count(stmt);
    QSharedPointer<QStringList> columns;
    if (columnCount > 0) {
        columns.reset(new QStringList);
        for (int i = 0; i < columnCount; ++i)
            columns->append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList values;
        values.reserve(columnCount);
        for (int i = 0; i < columnCount; ++i)
            values.append(columnValue(stmt, i));
        result.rows.append(Row(columns, std::move(values)));
    }
    if (rc != SQLITE_DONE) {
        setFailure(result, m_db, m_path);
        result.rows.clear();
        release(sql, stmt);
        return result;
    }
    release(sql, stmt);
    result.ok = true;
    result.changes = sqlite3_changes(m_db);
    return result;
}

Result FileEngine::forEachRow(
    const QString& sql, const QVariantList& params, const std::function<bool(const Cursor&)>& visit)
{
    Result result;
    sqlite3_stmt* stmt = prepare(sql, params, result);
    if (!stmt)
        return result;
    const FileCursor cursor(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!visit(cursor)) {
            rc = SQLITE_DONE;
            break;
        }
    }
    if (rc != SQLITE_DONE)
        setFailure(result, m_db, m_path);
    else
        result.ok = true;
    release(sql, stmt);
    return result;
}

Result FileEngine::script(const QString& sql)
{
    Result result;
    if (!m_db) {
        setFailure(result, nullptr, m_path);
        return result;
    }
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        setFailure(result, m_db, m_path, message);
        sqlite3_free(message);
        return result;
    }
    result.ok = true;
    return result;
}

Result FileEngine::begin() { return run(QStringLiteral("begin immediate"), {}); }

Result FileEngine::commit() { return run(QStringLiteral("commit"), {}); }

void FileEngine::rollback() { run(QStringLiteral("rollback"), {}); }

QString FileEngine::location() const { return QDir::toNativeSeparators(m_path); }

Database::Opener FileEngine::opener() const
{
    return [path = m_path, vfs = m_vfs](QString* error) -> std::unique_ptr<StoreEngine> {
        auto other = std::make_unique<FileEngine>();
        if (!other->open(path, error, vfs.isEmpty() ? nullptr : vfs.constData()))
            return nullptr;
        return other;
    };
}

Result FileEngine::copyIn(const QString& table, const QStringList& columns, const RowProducer& produce)
{
    QStringList quoted;
    QStringList marks;
    for (const QString& c : columns) {
        quoted << QLatin1Char('"') + c + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("insert into \"%1\" (%2) values (%3)")
                            .arg(table, quoted.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    // One statement for every row: a ten-year archive is hundreds of thousands of rows, and preparing each
    // again would cost more than writing it.
    Result failed;
    sqlite3_stmt* stmt = prepare(sql, {}, failed);
    if (!stmt)
        return failed;
    const Result produced = produce([&](const QVariantList& values) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (!bindAll(stmt, values) || sqlite3_step(stmt) != SQLITE_DONE) {
            setFailure(failed, m_db, m_path);
            return false;
        }
        return true;
    });
    sqlite3_finalize(stmt);
    return !failed.error.isEmpty() ? failed : produced;
}

void FileEngine::keepLittleInMemory() { run(QStringLiteral("pragma cache_size = 64"), {}); }

namespace {

    // A file whose notes table an upgrade could not add (a read-only file) keeps notes for this connection
    // only, in its temporary schema: the changes this program makes are still seen, other writers' are not.
    const char kConnectionNotes[] = R"(
create temp table if not exists "qv_catalog_changed" ("seq" integer primary key, "rid" integer not null);
create temp trigger if not exists "qv_catalog_row_inserted_here" after insert on main."商品"
    begin insert into temp."qv_catalog_changed" ("rid") values (new.rowid); end;
create temp trigger if not exists "qv_catalog_row_updated_here" after update on main."商品"
    begin insert into temp."qv_catalog_changed" ("rid") values (old.rowid), (new.rowid); end;
create temp trigger if not exists "qv_catalog_row_deleted_here" after delete on main."商品"
    begin insert into temp."qv_catalog_changed" ("rid") values (old.rowid); end;
)";

} // namespace

int FileEngine::lookAgainSoon(void* engine, int looks)
{
    auto& busySince = static_cast<FileEngine*>(engine)->m_busySince;
    const auto now = std::chrono::steady_clock::now();
    if (looks == 0)
        busySince = now;
    else if (now - busySince >= kBusyWait)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

Result FileEngine::startCatalogNotes()
{
    if (!m_notesTable.isEmpty())
        return run(QStringLiteral("select 1 from %1 limit 1").arg(m_notesTable), {});
    // The file's own notes (see upgrade.h), written by its triggers for every program that writes to it.
    const Result inFile = run(QStringLiteral("select count(*) from main.sqlite_master "
                                             "where type = 'table' and name = 'qv_catalog_changed'"),
        {});
    if (!inFile)
        return inFile;
    if (inFile.rows.value(0).values().value(0).toInt() > 0) {
        m_notesTable = QStringLiteral("main.\"qv_catalog_changed\"");
        m_notesSession = QStringLiteral("file");
    } else {
        const Result made = script(QString::fromUtf8(kConnectionNotes));
        if (!made)
            return made;
        m_notesTable = QStringLiteral("temp.\"qv_catalog_changed\"");
        m_notesSession = QStringLiteral("connection %1").arg(quintptr(m_db), 0, 16)
            + QString::number(QDateTime::currentMSecsSinceEpoch());
    }
    Result started;
    started.ok = true;
    return started;
}

Result FileEngine::catalogNotesState(ChangeNotesState* state)
{
    if (m_notesTable.isEmpty())
        return notOpen();
    return notesStateOf(
        run(QStringLiteral("select ?, coalesce(max(\"seq\"), 0), coalesce(min(\"seq\"), 0) from %1")
                .arg(m_notesTable),
            { m_notesSession }),
        state);
}

Result FileEngine::catalogNotes(qint64 after, QList<ChangeNote>* notes)
{
    if (m_notesTable.isEmpty())
        return notOpen();
    return notesOf(run(QStringLiteral("select \"seq\", \"rid\" from %1 where \"seq\" > ? order by \"seq\"")
                           .arg(m_notesTable),
                       { after }),
        notes);
}

Result FileEngine::checkIntegrity(Database::Check depth)
{
    return run(depth == Database::Check::Full ? QStringLiteral("pragma integrity_check")
                                              : QStringLiteral("pragma quick_check"),
        {});
}

Result FileEngine::foldJournal() { return run(QStringLiteral("pragma wal_checkpoint(truncate)"), {}); }

Result FileEngine::backupTo(const QString& targetPath, const Database::Progress&)
{
    // The file's bytes (or its pages) are copied in a second or two: there is nothing to show on the way.
    Result result;
    if (!m_db) {
        setFailure(result, nullptr, m_path);
        return result;
    }
    // What a copy cut short left behind (a journal or log beside it) must not be taken into the new one.
    for (const char* suffix : { "", "-journal", "-wal", "-shm" })
        QFile::remove(targetPath + QLatin1String(suffix));
    // Once the write-ahead log is folded back into the file, the file alone is the whole database under the
    // same key, and its bytes are the backup: several times cheaper than decrypting and encrypting every page
    // again into a new file. That page copy stays for a log that cannot be folded back (another program
    // reading an older state of the file, say).
    const Result before = run(QStringLiteral("pragma data_version"), {});
    const Result folded = run(QStringLiteral("pragma wal_checkpoint(truncate)"), {});
    const QVariantList state
        = folded && !folded.rows.isEmpty() ? folded.rows.first().values() : QVariantList();
    if (!before || state.size() != 3 || state[0].toInt() != 0 || state[1].toInt() != state[2].toInt())
        return copyPagesTo(targetPath);
    // A read transaction holds the file still while it is copied: no checkpoint of another connection may
    // rewrite it meanwhile. If another connection wrote after the log was folded back, this state is partly
    // in the log again, and the pages are copied instead.
    if (!run(QStringLiteral("begin"), {}))
        return copyPagesTo(targetPath);
    const Result during = run(QStringLiteral("pragma data_version"), {});
    if (!during || during.rows.value(0).values() != before.rows.value(0).values()) {
        run(QStringLiteral("rollback"), {});
        return copyPagesTo(targetPath);
    }
    result = copyFileTo(targetPath);
    run(QStringLiteral("rollback"), {});
    if (result)
        result = checkCopy(targetPath);
    return result;
}

namespace {

    // A failed call of a VFS method on the file at path.
    Result vfsFailure(int code, int systemErrno, const QString& path, const char* what)
    {
        Result result;
        result.code = code;
        result.failure = kindOfCode(code, systemErrno, path);
        result.error = explainFailure(result.failure,
            QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromUtf8(sqlite3_errstr(code))));
        return result;
    }

    // A file opened through a VFS, closed when it goes.
    class VfsFile {
    public:
        explicit VfsFile(sqlite3_vfs* vfs)
            : m_vfs(vfs)
            , m_storage(new std::max_align_t[size_t(vfs->szOsFile) / sizeof(std::max_align_t) + 1]())
        {
        }
        ~VfsFile() { close(); }
        VfsFile(const VfsFile&) = delete;
        VfsFile& operator=(const VfsFile&) = delete;

        sqlite3_file* file() { return reinterpret_cast<sqlite3_file*>(m_storage.get()); }
        // A new file at path; fails when anything is already there.
        int create(const QString& path)
        {
            QByteArray full(m_vfs->mxPathname + 1, '\0');
            int rc = m_vfs->xFullPathname(
                m_vfs, QFile::encodeName(path).constData(), int(full.size()), full.data());
            if (rc != SQLITE_OK)
                return rc;
            m_name = full;
            const int flags
                = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE | SQLITE_OPEN_MAIN_DB;
            int outFlags = 0;
            rc = m_vfs->xOpen(m_vfs, m_name.constData(), file(), flags, &outFlags);
            m_open = rc == SQLITE_OK && file()->pMethods;
            return m_open || rc != SQLITE_OK ? rc : SQLITE_CANTOPEN;
        }
        int close()
        {
            if (!m_open)
                return SQLITE_OK;
            m_open = false;
            return file()->pMethods->xClose(file());
        }

    private:
        sqlite3_vfs* m_vfs;
        std::unique_ptr<std::max_align_t[]> m_storage;
        QByteArray m_name; // the VFS keeps the pointer to the name while the file is open
        bool m_open = false;
    };

} // namespace

Result FileEngine::copyFileTo(const QString& targetPath)
{
    // Read and written through the connection's own VFS, as SQLite writes the file: every write, the sync and
    // a full disk go the same way as the program's other writes.
    sqlite3_vfs* vfs = nullptr;
    sqlite3_file* source = nullptr;
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(m_db, "main", SQLITE_FCNTL_VFS_POINTER, &vfs) != SQLITE_OK || !vfs
        || sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &source) != SQLITE_OK || !source
        || !source->pMethods)
        return vfsFailure(SQLITE_MISUSE, 0, m_path, "vfs");
    if (const int rc = source->pMethods->xFileSize(source, &size); rc != SQLITE_OK)
        return vfsFailure(rc, errno, m_path, "size");
    VfsFile target(vfs);
    errno = 0;
    if (const int rc = target.create(targetPath); rc != SQLITE_OK)
        return vfsFailure(rc, errno, targetPath, "open");
    sqlite3_file* copy = target.file();
    // The Unix VFS reads and writes less than 128 KB a call.
    constexpr sqlite3_int64 kChunk = 64 * 1024;
    std::vector<char> buffer(static_cast<size_t>(kChunk));
    for (sqlite3_int64 offset = 0; offset < size; offset += kChunk) {
        const int n = int(std::min(kChunk, size - offset));
        errno = 0;
        if (const int rc = source->pMethods->xRead(source, buffer.data(), n, offset); rc != SQLITE_OK)
            return vfsFailure(rc, errno, m_path, "read");
        errno = 0;
        if (const int rc = copy->pMethods->xWrite(copy, buffer.data(), n, offset); rc != SQLITE_OK)
            return vfsFailure(rc, errno, targetPath, "write");
    }
    // On the disk before it can take the place of the day's copy.
    errno = 0;
    if (const int rc = copy->pMethods->xSync(copy, SQLITE_SYNC_FULL); rc != SQLITE_OK)
        return vfsFailure(rc, errno, targetPath, "sync");
    errno = 0;
    if (const int rc = target.close(); rc != SQLITE_OK)
        return vfsFailure(rc, errno, targetPath, "close");
    Result result;
    result.ok = true;
    return result;
}

Result FileEngine::checkCopy(const QString& path) const
{
    // The copy opens with the key as the program opens its file, and reading every page of it proves each
    // one decrypts and authenticates: a file damaged on disk never takes the place of a good copy (the page
    // copy finds that out by reading every page too).
    sqlite3_vfs* vfs = nullptr;
    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_VFS_POINTER, &vfs);
    Result result;
    FileEngine copy;
    if (!copy.open(path, &result.error, vfs ? vfs->zName : nullptr)) {
        result.failure = FailureKind::Damaged;
        return result;
    }
    const Result check = copy.run(QStringLiteral("pragma quick_check"), {});
    copy.close();
    if (!check)
        return check;
    const QString verdict = check.rows.value(0).values().value(0).toString();
    if (check.rows.size() != 1 || verdict != QStringLiteral("ok")) {
        result.failure = FailureKind::Damaged;
        result.error = explainFailure(result.failure, verdict);
        return result;
    }
    result.ok = true;
    return result;
}

Result FileEngine::copyPagesTo(const QString& targetPath)
{
    Result result;
    FileEngine target;
    QString error;
    if (!target.create(targetPath, &error)) {
        result.error = error;
        return result;
    }
    // The copy is written once, in one transaction: with a rollback journal and full sync it is all on disk
    // when the copy reports done, and closing it writes nothing more. A write-ahead log would leave the pages
    // in the log until the close, which reports no failure.
    const Result mode = target.run(QStringLiteral("pragma journal_mode = delete"), {});
    if (!mode)
        return mode;
    if (mode.rows.value(0).values().value(0).toString() != QStringLiteral("delete")) {
        result.error = QStringLiteral("备份文件无法改用回滚日志");
        return result;
    }
    sqlite3_backup* backup = sqlite3_backup_init(target.m_db, "main", m_db, "main");
    if (!backup) {
        setFailure(result, target.m_db, targetPath);
        return result;
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    // finish leaves a failed step's code and message on the target handle, whichever side it came from.
    const int finished = sqlite3_backup_finish(backup);
    if (finished != SQLITE_OK) {
        setFailure(result, target.m_db, targetPath);
        return result;
    }
    if (stepped != SQLITE_DONE) {
        result.code = stepped;
        result.failure = kindOfCode(stepped, 0, targetPath);
        result.error = explainFailure(result.failure, QString::fromUtf8(sqlite3_errstr(stepped)));
        return result;
    }
    result.ok = true;
    return result;
}

sqlite3* fileHandleOf(const Database& db)
{
    const auto* file = dynamic_cast<const FileEngine*>(db.engine());
    return file ? file->handle() : nullptr;
}

} // namespace qv
