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

    Frame1 = placed(new QGroupBox(QStringLiteral("工作量统计"), this), QStringLiteral("Frame1"),
        twipsRect(120, 120, 4335, 1635));
    Label8 = placed(
        new QLabel(QStringLiteral("日期"), Frame1), QStringLiteral("Label8"), twipsRect(120, 540, 420, 255));
    Text3 = placed(new QLineEdit(Frame1), QStringLiteral("Text3"), twipsRect(600, 480, 1515, 315));
    Label9 = placed(
        new QLabel(QStringLiteral("至"), Frame1), QStringLiteral("Label9"), twipsRect(2280, 540, 255, 255));
    Text4 = placed(new QLineEdit(Frame1), QStringLiteral("Text4"), twipsRect(2640, 480, 1515, 315));
    // Opening the window, first time or again, puts the keyboard in the start date.
    setFocusProxy(Text3);
    Picture1 = placed(new QFrame(Frame1), QStringLiteral("Picture1"), twipsRect(180, 1020, 3975, 375));
    Picture1->setAutoFillBackground(true);
    QPalette grey = Picture1->palette();
    grey.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
    Picture1->setPalette(grey);
    Label4 = placed(new QLabel(Picture1), QStringLiteral("Label4"), twipsRect(60, 60, 3855, 255));
    Label4->setStyleSheet(QStringLiteral("color: blue;"));
    Command2 = placed(new QPushButton(QStringLiteral("今 日"), this), QStringLiteral("Command2"),
        twipsRect(2040, 1920, 1155, 375));
    Command1 = placed(new QPushButton(QStringLiteral("统 计"), this), QStringLiteral("Command1"),
        twipsRect(3300, 1920, 1155, 375));

    const QDate today = m_services.clock->now().date();
    Text3->setText(isoDate(oneMonthBefore(today)));
    Text4->setText(isoDate(today));

    connect(Command1, &QPushButton::clicked, this, &StatisticsWindow::runCount);
    connect(Command2, &QPushButton::clicked, this, &StatisticsWindow::countToday);
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
    const auto range = parseDateRange(Text3->text(), Text4->text());
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
    Label4->setText(QStringLiteral("处方数：%1张").arg(n));
}

void StatisticsWindow::countToday()
{
    const QString today = isoDate(m_services.clock->now().date());
    Text4->setText(today);
    Text3->setText(today);
    runCount();
}

} // namespace qv
