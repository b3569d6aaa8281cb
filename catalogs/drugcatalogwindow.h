#pragma once
// DrugCatalogWindow, the drug catalog window ("药物名称维护"): lists the drugs and usage lines of "商品" by
// category, finds them by part of the name or of the search code, and adds, edits and deletes them.

#include "catalogs/drugrows.h"
#include "catalogs/labelgrid.h"
#include "platform/services.h"

#include <QMap>
#include <QWidget>
#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qv {

class DrugCatalogWindow : public QWidget {
    Q_OBJECT
public:
    explicit DrugCatalogWindow(Services& services, QWidget* parent = nullptr);
    ~DrugCatalogWindow() override;

    // The handlers, callable by tests as the controls call them.
    void search(); // lists the current category's rows that match the search text
    void searchTextChanged(); // the search text changed: search, then a fresh new entry
    void categoryChanged(int option);
    void addEntry(); // "添  加": empty fields, fresh key
    void selectRow(int row); // a click on visible row j of the grid
    void nameEdited(); // the name changed: tidy it, recompute the code
    void quickWord(int element); // a click on the quick word of that element
    void saveRecord(); // "保  存"
    void deleteRecord(); // "删  除"

    QString currentKey() const;
    QString currentCategory() const;
    int selectedRow() const { return m_selectedRow; }
    LabelGrid* grid() const { return m_grid; }

    QGroupBox* entryPanel = nullptr;
    QLineEdit* searchBox = nullptr;
    QLineEdit* nameBox = nullptr;
    QLineEdit* usageBox = nullptr;
    QLineEdit* codeBox = nullptr;
    QComboBox* categoryBox = nullptr;
    QPushButton* searchButton = nullptr; // hidden: runs the search
    QPushButton* addButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QLabel* keyLabel = nullptr; // hidden: the key of the entry in the panel
    QLabel* categoryLabel = nullptr; // the current category, covered by the grid
    QLabel* entryHelp = nullptr;
    QRadioButton* categoryOptions[4] = {};
    QFrame* quickWordPanel = nullptr;
    QMap<int, QLabel*> quickWords;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEntryPanel();
    void buildSearchBar();
    void buildQuickWords();
    void takeNewKey();
    // Shows the stored row of key in the entry panel (a new entry when there is none).
    void showStoredDrug(const QString& key);
    void resetScroll();
    // Another desk changed the catalog: the grid is listed again where the user is looking.
    void showOtherDesksChanges();

    Services& m_services;
    LabelGrid* m_grid = nullptr;
    std::unique_ptr<CatalogIndex> m_ownCatalog; // only when the program shares none
    CatalogIndex* m_catalog = nullptr;
    int m_listedVersion = -1; // the catalog's version the grid lists
    std::shared_ptr<DrugRows> m_rows = std::make_shared<DrugRows>();
    int m_selectedRow = 0;
    bool m_entryFresh = true; // the panel holds a new entry (its key was taken for it)
    QStringList m_entrySeen; // the stored row the panel shows, as it was shown
    QLineEdit* m_quickWordTarget = nullptr;
};

// The grid of the drug catalog: 14 rows showing name, usage and search code.
LabelGridLayout drugCatalogGridLayout();

// The nine lines of the entry format help.
QString drugEntryHelpText();

} // namespace qv
