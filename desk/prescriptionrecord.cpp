#include "desk/prescriptionrecord.h"

#include <QRegularExpression>
#include <QStringList>

namespace qv {

namespace {

    const QString kKeyColumn = QStringLiteral("序号");
    const QString kBodyColumn = QStringLiteral("T1");

    QString fieldColumn(int index) { return QStringLiteral("\"%1\"").arg(index); }

    // The values of the thirteen field columns and T1, in column order, with the date in its stored form.
    QVariantList writtenValues(const PrescriptionRecord& record, const QDate& date)
    {
        QVariantList values;
        for (int i = 0; i < kFieldCount; ++i)
            values << (i == kDateField ? isoDate(date) : record.fields[i]);
        values << record.body;
        return values;
    }

    // The columns a save writes besides the key, and a desk compares.
    QStringList writtenColumns()
    {
        QStringList columns;
        for (int i = 0; i < kFieldCount; ++i)
            columns << QString::number(i);
        columns << kBodyColumn;
        return columns;
    }

    QStringList textsOf(const QVariantList& values)
    {
        QStringList texts;
        for (const QVariant& v : values)
            texts << v.toString();
        return texts;
    }

    QString quotedList(const QStringList& columns, const QString& suffix = {})
    {
        QStringList quoted;
        for (const QString& c : columns)
            quoted << QStringLiteral("\"%1\"").arg(c) + suffix;
        return quoted.join(QStringLiteral(", "));
    }

    // Counts the rows that carry key: 0 or 1, as 序号 is unique.
    Result countRowsOfKey(Database& db, const QString& key)
    {
        return db.run(QStringLiteral("select count(*) as n from \"档案\" where \"序号\" = ?"), { key });
    }

