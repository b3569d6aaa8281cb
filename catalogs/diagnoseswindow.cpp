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

    Label5[1] = new QLabel(QStringLiteral("查询："), this);
    Label5[1]->setObjectName(QStringLiteral("Label5(1)"));
    Label5[1]->move(twipsRect(120, 180, 0, 0).topLeft());
    Label5[1]->adjustSize();
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(720, 120, 5055, 315));

    List1->setGeometry(twipsRect(120, 540, 5655, 2760));
    Label1[0]->move(twipsRect(120, 3540, 0, 0).topLeft());
    Text3->setGeometry(twipsRect(1080, 3480, 3195, 330));
    Label1[1]->move(twipsRect(120, 4020, 0, 0).topLeft());
    Text5->setGeometry(twipsRect(1080, 3960, 3195, 330));
    Command2->setGeometry(twipsRect(4440, 3480, 1335, 350));
    Command1->setGeometry(twipsRect(4440, 3960, 1335, 350));
    setTabOrder(Text1, List1);
    // Opening the window, first time or again, puts the keyboard in the search field.
    setFocusProxy(Text1);

    connect(Text1, &QLineEdit::textChanged, this, &DiagnosesWindow::fillList);
    fillList();
}

QString DiagnosesWindow::searchText() const { return Text1->text(); }

void DiagnosesWindow::clearSearch() { Text1->clear(); }

} // namespace qv
