#pragma once
// DiagnosesWindow, "诊断名称维护": lists, searches, adds and deletes the diagnosis names of "诊断".

#include "catalogs/namecatalogwindow.h"

namespace qv {

class DiagnosesWindow : public NameCatalogWindow {
    Q_OBJECT
public:
    explicit DiagnosesWindow(Services& services, QWidget* parent = nullptr);

    QLabel* searchCaption; // "查询："
    QLineEdit* searchBox; // search by part of a name or its initials

protected:
    QString searchText() const override;
    void clearSearch() override;
};

} // namespace qv
