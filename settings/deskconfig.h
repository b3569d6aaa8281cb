#pragma once
// What belongs to one computer: its printers, on either store, and, when several share the practice's
// server, the veterinarian, practising number and dispenser its new prescriptions are filled with. They are
// kept in a file of this computer's user (desk.conf in the user's configuration folder, readable by that
// user only), never in the shared database. A printer the file does not hold is the system's default; any
// other value the file does not hold comes from the shared row of "设置".

#include <QString>

#include <optional>

namespace qv {

struct DeskValues {
    std::optional<QString> veterinarian; // 执业兽医
    std::optional<QString> practisingNumber; // 注册号
    std::optional<QString> dispenser; // 发药人
    std::optional<QString> slipPrinter; // 处方打印机
    std::optional<QString> defaultPrinter; // 默认打印机
};

// The file of this computer's user: desk.conf in the configuration folder.
QString deskConfigPath();

// The values the file holds; a missing file holds none. Lines it does not know are passed over.
DeskValues readDeskValues(const QString& path);

// Writes all five values, replacing the file whole (a failed write leaves the old one), readable and
// writable by its owner only. False with the reason in error.
bool writeDeskValues(const QString& path, const DeskValues& values, QString* error);

} // namespace qv
