#include "catalogs/specieswindow.h"
#include "platform/units.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qv {

SpeciesWindow::SpeciesWindow(Services& services, QWidget* parent)
    : NameCatalogWindow(services, NameCatalog::Species, parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("动物种类维护"));
    setFixedSize(twipsSize(3435, 4020));

    List1->setGeometry(twipsRect(120, 120, 3195, 2760));
    Label1[0]->move(twipsRect(120, 3120, 0, 0).topLeft());
    Text3->setGeometry(twipsRect(1080, 3060, 1215, 330));
    Label1[1]->move(twipsRect(120, 3600, 0, 0).topLeft());
    Text5->setGeometry(twipsRect(1080, 3540, 1215, 330));
    Command2->setGeometry(twipsRect(2400, 3060, 915, 350));
    Command1->setGeometry(twipsRect(2400, 3540, 915, 350));
    fillList();
}

} // namespace qv
