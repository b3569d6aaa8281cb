#pragma once
// Reading and writing the one row of table "设置" without any window: the values the settings window edits,
// and the login password change.

#include <QString>

#include <optional>

namespace qv {

class Database;

// The columns the settings window edits. A column that is null in the store is nullopt, so the window can
// keep its design text for it.
struct StoredSettings {
    std::optional<QString> practiceName; // 单位名称
    std::optional<QString> veterinarian; // 执业兽医
    std::optional<QString> practisingNumber; // 注册号
    std::optional<QString> dispenser; // 发药人
    std::optional<QString> leftMargin; // 左边距
    std::optional<QString> topMargin; // 上边距
    std::optional<QString> slipPrinter; // 处方打印机
    std::optional<QString> defaultPrinter; // 默认打印机
};

// The first row of "设置"; nullopt when the store cannot be read or holds no row (error says why;
// storeFailed tells the first from the second).
std::optional<StoredSettings> readStoredSettings(
    Database& db, QString* error = nullptr, bool* storeFailed = nullptr);

// The values a save writes, as typed (nothing is validated).
struct SettingsToSave {
    QString practiceName, veterinarian, practisingNumber, dispenser, leftMargin, topMargin, slipPrinter,
        defaultPrinter;
};

// Writes exactly the eight edited columns of the first row; 密码, 自动打印, 左边距1, 上边距1 and the spare
// columns stay as they are. False (with the reason in error) when the store refuses or there is no row to
// write.
// With seen (the row as the window read it), the row is written only while its eight columns still hold
// what was read: when another desk saved other values meanwhile, nothing is written, changedElsewhere is set
// and error says so.
bool writeSettings(Database& db, const SettingsToSave& values, QString* error,
    const StoredSettings* seen = nullptr, bool* changedElsewhere = nullptr);

// On the practice's server: writes only what every desk shares (单位名称, 左边距, 上边距); the rest belongs
// to each desk (settings/deskconfig.h). seen and changedElsewhere as for writeSettings, over those three.
bool writeSharedSettings(Database& db, const SettingsToSave& values, QString* error,
    const StoredSettings* seen = nullptr, bool* changedElsewhere = nullptr);

enum class PasswordChange {
    Changed,
    NewPasswordBlank, // the new password is empty or blanks only
    WrongOldPassword, // the typed old password is not the stored one (exact, case-sensitive)
    NotStored, // the store could not be read or refused the write
};

// Replaces the stored login password when typedOld (trimmed) equals the stored one exactly. The new password
// is stored trimmed. The login keeps the password it read at start-up, so the change counts from the next
// start.
PasswordChange changeStoredPassword(
    Database& db, const QString& typedOld, const QString& typedNew, QString* error);

} // namespace qv
