#pragma once
// OutpatientLogWindow: the outpatient log window ("日志报表"): the prescriptions of a date range in a label
// grid, with the export to an .xls file and the printed log book.

#include "reports/loggrid.h"

#include <QWidget>

#include <memory>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

struct Services;

class OutpatientLogWindow : public QWidget {
    Q_OBJECT
public:
    // Opens with the last month queried and the log margins loaded.
    explicit OutpatientLogWindow(Services& services, QWidget* parent = nullptr);

    // "查  询": the range of the date boxes into the grid.
    void runQuery();
    // "导出Excel": the range of the date boxes into an .xls file chosen in a save dialog.
    void exportLog();
    // "打  印": the range of the date boxes as the printed log book on the 默认打印机 of the settings (the
    // system's default printer unless one is chosen), as the job "门诊日志 <from>–<to>". What did not reach
    // the printer is said, with the offer of a PDF file (print/printoutcome.h).
    void printLog();
    // Writes the margin boxes into the settings row (done when the window closes). False when refused.
    bool storeMargins();

    // The records the grid shows, in order.
    const LogRecords& records() const { return m_records->records(); }

    LabelGrid* grid;

    QGroupBox* dateFrame;
    QLineEdit* fromDate;
    QLineEdit* toDate;
    QGroupBox* marginFrame;
    QLineEdit* leftMargin;
    QLineEdit* topMargin;
    QPushButton* queryButton;
    QPushButton* printButton;
    QPushButton* exportButton;
    QLabel* recordCount; // the count of the last query or export
    QLineEdit* exportPath; // hidden: the file the last export chose

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadMargins();
    void showRecords(LogRecords records);

    Services& m_services;
    std::shared_ptr<const LogGridRecords> m_records = std::make_shared<const LogGridRecords>(LogRecords());
    bool m_placed = false;
};

} // namespace qv
