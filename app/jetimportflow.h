#pragma once
// "从旧版数据库导入…": the Windows program's database imported into the store in use (this computer's file
// or the practice's server), only while that holds no archive yet, with a progress bar and "取消", the other
// windows closed around it and opened again on the imported data.

#include "platform/services.h"

#include <functional>

namespace qv {

struct ImportWindowHooks {
    std::function<bool()> beforeImport; // closes the other windows; false when one refuses
    std::function<void()> afterImport; // opens them again
};

// Where the file dialog opens: the Windows program's backups folder when there is one, else the home folder.
QString oldDatabaseFolder(Services& services);

// Asks, imports the Jet file at path and says how it went. True when the import is proven and committed.
bool importOldDatabase(
    Services& services, const QString& path, QWidget* parent, const ImportWindowHooks& hooks);

} // namespace qv
