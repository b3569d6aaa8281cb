#pragma once
// Qt's own texts (standard buttons, file dialogs, the context menus of text fields) in simplified Chinese.

#include <QString>

class QCoreApplication;

namespace qv {

// Where Qt's translation files are installed (Debian: /usr/share/qt6/translations).
QString qtTranslationsFolder();

// Loads Qt's Chinese translation qtbase_zh_CN from folder and installs it on app. Without the file the
// program runs with Qt's English texts and says nothing; returns whether it loaded.
bool installQtChinese(QCoreApplication& app, const QString& folder = qtTranslationsFolder());

} // namespace qv
