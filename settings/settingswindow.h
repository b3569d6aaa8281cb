#pragma once
// SettingsWindow, "综合设置": edits the one row of "设置" (practice name, veterinarian, practising number,
// dispenser, print margins, and the two printers) and changes the login password. On the practice's
// server the veterinarian's fields and the printers are this computer's own (settings/deskconfig.h).
//
// The window "loads" when it is constructed (values from the store, printer lists from services.printers) and
// "unloads" when it is closed: by "保  存", "取  消", a successful password change or its close box.
// Unloading emits unloaded() and deletes the window (or the MDI sub-window holding it), so the next reader
// loads the stored values afresh.

#include "settings/settingsstore.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

struct Services;

class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(Services& services, QWidget* parent = nullptr);

    // Frame "修改登录密码".
    QGroupBox* passwordFrame;
    QLabel* oldPasswordCaption; // "原密码"
    QLineEdit* oldPassword;
    QLabel* newPasswordCaption; // "新密码"
    QLineEdit* newPassword;
    QPushButton* changePasswordButton; // "修改密码"

    // Frame "综合设置".
    QGroupBox* settingsFrame;
    QLabel* practiceNameCaption; // "单位名称"
    QLineEdit* practiceName;
    QLabel* veterinarianCaption; // "执业兽医"
    QLineEdit* veterinarian;
    QLabel* practisingNumberCaption; // "注 册 号"
    QLineEdit* practisingNumber;
    QLabel* dispenserCaption; // "发 药 人"
    QLineEdit* dispenser;
    QLabel* leftMarginCaption; // "处方打印左边距"
    QLineEdit* leftMargin;
    QLabel* topMarginCaption; // "处方打印上边距"
    QLineEdit* topMargin;
    // The printers: "系统默认打印机" (the empty value), the installed printers, and a stored one that is not
    // installed. Each item's data is the value stored.
    QLabel* defaultPrinterCaption; // "默认打印机": the log book
    QComboBox* defaultPrinter;
    QLabel* prescriptionPrinterCaption; // "处方打印机": the desk
    QComboBox* prescriptionPrinter;
    QCheckBox* printAfterSave; // "保存后直接打印小票": hidden, read by nothing
    // On the practice's server: which values are this computer's own (settings/deskconfig.h).
    QLabel* serverNote;

    QPushButton* saveButton; // "保  存"
    QPushButton* cancelButton; // "取  消"

    // Fills the boxes from the store and the printer lists from the installed printers.
    void loadSettings();
    // The printers as chosen in the lists; empty: the system's default printer.
    QString defaultPrinterChoice() const;
    QString prescriptionPrinterChoice() const;
    // Why the stored values could not be read when the window loaded (the store did not answer); empty when
    // they were. Such a window shows no stored values and refuses to save over them.
    QString unreadReason() const { return m_unreadReason; }
    // Reads the values every desk shares (单位名称, 左边距, 上边距) again, unless they were typed into since
    // the last read; a store that does not answer leaves them as they were.
    void rereadSharedValues();
    // "保  存": writes the eight edited columns, then unloads. On the practice's server the veterinarian's
    // fields and the printers go to this computer's own file instead, and the row keeps the shared ones. A
    // refused write is reported and the window stays.
    void saveSettings();
    // "取  消": unloads without writing.
    void cancel();
    // "修改密码".
    void changePassword();
    // Closes the window (and its MDI sub-window), which deletes it.
    void unload();

signals:
    // The window is closing and will be deleted; whoever holds it must let go now.
    void unloaded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // The practice's server, where some values are this computer's own.
    bool onServer() const;
    void fillPrinterLists();
    // The lists anew from the printers installed now, keeping what is chosen in them.
    void refreshPrinterLists();
    // Another desk saved the shared row since this window read it: asks what to keep.
    void settleConflict(const QString& why);
    // 单位名称, 左边距, 上边距 as the boxes hold them: on the server, the values every desk shares.
    QStringList sharedTexts() const;

    Services& m_services;
    QString m_unreadReason;
    bool m_placed = false;
    std::optional<StoredSettings> m_loaded; // the row as the window read it, compared when it is saved
    QStringList m_sharedAsLoaded; // sharedTexts() after the last read
};

} // namespace qv
