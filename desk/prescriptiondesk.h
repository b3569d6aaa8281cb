#pragma once
// PrescriptionDesk: the prescription desk ("销售管理"), where a prescription is written on a paper laid out
// like the print, with the drug picker and the archive browser on its left.

#include "desk/pickerqueries.h"
#include "desk/prescriptionrecord.h"
#include "platform/services.h"

#include <QWidget>
#include <array>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class ArchiveList;
class CatalogIndex;
class ClickLabel;
class FieldEdit;
class LineControl;
struct PrescriptionPaper;

class PrescriptionDesk final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kToolbarButtonCount = 11;
    static constexpr int kQuickInsertCount = 16; // indexes 0 to 15; there is no member 13

    explicit PrescriptionDesk(Services& services, QWidget* parent = nullptr);
    ~PrescriptionDesk() override;

    // Drug picker.
    void switchCategory(int category); // a category button was clicked
    void runSearch(); // the search text changed
    void addChosenRow(); // double-click or Enter on the result list
    void quickInsert(int index); // a quick-insert label was clicked

    // Completion pickers of the header fields.
    void pickSpecies();
    void pickDiagnosis();

    // Toolbar button i was released: the index, not the screen position, selects the action.
    void runToolbarAction(int index);
    // Fills the archive list from the owner filter and the date range.
    void runArchiveQuery();

    // The toolbar's actions (deskrecords.cpp).
    void newPrescription();
    void continuePrescription();
    // Stores the prescription shown; a refused save is shown to the user and changes nothing on screen.
    bool savePrescription();
    bool printShownPrescription();
    void copyBody();
    void pasteBody();
    void saveBodyAsTemplate();
    // The prescription on screen, as it is stored and as it is printed.
    PrescriptionRecord currentRecord() const;
    PrescriptionPaper currentPaper() const;

    // The archive browser (deskrecords.cpp).
    void showTodaysArchive();
    void stepArchiveDay(int days);
    // Loads the stored prescription of an archive line into the window; false when it could not be read.
    bool loadArchiveLine(int line);
    // A right click released in the archive list (in its viewport's pixels): loads the line there, then
    // offers the delete panel beside the mouse.
    void rightClickArchiveLine(const QPoint& inViewport);
    // Shows the delete panel beside the mouse (in the list's pixels).
    void openDeletePanel(const QPoint& mouse);
    void deleteShownRecord();

    // Unsaved work: the fields or the body differ from what was last loaded, begun or saved.
    bool hasUnsavedWork() const;
    // Before the prescription on screen is left: asks whether to save changed work first. False when the
    // user cancels or the save is refused (then the window keeps everything).
    bool settleUnsavedWork();

    int currentCategory() const { return m_currentCategory; }
    bool pickerSuppressed() const { return m_pickerSuppressed; }
    int currentDiagnosisField() const { return m_currentDiagnosisField; }
    QString recordKey() const;
    // The body as stored and exchanged: lines end in CR LF.
    QString bodyText() const;
    void setBodyText(const QString& storedText);

