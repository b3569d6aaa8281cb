#include "store/jet/jetfile.h"
#include "store/jet/jetstream.h"
#include "store/jet/jetvalues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <bit>
#include <vector>

#include <mdbtools.h>

namespace qv {

QString jetTypeName(JetType type)
{
    switch (type) {
    case JetType::Text:
        return QStringLiteral("文本");
    case JetType::Memo:
        return QStringLiteral("备注");
    case JetType::DateTime:
        return QStringLiteral("日期/时间");
    case JetType::Currency:
        return QStringLiteral("货币");
    case JetType::Integer:
        return QStringLiteral("整数");
    case JetType::Real:
        return QStringLiteral("小数");
    case JetType::Boolean:
        return QStringLiteral("是/否");
    case JetType::Binary:
        return QStringLiteral("二进制");
    case JetType::Other:
        break;
    }
    return QStringLiteral("其他");
}

int JetTable::columnIndex(const QString& name) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

namespace {

    // Row offsets on a data page carry two flags in their top bits.
    constexpr int kOffsetMask = 0x1fff;
    // The head of a memo or OLE value in its row: length and flags, then where its long-value pages start.
    constexpr int kLongValueHead = MDB_MEMO_OVERHEAD;
    constexpr quint32 kInline = 0x80000000, kOnePage = 0x40000000, kLengthMask = 0x3fffffff;

    JetType typeOf(int jetType)
    {
        switch (jetType) {
        case MDB_TEXT:
            return JetType::Text;
        case MDB_MEMO:
            return JetType::Memo;
        case MDB_DATETIME:
            return JetType::DateTime;
        case MDB_MONEY:
            return JetType::Currency;
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return JetType::Integer;
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC:
            return JetType::Real;
        case MDB_BOOL:
            return JetType::Boolean;
        case MDB_BINARY:
        case MDB_OLE:
            return JetType::Binary;
        default:
            return JetType::Other;
        }
    }

    QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

    QString damaged(const QString& path, const QString& detail)
    {
        return QStringLiteral("“%1”已损坏或不完整，无法读取（%2）。").arg(shown(path), detail);
    }

    template <typename T> T little(const void* at) { return qFromLittleEndian<T>(at); }

} // namespace

struct JetFile::Private {
    MdbHandle* mdb = nullptr;
    QString path;
    JetFormat format = JetFormat::None;
    qint64 pages = 0;
    QList<JetTable> tables;
    QList<MdbCatalogEntry*> entries; // beside tables

    bool wide() const { return format != JetFormat::Jet3; }

    bool text(const unsigned char* at, int size, QString* out)
    {
        if (wide())
            return jet4Text(QByteArrayView(at, size), out);
        // Jet 3 keeps texts in the code page of its header: libmdb's conversion knows it.
        std::vector<char> utf8(size_t(size) * 4 + 16);
        const int length = mdb_unicode2ascii(
            mdb, reinterpret_cast<const char*>(at), size_t(size), utf8.data(), utf8.size());
        *out = QString::fromUtf8(utf8.data(), length);
        return true;
    }

