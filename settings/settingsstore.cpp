#include "settings/settingsstore.h"

#include "store/database.h"

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

    // The first row of [设置] with the given columns; nullopt (and why) when it cannot be read or there is
    // none.
    std::optional<Row> firstRow(Database& db, const QString& columns, QString* error)
    {
        const Result r = db.run(QStringLiteral("select %1 from \"设置\" where ").arg(columns) + kFirstRow);
        if (!r || r.rows.isEmpty()) {
            setError(error, r ? noRowText() : r.error);
            return std::nullopt;
        }
        return r.rows.first();
    }

} // namespace

std::optional<StoredSettings> readStoredSettings(Database& db, QString* error)
{
    const std::optional<Row> found = firstRow(db, QStringLiteral("*"), error);
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

bool writeSettings(
    Database& db, const SettingsToSave& v, QString* error, const StoredSettings* seen, bool* changedElsewhere)
{
    if (changedElsewhere)
        *changedElsewhere = false;
    bool changed = false;
    const Result r = db.transaction([&]() -> Result {
        if (seen) {
            // Read again, locked until the write is done, and compared with what the window read.
            const Result now
                = db.run(QStringLiteral("select * from \"设置\" where ") + kFirstRow + db.lockRowsClause());
            if (!now)
                return now;
            if (!now.rows.isEmpty()) {
                const Row& row = now.rows.first();
                const auto same = [&](const std::optional<QString>& was, const QString& name) {
                    return was.value_or(QString()) == row.text(name);
                };
                changed = !(same(seen->practiceName, QStringLiteral("单位名称"))
                    && same(seen->veterinarian, QStringLiteral("执业兽医"))
                    && same(seen->practisingNumber, QStringLiteral("注册号"))
                    && same(seen->dispenser, QStringLiteral("发药人"))
                    && same(seen->leftMargin, QStringLiteral("左边距"))
                    && same(seen->topMargin, QStringLiteral("上边距"))
                    && same(seen->slipPrinter, QStringLiteral("处方打印机"))
                    && same(seen->defaultPrinter, QStringLiteral("默认打印机")));
                if (changed) {
                    Result refused;
                    refused.error = QStringLiteral("设置在您打开这个窗口之后已经被另一台电脑修改并保存了。");
                    return refused;
                }
            }
        }
        return db.run(
            QStringLiteral(
                "update \"设置\" set \"单位名称\" = ?, \"执业兽医\" = ?, \"注册号\" = ?, \"发药人\" = ?, "
                "\"左边距\" = ?, \"上边距\" = ?, \"处方打印机\" = ?, \"默认打印机\" = ? where ")
                + kFirstRow,
            { v.practiceName, v.veterinarian, v.practisingNumber, v.dispenser, v.leftMargin, v.topMargin,
                v.slipPrinter, v.defaultPrinter });
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
