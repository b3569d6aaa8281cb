#pragma once
// The seams between the program and the outside world. One Services object is made at start-up and handed to
// every window; tests fill it with fakes (tests/support).

#include <QDateTime>
#include <QString>
#include <QStringList>

class QWidget;

namespace qv {

class CatalogIndex;
class Database;
class PrinterAccess;
class SettingsReaders;
class WindowOpener;
struct AppContext;

// The wall clock: keys and default dates are taken from it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Modal message boxes, all titled "提示".
class Messages {
public:
    enum class Icon { None, Information, Warning, Question, Critical };
    enum class Answer { Yes, No, Cancel };
    virtual ~Messages() = default;
    virtual void inform(const QString& text, Icon icon = Icon::None) = 0;
    virtual bool askYesNo(const QString& text, Icon icon = Icon::Question) = 0;
    virtual bool askOkCancel(const QString& text, Icon icon = Icon::Question) = 0;
    // Yes, No and Cancel; closing the box (Escape) answers Cancel.
    virtual Answer askYesNoCancel(const QString& text, Icon icon = Icon::Question) = 0;
};

// The common file dialogs: save-as, open and choose a folder. Each returns an empty text when the user
// cancels.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString saveFileName(
        QWidget* parent, const QString& title, const QString& directory, const QString& filter)
        = 0;
    virtual QString openFileName(
        QWidget* parent, const QString& title, const QString& directory, const QString& filter)
        = 0;
    virtual QString existingFolder(QWidget* parent, const QString& title, const QString& directory) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;
};

// Shell "open" of a web address or a local page.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QString& address) = 0;
};

// Where "drive C:" and "drive D:" are on this machine, and the visible-entry test that chooses between them.
class DriveRoots {
public:
    virtual ~DriveRoots() = default;
    virtual QString driveC() const = 0;
    // Empty when there is no drive D:.
    virtual QString driveD() const = 0;
    // True when the root holds at least one entry that is neither hidden nor a system entry.
    virtual bool hasVisibleEntries(const QString& root) const = 0;
};

struct Services {
    Clock* clock = nullptr;
    Messages* messages = nullptr;
    FileDialogs* fileDialogs = nullptr;
    Clipboard* clipboard = nullptr;
    UrlOpener* urls = nullptr;
    DriveRoots* drives = nullptr;
    PrinterAccess* printers = nullptr;
    Database* db = nullptr;
    // The drug catalog in memory, one for the program, shared by the desk's picker and the catalog window.
    // A window given none keeps one of its own.
    CatalogIndex* catalog = nullptr;
    SettingsReaders* settings = nullptr;
    WindowOpener* windows = nullptr;
    AppContext* context = nullptr;
};

// The process-wide values of start-up.
struct AppContext {
    QString dataFolder; // .../Quorvela数据库
    QString databasePath; // dataFolder + "/数据库.dat"
    QString heldPassword; // 设置.密码 as read once at start-up
    QString installationTag; // appended to new archive keys
    // The practice's server (a libpq connection string) when the archive is kept there; empty: the file.
    QString serverConnection;
};

// What other windows read from the settings window: its text boxes, as typed (a value typed but not saved is
// what they see until the window is closed). A read while the window is not loaded loads it hidden.
class SettingsReaders {
public:
    virtual ~SettingsReaders() = default;
    virtual QString practiceName() = 0; // 单位名称: the prescription title
    virtual QString veterinarian() = 0; // 执业兽医
    virtual QString practisingNumber() = 0; // 注册号
    virtual QString dispenser() = 0; // 发药人
    virtual QString leftMargin() = 0; // 左边距: millimetres, as typed
    virtual QString topMargin() = 0; // 上边距: millimetres, as typed
    // The printers chosen for this computer; empty: the system's default printer.
    virtual QString defaultPrinter() = 0; // 默认打印机: the log book and reports
    virtual QString prescriptionPrinter() = 0; // 处方打印机: the desk
    // Another desk may have saved the settings since they were read: the next read reads the store again,
    // unless the settings window is open for editing.
    virtual void reread() { }
};

// Lets a window open another area's window without knowing its class (the main window implements it).
class WindowOpener {
public:
    virtual ~WindowOpener() = default;
    virtual void openSettings() = 0;
    virtual void openDrugCatalog() = 0;
    // category is "个人组套" or "中药方剂"; body is the prescription body to preset (empty: plain open).
    virtual void openTemplates(const QString& category = {}, const QString& body = {}, bool preset = false)
        = 0;
    virtual void openSpecies() = 0;
    virtual void openDiagnoses() = 0;
    virtual void openDesk() = 0;
    virtual void openStatistics() = 0;
    virtual void openLog() = 0;
};

// Child-window placement shared by every child of the main window, in the parent's pixels:
// left = (parent width - own width) / 2 - 150 twips, top = (parent height - own height) / 2 - 450 twips.
QPoint childWindowPosition(const QSize& parentSize, const QSize& ownSize);

} // namespace qv
