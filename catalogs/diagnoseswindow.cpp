#include "catalogs/diagnoseswindow.h"
#include "platform/units.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qv {

DiagnosesWindow::DiagnosesWindow(Services& services, QWidget* parent)
    : NameCatalogWindow(services, NameCatalog::Diagnoses, parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("诊断名称维护"));
    setFixedSize(twipsSize(5910, 4440));

    searchCaption = new QLabel(QStringLiteral("查询："), this);
    searchCaption->setObjectName(QStringLiteral("Label5(1)"));
    searchCaption->move(twipsRect(120, 180, 0, 0).topLeft());
    searchCaption->adjustSize();
    searchBox = new QLineEdit(this);
    searchBox->setObjectName(QStringLiteral("Text1"));
    searchBox->setGeometry(twipsRect(720, 120, 5055, 315));

    nameList->setGeometry(twipsRect(120, 540, 5655, 2760));
    nameCaption->move(twipsRect(120, 3540, 0, 0).topLeft());
    nameBox->setGeometry(twipsRect(1080, 3480, 3195, 330));
    codeCaption->move(twipsRect(120, 4020, 0, 0).topLeft());
    codeBox->setGeometry(twipsRect(1080, 3960, 3195, 330));
    saveButton->setGeometry(twipsRect(4440, 3480, 1335, 350));
    deleteButton->setGeometry(twipsRect(4440, 3960, 1335, 350));
    setTabOrder(searchBox, nameList);
    // Opening the window, first time or again, puts the keyboard in the search field.
    setFocusProxy(searchBox);

    connect(searchBox, &QLineEdit::textChanged, this, &DiagnosesWindow::fillList);
    fillList();
}

QString DiagnosesWindow::searchText() const { return searchBox->text(); }

void DiagnosesWindow::clearSearch() { searchBox->clear(); }

} // namespace qv