    bool holdsRows(const Result& count)
    {
        return count && count.rows.value(0).value(QStringLiteral("n")).toInt() > 0;
    }

} // namespace

QString storedDateText(const QString& stored)
{
    // The program stores "yyyy-mm-dd"; only other texts need reading (the archive list shows thousands).
    if (stored.size() == 10 && stored.at(4) == u'-' && stored.at(7) == u'-')
        return stored;
    // Rows from elsewhere may carry a time after the day ("2016-01-03 00:00:00").
    if (const auto day = parseTypedDate(stored.trimmed().section(QLatin1Char(' '), 0, 0)))
        return isoDate(*day);
    return stored;
}

Result saveRecord(Database& db, const PrescriptionRecord& record)
{
    const std::optional<QDate> date = parseTypedDate(record.fields[kDateField]);
    if (!date)
        return refused(QStringLiteral("开具日期“%1”不是正确的日期，日期格式为“2016-01-03”。")
                           .arg(record.fields[kDateField]));
    if (record.key.isEmpty())
        return refused(QStringLiteral("处方没有档案序号。"));

    QStringList columns;
    for (int i = 0; i < kFieldCount; ++i)
        columns << fieldColumn(i);
    columns << QStringLiteral("\"%1\"").arg(kBodyColumn);
    QVariantList values = writtenValues(record, *date);
    values << record.key;

    return db.transaction([&]() -> Result {
        const Result found = countRowsOfKey(db, record.key);
        if (!found)
            return found;
        if (holdsRows(found)) {
            QStringList assignments;
            for (const QString& column : columns)
                assignments << column + QStringLiteral(" = ?");
            return db.run(
                QStringLiteral("update \"档案\" set %1 where \"序号\" = ?").arg(assignments.join(", ")),
                values);
        }
        QStringList marks;
        for (int i = 0; i < values.size(); ++i)
            marks << QStringLiteral("?");
        return db.run(QStringLiteral("insert into \"档案\" (%1, \"序号\") values (%2)")
                          .arg(columns.join(", "), marks.join(", ")),
            values);
    });
}

DeskSave saveRecordFromDesk(Database& db, const PrescriptionRecord& record)
{
    DeskSave save;
    save.key = record.key;
    const std::optional<QDate> date = parseTypedDate(record.fields[kDateField]);
    if (!date) {
        save.result = refused(QStringLiteral("开具日期“%1”不是正确的日期，日期格式为“2016-01-03”。")
                                  .arg(record.fields[kDateField]));
        return save;
    }
    if (record.key.isEmpty()) {
        save.result = refused(QStringLiteral("处方没有档案序号。"));
        return save;
    }
    const QStringList columns = writtenColumns();
    const QVariantList values = writtenValues(record, *date);
    const auto insert = [&]() -> Result {
        QString key;
        const Result claimed = claimFreeKey(db, QStringLiteral("档案"), kKeyColumn, record.key, &key);
        if (!claimed)
            return claimed;
        QStringList marks;
        for (int i = 0; i <= values.size(); ++i)
            marks << QStringLiteral("?");
        save.key = key;
        return db.run(QStringLiteral("insert into \"档案\" (%1, \"序号\") values (%2)")
                          .arg(quotedList(columns), marks.join(QStringLiteral(", "))),
            QVariantList(values) << key);
    };
    save.result = db.transaction(
        [&]() -> Result {
            if (record.seen.isEmpty() && record.unconfirmed.isEmpty())
                return insert();
            std::optional<QStringList> now;
            const Result read = readForChange(
                db, QStringLiteral("档案"), columns, QStringLiteral("\"序号\" = ?"), { record.key }, &now);
            if (!read)
                return read;
            // A first save whose outcome was unknown did not store it after all.
            if (!now && record.seen.isEmpty())
                return insert();
            // One whose outcome was unknown did store it.
            const bool sentEarlier = now && !record.unconfirmed.isEmpty() && *now == record.unconfirmed;
            save.conflict = sentEarlier ? RowConflict::None : conflictOf(record.seen, now);
            if (save.conflict != RowConflict::None)
                return conflictRefusal(save.conflict, QStringLiteral("这张处方"));
            return db.run(QStringLiteral("update \"档案\" set %1 where \"序号\" = ?")
                              .arg(quotedList(columns, QStringLiteral(" = ?"))),
                QVariantList(values) << record.key);
        },
        [&](bool* stored) {
            // A lost answer to the commit: saved when the key (the claimed one for a new prescription) holds
            // exactly what was written, so that saving again neither doubles nor refuses it.
            return rowHolds(db, QStringLiteral("档案"), columns, QStringLiteral("\"序号\" = ?"), { save.key },
                textsOf(values), stored);
        });
    if (save.result) {
        save.seen = textsOf(values);
    } else if (save.result.outcomeUnknown) {
        save.seen = record.seen;
        save.unconfirmed = textsOf(values);
    } else if (save.conflict == RowConflict::None) {
        save.key = record.key;
    }
    return save;
}

QString conflictQuestion(RowConflict conflict)
{
    if (conflict == RowConflict::Deleted)
        return QStringLiteral("处方没有保存！这张处方已经被另一台电脑删除了。\n\n"
                              "要把屏幕上的这张处方另存为一张新处方吗？\n"
                              "选“否”则不保存，处方留在屏幕上。");
    return QStringLiteral("处方没有保存！这张处方在您打开之后已经被另一台电脑修改并保存了。\n\n"
                          "“是”：载入另一台电脑保存的处方（屏幕上的修改不保存）；\n"
                          "“否”：把屏幕上的这张处方另存为一张新处方；\n"
                          "“取消”：暂不保存，处方留在屏幕上。");
}

QString notSavedMessage(const QString& reason) { return QStringLiteral("处方没有保存！\n%1").arg(reason); }

std::optional<PrescriptionRecord> loadRecord(Database& db, const QString& key, QString* error)
{
    const Result result = db.run(QStringLiteral("select * from \"档案\" where \"序号\" = ?"), { key });
    if (error)
        *error = result ? QStringLiteral("没有找到这张处方。") : result.error;
    if (!result || result.rows.isEmpty())
        return std::nullopt;
    const Row& row = result.rows.first();
    PrescriptionRecord record;
    for (int i = 0; i < kFieldCount; ++i)
        record.fields[i] = row.text(QString::number(i));
    record.fields[kDateField] = storedDateText(record.fields[kDateField]);
    record.body = row.text(kBodyColumn);
    record.key = row.text(kKeyColumn);
    for (const QString& column : writtenColumns())
        record.seen << row.text(column);
    if (error)
        error->clear();
    return record;
}

Result deleteRecord(Database& db, const QString& key)
{
    return db.transaction(
        [&] { return db.run(QStringLiteral("delete from \"档案\" where \"序号\" = ?"), { key }); });
}

QString keyTime(const QDateTime& time) { return time.toString(QStringLiteral("yyyyMMddHHmmss")); }

RecordKeys::RecordKeys(Database* db, QString installationTag)
    : m_db(db)
    , m_tag(std::move(installationTag))
{
}

QString RecordKeys::next(QDateTime time, const QString& suffix)
{
    QString key = keyTime(time) + suffix;
    while (isTaken(key)) {
        time = time.addSecs(1);
        key = keyTime(time) + suffix;
    }
    m_handedOut.insert(key);
    return key;
}

bool RecordKeys::isTaken(const QString& key)
{
    if (m_handedOut.contains(key))
        return true;
    // A store that cannot answer is not asked again here: the save reports its own failure.
    return m_db && holdsRows(countRowsOfKey(*m_db, key));
}

} // namespace qv
