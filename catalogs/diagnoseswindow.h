#pragma once
// DiagnosesWindow, "诊断名称维护": lists, searches, adds and deletes the diagnosis names of 诊断.

#include "catalogs/namecatalogwindow.h"

namespace qv {

class DiagnosesWindow : public NameCatalogWindow {
    Q_OBJECT
public:
    explicit DiagnosesWindow(Services& services, QWidget* parent = nullptr);

    QLabel* Label5[2] = {}; // only Label5(1), "查询：", exists
    QLineEdit* Text1; // search by part of a name or its initials

protected:
    QString searchText() const override;
    void clearSearch() override;
};

} // namespace qv