signals:
    // The toolbar's web pages; the main window opens them.
    void helpPageRequested();
    void videoPageRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Building the window (desklayout.cpp; the shortcuts in desktoolbar.cpp).
    void buildToolbar();
    void buildShortcuts();
    void buildPicker();
    void buildArchivePanel();
    void buildPaper();
    void buildFieldBox(int index);
    void buildQuickInsertBar();
    void setEntryTabOrder();
    void load();
    void layoutFieldBoxes();
    void centreTitle();
    QString settingsValue(QString (SettingsReaders::*reader)());

    // Header fields and completion (deskfields.cpp).
    void connectHeaderField(int index);
    void headerFieldFocused(int index);
    void headerFieldLeft();
    void headerFieldChanged(int index);
    void sexFieldClicked();
    bool headerFieldKey(int index, int key);
    QListWidget* fillCompletionList(int field, const QString& typed);
    void openCompletionList(int field, const QString& typed);
    void showCompletionList(QListWidget* list);
    void hideCompletionLists();
    void pickCompletion(QListWidget* list, int field);

    // Picker and body (deskpicker.cpp).
    void fillResultList(const PickerQuery& query);
    void markCategoryButton(int category);
    bool searchBoxKey(int key);
    void insertTemplate(qint64 rowId, int category);
    void insertAtCaret(const QString& text);
    void appendAtEnd(const QString& text);
    int bodyCaretColumn() const;
    int bodyCaretColumnAtEnd() const;
    void finishAdding();

    // The record, the toolbar and the archive browser (deskrecords.cpp).
    void connectRecordControls();
    bool archiveEvent(QObject* watched, QEvent* event);
    void highlightPanelEntry(int index);
    void showRecord(const PrescriptionRecord& record);
    bool loadStoredPrescription(const QString& key);
    void showEmptyPrescription(const QString& key);
    void markSettled();

    Services& m_services;
    std::unique_ptr<CatalogIndex> m_ownCatalog; // only when the program shares none
    CatalogIndex* m_catalog = nullptr; // null without a database
    int m_currentCategory = Western;
    bool m_pickerSuppressed = true;
    int m_currentDiagnosisField = 0;
    RecordKeys m_keys;
    PrescriptionRecord m_settled; // the prescription as last loaded, begun or saved
    QStringList m_seen; // its stored row as this desk loaded or saved it; empty while it was never stored
    QStringList m_unconfirmed; // what a save sent whose outcome is unknown; empty otherwise

public:
    // Controls, named by role. Each carries the design's name as its objectName, which tests and tools find
    // it by (an array member as "Text5(3)").
    // The toolbar; its arrays are indexed by action (runToolbarAction), not by screen order.
    QFrame* toolbar = nullptr;
    std::array<QFrame*, kToolbarButtonCount> toolbarButtons {};
    std::array<QLabel*, kToolbarButtonCount> toolbarIcons {};
    std::array<QLabel*, kToolbarButtonCount> toolbarCaptions {};
    std::array<ClickLabel*, kToolbarButtonCount> toolbarClickAreas {};

    std::array<QLabel*, 3> leftCaptions {}; // the date range, the search box, the owner filter
    QLineEdit* searchBox = nullptr;
    std::array<QPushButton*, kDrugCategoryCount> categoryButtons {};
    QListWidget* resultList = nullptr;

    QLineEdit* ownerFilter = nullptr;
    QPushButton* archiveQueryButton = nullptr;
    QLineEdit* fromDate = nullptr;
    QPushButton* todayButton = nullptr;
    QLabel* toDateCaption = nullptr;
    QLineEdit* toDate = nullptr;
    QPushButton* previousDayButton = nullptr;
    QPushButton* nextDayButton = nullptr;
    ArchiveList* archiveList = nullptr;
    QFrame* deletePanel = nullptr;
    std::array<ClickLabel*, 2> deletePanelEntries {}; // delete, cancel

    QWidget* paper = nullptr;
    std::array<QLabel*, 3> paperCaptions {}; // the title (the practice name), "诊断：", "Rp："
    QLabel* recordKeyLabel = nullptr; // hidden; holds the key of the prescription shown
    std::array<QWidget*, 13> fieldBoxes {};
    std::array<QLabel*, 13> fieldCaptions {};
    std::array<FieldEdit*, 13> fieldEdits {};
    std::array<LineControl*, 13> fieldUnderlines {};
    std::array<LineControl*, 7> paperRules {}; // by index of paperLines()
    std::array<LineControl*, 3>
        diagnosisUnderlines {}; // the dotted guides; fieldUnderlines 10 to 12 stay hidden
    QPlainTextEdit* body = nullptr;
    QListWidget* diagnosisList = nullptr;
    QListWidget* speciesList = nullptr;

    QFrame* quickInsertBar = nullptr;
    std::array<ClickLabel*, kQuickInsertCount> quickInsertLabels {}; // member 13 stays null
};

} // namespace qv
