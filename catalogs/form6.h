#pragma once
// Form6, "动物种类维护": lists, adds and deletes the animal species of 动物种类.

#include "catalogs/namecatalogwindow.h"

namespace qv {

class Form6 : public NameCatalogWindow {
    Q_OBJECT
public:
    explicit Form6(Services& services, QWidget* parent = nullptr);
};

} // namespace qv
