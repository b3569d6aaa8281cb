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

    nameList->setGeometry(twipsRect(120, 120, 3195, 2760));
    nameCaption->move(twipsRect(120, 3120, 0, 0).topLeft());
    nameBox->setGeometry(twipsRect(1080, 3060, 1215, 330));
    codeCaption->move(twipsRect(120, 3600, 0, 0).topLeft());
    codeBox->setGeometry(twipsRect(1080, 3540, 1215, 330));
    saveButton->setGeometry(twipsRect(2400, 3060, 915, 350));
    deleteButton->setGeometry(twipsRect(2400, 3540, 915, 350));
    fillList();
}

} // namespace qv
