#include "reports/statisticswindow.h"

#include "platform/controls.h"
#include "platform/services.h"
#include "platform/units.h"
#include "platform/windowframe.h"
#include "reports/logdates.h"
#include "reports/logquery.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qv {

StatisticsWindow::StatisticsWindow(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("统计"));
    setFixedSize(twipsSize(4575, 2415));

    workloadFrame = placed(new QGroupBox(QStringLiteral("工作量统计"), this), QStringLiteral("Frame1"),
        twipsRect(120, 120, 4335, 1635));
    fromCaption = placed(new QLabel(QStringLiteral("日期"), workloadFrame), QStringLiteral("Label8"),
        twipsRect(120, 540, 420, 255));
    fromDate = placed(new QLineEdit(workloadFrame), QStringLiteral("Text3"), twipsRect(600, 480, 1515, 315));
    toCaption = placed(new QLabel(QStringLiteral("至"), workloadFrame), QStringLiteral("Label9"),
        twipsRect(2280, 540, 255, 255));
    toDate = placed(new QLineEdit(workloadFrame), QStringLiteral("Text4"), twipsRect(2640, 480, 1515, 315));
    // Opening the window, first time or again, puts the keyboard in the start date.
    setFocusProxy(fromDate);
    resultPanel
        = placed(new QFrame(workloadFrame), QStringLiteral("Picture1"), twipsRect(180, 1020, 3975, 375));
    resultPanel->setAutoFillBackground(true);
    QPalette grey = resultPanel->palette();
    grey.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
    resultPanel->setPalette(grey);
    resultLabel = placed(new QLabel(resultPanel), QStringLiteral("Label4"), twipsRect(60, 60, 3855, 255));
    resultLabel->setStyleSheet(QStringLiteral("color: blue;"));
    todayButton = placed(new QPushButton(QStringLiteral("今 日"), this), QStringLiteral("Command2"),
        twipsRect(2040, 1920, 1155, 375));
    countButton = placed(new QPushButton(QStringLiteral("统 计"), this), QStringLiteral("Command1"),
        twipsRect(3300, 1920, 1155, 375));

    const QDate today = m_services.clock->now().date();
    fromDate->setText(isoDate(oneMonthBefore(today)));
    toDate->setText(isoDate(today));

    connect(countButton, &QPushButton::clicked, this, &StatisticsWindow::runCount);
    connect(todayButton, &QPushButton::clicked, this, &StatisticsWindow::countToday);
}

void StatisticsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        placeAsChildWindow(this);
    }
}

void StatisticsWindow::runCount()
{
    const auto range = parseDateRange(fromDate->text(), toDate->text());
    if (!range) {
        m_services.messages->inform(dateFormatMessage(), Messages::Icon::Warning);
        return;
    }
    QString error;
    const int n = countPrescriptions(*m_services.db, *range, &error);
    if (n < 0) {
        m_services.messages->inform(QStringLiteral("统计失败！\n") + error, Messages::Icon::Warning);
        return;
    }
    resultLabel->setText(QStringLiteral("处方数：%1张").arg(n));
}

void StatisticsWindow::countToday()
{
    const QString today = isoDate(m_services.clock->now().date());
    toDate->setText(today);
    fromDate->setText(today);
    runCount();
}

} // namespace qv
