#pragma once
// The main window: the multi-document frame whose menu opens every screen; closing it backs up and ends.

#include "platform/services.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;

namespace qv {

// How to make each child window. An empty factory leaves its menu entry disabled.
struct WindowFactories {
    std::function<QWidget*()> settings, drugCatalog, templates, species, diagnoses, desk, statistics, log;
    // Presets the templates window (made by `templates`) from the desk's "存为组套".
    std::function<void(QWidget*, const QString& category, const QString& body)> presetTemplates;
};

class MainWindow : public QMainWindow, public WindowOpener {
    Q_OBJECT
public:
    MainWindow(Services& services, WindowFactories factories, QWidget* parent = nullptr);

    void openSettings() override;
    void openDrugCatalog() override;
    void openTemplates(const QString& category = {}, const QString& body = {}, bool preset = false) override;
    void openSpecies() override;
    void openDiagnoses() override;
    void openDesk() override;
    void openStatistics() override;
    void openLog() override;
    void openAbout();
    // The window "数据存储": this computer's file or the practice's server.
    void openStorage();
    // The title: the program's name and, on the practice's server, which server and database; pending says
    // what waits for the next start.
    void showStoreInTitle(const QString& pending = {});
    // The window "备份与恢复".
    void openBackups();
    // "从旧版数据库导入…": a file dialog on the Windows program's backups, then the import into the store in
    // use. True when imported.
    bool importOldDatabase();
    // Shows the frame maximised; restoring it gives a normal size and place inside the screen's free area.
    void showAtStart();

    // The open child window of a kind ("desk", "log" …), or null.
    QWidget* childWindow(const QString& kind) const;
    QAction* menuAction(const QString& text) const;
    // Hides the windows, backs up the database into today's folder and ends the program.
    void exitWithBackup();

signals:
    void exitRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* open(const QString& kind, const std::function<QWidget*()>& factory);
    void placeDesk();
    // Keeps the minimum size inside the available area of the window's screen.
    void fitToScreen();
    QMargins frame();
    void buildMenu();
    QAction* addEntry(QMenu* menu, const QString& text, bool enabled, const std::function<void()>& action);
    // Around a restore: every other window closes (false when one refuses), then opens again on the restored
    // data.
    bool closeForRestore();
    void reopenAfterRestore();
    QStringList m_reopen;
    bool m_closedForRestore = false; // no window may open (the desk on a resize) until they open again

    Services& m_services;
    WindowFactories m_factories;
    QMdiArea* m_area = nullptr;
    QMap<QString, QPointer<QWidget>> m_children;
    bool m_exiting = false;
    QMargins m_frame; // the widest frame seen around the restored window, or the assumed one
};

} // namespace qv
