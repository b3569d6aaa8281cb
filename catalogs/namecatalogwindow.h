#pragma once
// What the diagnosis names window (DiagnosesWindow) and the animal species window (SpeciesWindow) share: a
// list of the stored names, a name field whose search code fills itself, "保  存" that adds the name (Enter
// in the name field does the same) and "删  除" that deletes the selected entry. The windows differ in layout
// and in DiagnosesWindow's search.

#include "catalogs/namecatalog.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qv {

struct Services;

class NameCatalogWindow : public QWidget {
    Q_OBJECT
public:
    // "保  存": adds the typed name unless it is empty; a name already stored is left as it is, silently.
    void saveName();
    // "删  除": deletes the selected entry's row; nothing selected, nothing deleted.
    void deleteSelected();
    // Refills the list with the rows matching the current search.
    void fillList();

    QListWidget* nameList;
    QLabel* nameCaption;
    QLabel* codeCaption;
    QLineEdit* nameBox; // the name
    QLineEdit* codeBox; // its search code
    QPushButton* saveButton;
    QPushButton* deleteButton;

protected:
    NameCatalogWindow(Services& services, NameCatalog catalog, QWidget* parent);

    // What the list is filtered by; empty lists every row.
    virtual QString searchText() const { return {}; }
    // Called before a save adds its row, so the list can show the whole catalog afterwards.
    virtual void clearSearch() { }

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Services& m_services;
    NameCatalog m_catalog;
    bool m_placed = false;
};

} // namespace qv