    // A memo's or OLE value's bytes: in the row itself, or on one or several long-value pages.
    bool longValue(MdbColumn* column, const MdbField& field, std::vector<char>& chunk, QByteArray* out)
    {
        out->clear();
        if (field.siz == 0)
            return true;
        if (field.siz < kLongValueHead)
            return false;
        unsigned char head[kLongValueHead];
        memcpy(head, field.value, kLongValueHead);
        const quint32 word = little<quint32>(head);
        const qint64 length = word & kLengthMask;
        if (word & kInline) {
            out->append(static_cast<const char*>(field.value) + kLongValueHead, field.siz - kLongValueHead);
            return out->size() == length;
        }
        column->bind_ptr = chunk.data();
        column->cur_value_start = field.start;
        column->cur_value_len = field.siz;
        size_t got = mdb_ole_read(mdb, column, head, chunk.size());
        out->append(chunk.data(), qsizetype(got));
        // Page after page, never past the length the value declares (a damaged chain may loop).
        if (!(word & kOnePage))
            while (out->size() < length && (got = mdb_ole_read_next(mdb, column, head)) > 0)
                out->append(chunk.data(), qsizetype(got));
        column->bind_ptr = nullptr;
        return out->size() == length;
    }
};

JetFile::JetFile()
    : d(std::make_unique<Private>())
{
}

JetFile::~JetFile() { close(); }

void JetFile::close()
{
    if (d->mdb)
        mdb_close(d->mdb);
    d->mdb = nullptr;
    d->format = JetFormat::None;
    d->pages = 0;
    d->tables.clear();
    d->entries.clear();
}

bool JetFile::isOpen() const { return d->mdb != nullptr; }
QString JetFile::path() const { return d->path; }
JetFormat JetFile::format() const { return d->format; }
const QList<JetTable>& JetFile::tables() const { return d->tables; }

const JetTable* JetFile::table(const QString& name) const
{
    for (const JetTable& t : d->tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

bool JetFile::open(const QString& path, QString* error)
{
    close();
    d->path = path;
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = QStringLiteral("“%1”是一个文件夹，不是数据库文件。").arg(shown(path));
        return false;
    }
    if (!info.exists()) {
        *error = QStringLiteral("找不到文件“%1”。").arg(shown(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.error() == QFileDevice::PermissionsError
            ? QStringLiteral("无法读取“%1”：没有读取这个文件的权限。").arg(shown(path))
            : QStringLiteral("无法读取“%1”：%2。").arg(shown(path), file.errorString());
        return false;
    }
    const QByteArray head = file.read(kJetHeaderBytes);
    const qint64 size = file.size();
    file.close();
    const JetFormat format = jetFormatOf(head);
    if (format == JetFormat::None) {
        *error = QStringLiteral("“%1”不是 Access 数据库文件，不是旧版程序的数据库。").arg(shown(path));
        return false;
    }
    // libmdb takes a page that lies past the end for the end of the table: a cut file must be refused here.
    const qint64 pageSize = format == JetFormat::Jet3 ? 2048 : 4096;
    if (size % pageSize != 0 || size < 3 * pageSize) {
        *error = damaged(path,
            QStringLiteral("文件长 %1 字节，不是完整的 %2 字节的页，文件不完整").arg(size).arg(pageSize));
        return false;
    }
    d->pages = size / pageSize;

    // An absolute path: libmdb looks for a relative one it cannot find along $MDBPATH as well.
    d->mdb = mdb_open(QFile::encodeName(info.absoluteFilePath()).constData(), MDB_NOFLAGS);
    if (!d->mdb) {
        *error = damaged(path, QStringLiteral("文件头无法识别"));
        return false;
    }
    d->format = format;
    QString why;
    FILE* stream = openJetStream(path, &why);
    if (!stream) {
        close();
        *error = QStringLiteral("无法读取“%1”：%2。").arg(shown(path), why);
        return false;
    }
    fclose(d->mdb->f->stream);
    d->mdb->f->stream = stream;
    // libmdb reads the catalog (MSysObjects) up to the first page it cannot read and stops there without a
    // word: the objects it found must be as many as the catalog's definition counts.
    MdbCatalogEntry* catalog
        = mdb_read_catalog(d->mdb, MDB_ANY) ? mdb_get_catalogentry_by_name(d->mdb, "MSysObjects") : nullptr;
    MdbTableDef* catalogDef = catalog ? mdb_read_table(catalog) : nullptr;
    const bool wholeCatalog = catalogDef && catalogDef->num_rows == d->mdb->num_catalog;
    if (catalogDef)
        mdb_free_tabledef(catalogDef);
    if (!wholeCatalog) {
        close();
        *error = damaged(path, QStringLiteral("表目录无法读取"));
        return false;
    }
    for (unsigned i = 0; i < d->mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d->mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
            continue;
        JetTable table;
        table.name = QString::fromUtf8(entry->object_name);
        MdbTableDef* def
            = entry->table_pg > 0 && qint64(entry->table_pg) < d->pages ? mdb_read_table(entry) : nullptr;
        if (!def || !mdb_read_columns(def)) {
            if (def)
                mdb_free_tabledef(def);
            close();
            *error = damaged(path, QStringLiteral("表“%1”的定义无法读取").arg(table.name));
            return false;
        }
        table.rows = def->num_rows;
        for (unsigned c = 0; c < def->num_cols; ++c) {
            const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            JetColumn out;
            out.name = QString::fromUtf8(column->name);
            out.type = typeOf(column->col_type);
            out.size = out.type == JetType::Text && d->wide() ? column->col_size / 2 : column->col_size;
            table.columns << out;
        }
        mdb_free_tabledef(def);
        d->tables << table;
        d->entries << entry;
    }
    return true;
}

bool JetFile::forEachRow(const QString& name, const RowVisitor& visit, QString* error)
{
    const JetTable* table = this->table(name);
    if (!d->mdb || !table) {
        *error = QStringLiteral("“%1”里没有“%2”表。").arg(shown(d->path), name);
        return false;
    }
    MdbHandle* mdb = d->mdb;
    MdbTableDef* def = mdb_read_table(d->entries[int(table - d->tables.constData())]);
    if (!def || !mdb_read_columns(def) || def->num_cols != unsigned(table->columns.size())) {
        if (def)
            mdb_free_tabledef(def);
        *error = damaged(d->path, QStringLiteral("表“%1”的定义无法读取").arg(table->name));
        return false;
    }
    const int count = int(def->num_cols);
    const int pageSize = int(mdb->fmt->pg_size);
    std::vector<MdbField> fields(size_t(count) + 1);
    std::vector<char> chunk(static_cast<size_t>(pageSize));
    QVariantList values(count);
    QByteArray bytes;
    QString text;
    qint64 rows = 0;
    bool stopped = false;
    QString failure;
    mdb_rewind_table(def);
    // mdb_fetch_row finds the next live row on the current page (its bound columns would give a null and an
    // empty text alike, so none is bound); the row is then cracked again for its null flags and raw bytes.
    while (failure.isEmpty() && mdb_fetch_row(def)) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, int(def->cur_row) - 1, &start, &size) != 0
            || mdb_crack_row(def, start & kOffsetMask, size, fields.data()) < 0) {
            failure = QStringLiteral("表“%1”第 %2 行无法读取").arg(table->name).arg(rows + 1);
            break;
        }
        for (int i = 0; i < count && failure.isEmpty(); ++i) {
            const MdbField& field = fields[size_t(i)];
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, field.colnum));
            QVariant& value = values[field.colnum];
            const auto* at = static_cast<const unsigned char*>(field.value);
            if (column->col_type == MDB_BOOL) {
                // A yes/no value lives in the null flag itself.
                value = qlonglong(field.is_null ? 0 : 1);
                continue;
            }
            if (field.is_null) {
                value = QVariant();
                continue;
            }
            if (field.siz < 0 || field.start < 0 || field.start + field.siz > pageSize
                || (field.siz > 0 && !at)) {
                failure = QStringLiteral("表“%1”第 %2 行的“%3”列已损坏")
                              .arg(table->name)
                              .arg(rows + 1)
                              .arg(table->columns[field.colnum].name);
                break;
            }
            const int fixed = column->is_fixed ? column->col_size : -1;
            bool ok = fixed < 0 || field.siz == fixed;
            switch (column->col_type) {
            case MDB_TEXT:
                ok = ok && d->text(at, field.siz, &text);
                value = text;
                break;
            case MDB_MEMO:
                ok = ok && d->longValue(column, field, chunk, &bytes)
                    && d->text(
                        reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()), &text);
                value = text;
                break;
            case MDB_OLE:
                ok = ok && d->longValue(column, field, chunk, &bytes);
                value = bytes;
                break;
            case MDB_DATETIME:
                ok = ok && field.siz == 8;
                value = ok ? jetDateText(std::bit_cast<double>(little<quint64>(at))) : QString();
                break;
            case MDB_MONEY:
                ok = ok && field.siz == 8;
                value = ok ? jetAmountText(little<qint64>(at)) : QString();
                break;
            case MDB_BYTE:
                value = qlonglong(at[0]);
                break;
            case MDB_INT:
                value = qlonglong(little<qint16>(at));
                break;
            case MDB_LONGINT:
            case MDB_COMPLEX:
                value = qlonglong(little<qint32>(at));
                break;
            case MDB_FLOAT:
                value = double(std::bit_cast<float>(little<quint32>(at)));
                break;
            case MDB_DOUBLE:
                value = std::bit_cast<double>(little<quint64>(at));
                break;
            case MDB_NUMERIC:
            case MDB_REPID: {
                char* shownValue = column->col_type == MDB_NUMERIC
                    ? mdb_numeric_to_string(mdb, field.start, column->col_scale, column->col_prec)
                    : mdb_uuid_to_string(mdb->pg_buf, field.start);
                value = QString::fromUtf8(shownValue);
                g_free(shownValue);
                break;
            }
            default:
                value = QByteArray(reinterpret_cast<const char*>(at), field.siz);
                break;
            }
            if (!ok)
                failure = QStringLiteral("表“%1”第 %2 行的“%3”列已损坏")
                              .arg(table->name)
                              .arg(rows + 1)
                              .arg(table->columns[field.colnum].name);
        }
        if (!failure.isEmpty())
            break;
        ++rows;
        if (!visit(values)) {
            stopped = true;
            break;
        }
    }
    const qint64 declared = def->num_rows;
    mdb_free_tabledef(def);
    if (failure.isEmpty() && !stopped && rows != declared)
        failure = QStringLiteral("表“%1”应有 %2 行，读出 %3 行").arg(table->name).arg(declared).arg(rows);
    if (!failure.isEmpty()) {
        *error = damaged(d->path, failure);
        return false;
    }
    return true;
}

} // namespace qv
