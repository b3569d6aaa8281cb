#include "settings/settingsstore.h"

#include "store/database.h"
#include "store/sharedwrites.h"

#include <algorithm>

namespace qv {

namespace {

    // The table holds one row; "the first row" is the one a plain select returns first.
    const QString kFirstRow = QStringLiteral("rowid = (select min(rowid) from \"设置\")");

    std::optional<QString> column(const Row& row, const QString& name)
    {
        if (row.isNull(name))
            return std::nullopt;
        return row.text(name);
    }

    void setError(QString* error, const QString& text)
    {
        if (error)
            *error = text;
    }

    QString noRowText() { return QStringLiteral("表“设置”中没有记录"); }

    // The first row of "设置" with the given columns; nullopt (and why) when it cannot be read or there is
    // none.
    std::optional<Row> firstRow(
        Database& db, const QString& columns, QString* error, bool* storeFailed = nullptr)
    {
        const Result r = db.run(QStringLiteral("select %1 from \"设置\" where ").arg(columns) + kFirstRow);
        if (storeFailed)
            *storeFailed = !r;
        if (!r || r.rows.isEmpty()) {
            setError(error, r ? noRowText() : r.error);
            return std::nullopt;
        }
        return r.rows.first();
    }

} // namespace

std::optional<StoredSettings> readStoredSettings(Database& db, QString* error, bool* storeFailed)
{
    const std::optional<Row> found = firstRow(db, QStringLiteral("*"), error, storeFailed);
    if (!found)
        return std::nullopt;
    const Row& row = *found;
    StoredSettings s;
    s.practiceName = column(row, QStringLiteral("单位名称"));
    s.veterinarian = column(row, QStringLiteral("执业兽医"));
    s.practisingNumber = column(row, QStringLiteral("注册号"));
    s.dispenser = column(row, QStringLiteral("发药人"));
    s.leftMargin = column(row, QStringLiteral("左边距"));
    s.topMargin = column(row, QStringLiteral("上边距"));
    s.slipPrinter = column(row, QStringLiteral("处方打印机"));
    s.defaultPrinter = column(row, QStringLiteral("默认打印机"));
    return s;
}

namespace {

    // One column a save writes: its name, the typed value, and what the window read there.
    struct Written {
        QString name;
        QString value;
        std::optional<QString> seen;
    };

    // Writes the columns into the first row in one transaction. With checkSeen, the row is read again
    // (locked until the write is done) and written only while those columns still hold what the window read.
    bool writeFirstRow(
        Database& db, const QList<Written>& columns, bool checkSeen, QString* error, bool* changedElsewhere)
    {
        if (changedElsewhere)
            *changedElsewhere = false;
        bool changed = false;
        QStringList assignments;
        QVariantList values;
        for (const Written& c : columns) {
            assignments << QStringLiteral("\"%1\" = ?").arg(c.name);
            values << c.value;
        }
        const Result r = db.transaction(
            [&]() -> Result {
                if (checkSeen) {
                    const Result now = db.run(
                        QStringLiteral("select * from \"设置\" where ") + kFirstRow + db.lockRowsClause());
                    if (!now)
                        return now;
                    if (!now.rows.isEmpty()) {
                        const Row& row = now.rows.first();
                        changed = std::any_of(columns.begin(), columns.end(),
                            [&](const Written& c) { return c.seen.value_or(QString()) != row.text(c.name); });
                        if (changed) {
                            Result refused;
                            refused.error
                                = QStringLiteral("设置在您打开这个窗口之后已经被另一台电脑修改并保存了。");
                            return refused;
                        }
                    }
                }
                return db.run(QStringLiteral("update \"设置\" set %1 where ")
                                  .arg(assignments.join(QStringLiteral(", ")))
                        + kFirstRow,
                    values);
            },
            [&](bool* stored) {
                QStringList names, texts;
                for (const Written& c : columns) {
                    names << c.name;
                    texts << c.value;
                }
                return rowHolds(db, QStringLiteral("设置"), names, kFirstRow, {}, texts, stored);
            });
        if (changedElsewhere)
            *changedElsewhere = changed;
        if (!r) {
            setError(error, r.error);
            return false;
        }
        if (r.changes != 1) {
            setError(error, noRowText());
            return false;
        }
        return true;
    }

    QList<Written> sharedColumns(const SettingsToSave& v, const StoredSettings& seen)
    {
        return { { QStringLiteral("单位名称"), v.practiceName, seen.practiceName },
            { QStringLiteral("左边距"), v.leftMargin, seen.leftMargin },
            { QStringLiteral("上边距"), v.topMargin, seen.topMargin } };
    }

} // namespace

bool writeSettings(
    Database& db, const SettingsToSave& v, QString* error, const StoredSettings* seen, bool* changedElsewhere)
{
    const StoredSettings read = seen ? *seen : StoredSettings();
    const QList<Written> columns { { QStringLiteral("单位名称"), v.practiceName, read.practiceName },
        { QStringLiteral("执业兽医"), v.veterinarian, read.veterinarian },
        { QStringLiteral("注册号"), v.practisingNumber, read.practisingNumber },
        { QStringLiteral("发药人"), v.dispenser, read.dispenser },
        { QStringLiteral("左边距"), v.leftMargin, read.leftMargin },
        { QStringLiteral("上边距"), v.topMargin, read.topMargin },
        { QStringLiteral("处方打印机"), v.slipPrinter, read.slipPrinter },
        { QStringLiteral("默认打印机"), v.defaultPrinter, read.defaultPrinter } };
    return writeFirstRow(db, columns, seen != nullptr, error, changedElsewhere);
}

bool writeSharedSettings(
    Database& db, const SettingsToSave& v, QString* error, const StoredSettings* seen, bool* changedElsewhere)
{
    return writeFirstRow(
        db, sharedColumns(v, seen ? *seen : StoredSettings()), seen != nullptr, error, changedElsewhere);
}

PasswordChange changeStoredPassword(
    Database& db, const QString& typedOld, const QString& typedNew, QString* error)
{
    const QString newPassword = typedNew.trimmed();
    if (newPassword.isEmpty())
        return PasswordChange::NewPasswordBlank;

    const std::optional<Row> stored = firstRow(db, QStringLiteral("\"密码\""), error);
    if (!stored)
        return PasswordChange::NotStored;
    // Exact comparison: unlike the login, letter case counts here.
    if (stored->text(QStringLiteral("密码")) != typedOld.trimmed())
        return PasswordChange::WrongOldPassword;

    const Result written
        = db.run(QStringLiteral("update \"设置\" set \"密码\" = ? where ") + kFirstRow, { newPassword });
    if (!written || written.changes != 1) {
        setError(error, written ? noRowText() : written.error);
        return PasswordChange::NotStored;
    }
    return PasswordChange::Changed;
}

} // namespace qv
