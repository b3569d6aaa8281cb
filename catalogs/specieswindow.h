#pragma once
// SpeciesWindow, "动物种类维护": lists, adds and deletes the animal species of "动物种类".

#include "catalogs/namecatalogwindow.h"

namespace qv {

class SpeciesWindow : public NameCatalogWindow {
    Q_OBJECT
public:
    explicit SpeciesWindow(Services& services, QWidget* parent = nullptr);
};

} // namespace qv
