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

bool writeSettings(Database& db, const SettingsToSave& v, QString* error)
{
    const Result r = db.run(
        QStringLiteral(
            "update \"设置\" set \"单位名称\" = ?, \"执业兽医\" = ?, \"注册号\" = ?, \"发药人\" = ?, "
            "\"左边距\" = ?, \"上边距\" = ?, \"处方打印机\" = ?, \"默认打印机\" = ? where ")
            + kFirstRow,
        { v.practiceName, v.veterinarian, v.practisingNumber, v.dispenser, v.leftMargin, v.topMargin,
            v.slipPrinter, v.defaultPrinter });
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

bool writeSharedSettings(Database& db, const SettingsToSave& v, QString* error)
{
    const Result r
        = db.run(QStringLiteral("update \"设置\" set \"单位名称\" = ?, \"左边距\" = ?, \"上边距\" = ? where ")
                + kFirstRow,
            { v.practiceName, v.leftMargin, v.topMargin });
    if (!r || r.changes != 1) {
        setError(error, r ? noRowText() : r.error);
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
