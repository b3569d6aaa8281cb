#pragma once
// SettingsWindowHolder: the one holder of the settings window SettingsWindow for the whole run, and the
// settings readers that other windows use (services.settings points at it).
//
// Lifecycle of the window it holds:
// - not loaded: no SettingsWindow exists;
// - loaded and hidden: a reader asked for a value, so window() built a SettingsWindow (which reads the stored
//   values) and left it hidden, without a parent. One that could not read the store is built again at the
//   next read, since the store may be back;
// - shown: the main window put window() into a sub-window of its MDI area and showed it (SettingsWindow
//   places itself there by the child-window rule when first shown).
// Closing the window ("保  存", "取  消", a successful password change, the close box) unloads it: the
// SettingsWindow is deleted and the next read or opening loads the stored values again. Until then readers
// see the boxes as typed, saved or not; a window that read nothing from the store gives empty values.
//
// The program owns one SettingsWindowHolder for the run and sets services.settings to it; the main window's
// factory for the menu "综合设置(S)" returns window(), so the window it opens is the very one the readers
// read.

#include "platform/services.h"

#include <QObject>
#include <QPointer>

class QLineEdit;

namespace qv {

class SettingsWindow;

class SettingsWindowHolder final : public QObject, public SettingsReaders {
public:
    explicit SettingsWindowHolder(Services& services, QObject* parent = nullptr);
    ~SettingsWindowHolder() override;

    // The loaded settings window; loads it hidden (no parent) when it is not loaded.
    SettingsWindow* window();
    bool isLoaded() const { return !m_window.isNull(); }

    QString practiceName() override;
    QString veterinarian() override;
    QString practisingNumber() override;
    QString dispenser() override;
    QString leftMargin() override;
    QString topMargin() override;
    QString defaultPrinter() override;
    QString prescriptionPrinter() override;
    void reread() override;

private:
    QString boxText(QLineEdit* SettingsWindow::*box);

    Services& m_services;
    QPointer<SettingsWindow> m_window;
};

} // namespace qv
