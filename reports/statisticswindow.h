#pragma once
// StatisticsWindow: the workload statistics window ("统计"), counting the prescriptions issued in a date
// range.

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace qv {

struct Services;

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsWindow(Services& services, QWidget* parent = nullptr);

    // "统 计": counts the range in the date boxes.
    void runCount();
    // "今 日": both boxes to today, then the count.
    void countToday();

    QGroupBox* workloadFrame;
    QLabel* fromCaption;
    QLineEdit* fromDate;
    QLabel* toCaption;
    QLineEdit* toDate;
    QFrame* resultPanel;
    QLabel* resultLabel;
    QPushButton* todayButton;
    QPushButton* countButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Services& m_services;
    bool m_placed = false;
};

} // namespace qv
