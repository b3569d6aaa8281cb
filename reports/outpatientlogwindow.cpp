#include "reports/outpatientlogwindow.h"

#include "platform/controls.h"
#include "platform/services.h"
#include "platform/units.h"
#include "platform/windowframe.h"
#include "print/printeraccess.h"
#include "print/printoutcome.h"
#include "print/printsystem.h"
#include "reports/biff8.h"
#include "reports/busycursor.h"
#include "reports/logexport.h"
#include "reports/logprint.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

namespace qv {

namespace {

    QLabel* caption(const QString& text, QWidget* parent, double left, double top)
    {
        auto* label = new QLabel(text, parent);
        label->move(twipsRect(left, top, 0, 0).topLeft());
        label->adjustSize();
        return label;
    }

    LogRow exportRow(const LogRecord& record)
    {
        LogRow row;
        for (int i = 0; i < LogRecord::kFieldCount; ++i)
            row.texts[i] = record.field(i);
        return row;
    }

} // namespace

OutpatientLogWindow::OutpatientLogWindow(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("日志报表"));
    setFixedSize(twipsSize(11760, 7680));

    grid = new LabelGrid(logGridLayout(), this);
    grid->setObjectName(QStringLiteral("Pt1"));

    dateFrame = placed(new QGroupBox(this), QStringLiteral("Frame1"), twipsRect(4500, 6840, 3315, 675));
    caption(QStringLiteral("日期"), dateFrame, 120, 300);
    fromDate = placed(new QLineEdit(dateFrame), QStringLiteral("Text3"), twipsRect(600, 240, 1095, 315));
    caption(QStringLiteral("至"), dateFrame, 1800, 300);
    toDate = placed(new QLineEdit(dateFrame), QStringLiteral("Text4"), twipsRect(2100, 240, 1095, 315));
    // Opening the window, first time or again, puts the keyboard in the start date.
    setFocusProxy(fromDate);

    marginFrame = placed(new QGroupBox(this), QStringLiteral("Frame2"), twipsRect(1380, 6840, 3015, 675));
    caption(QStringLiteral("打印边距(mm)：左"), marginFrame, 120, 300);
    leftMargin = placed(new QLineEdit(QStringLiteral("10"), marginFrame), QStringLiteral("Text1"),
        twipsRect(1680, 240, 435, 315));
    caption(QStringLiteral("上"), marginFrame, 2160, 300);
    topMargin = placed(new QLineEdit(QStringLiteral("10"), marginFrame), QStringLiteral("Text5"),
        twipsRect(2400, 240, 435, 315));

    queryButton = placed(new QPushButton(QStringLiteral("查  询"), this), QStringLiteral("Command1"),
        twipsRect(7920, 7020, 1215, 375));
    printButton = placed(new QPushButton(QStringLiteral("打  印"), this), QStringLiteral("Command3"),
        twipsRect(9180, 7020, 1215, 375));
    exportButton = placed(new QPushButton(QStringLiteral("导出Excel"), this), QStringLiteral("Command2"),
        twipsRect(10440, 7020, 1215, 375));
    recordCount = placed(new QLabel(this), QStringLiteral("Label1"), twipsRect(60, 7140, 1260, 180));
    recordCount->setStyleSheet(QStringLiteral("color: blue;"));
    exportPath = placed(new QLineEdit(this), QStringLiteral("Text6"), QRect());
    exportPath->hide();

    connect(queryButton, &QPushButton::clicked, this, &OutpatientLogWindow::runQuery);
    connect(exportButton, &QPushButton::clicked, this, &OutpatientLogWindow::exportLog);
    connect(printButton, &QPushButton::clicked, this, &OutpatientLogWindow::printLog);

    const QDate today = m_services.clock->now().date();
    fromDate->setText(isoDate(oneMonthBefore(today)));
    toDate->setText(isoDate(today));
    runQuery();
    loadMargins();
}

void OutpatientLogWindow::runQuery()
{
    QString failure;
    Messages::Icon icon = Messages::Icon::Warning;
    {
        BusyCursor busy;
        showRecords({});
        const auto range = parseDateRange(fromDate->text(), toDate->text());
        LogQueryResult result = range ? queryLog(*m_services.db, *range, kLogViewLimit) : LogQueryResult();
        if (!range) {
            failure = dateFormatMessage();
        } else if (!result.ok) {
            failure = QStringLiteral("查询失败！\n") + result.error;
        } else if (result.overLimit) {
            failure = QStringLiteral("数据太多，请缩短查询时间范围！");
            icon = Messages::Icon::None;
        } else {
            recordCount->setText(QStringLiteral("记录数：%1").arg(result.records.size()));
            showRecords(std::move(result.records));
        }
    }
    if (!failure.isEmpty())
        m_services.messages->inform(failure, icon);
}

void OutpatientLogWindow::showRecords(LogRecords records)
{
    grid->clear();
    m_records = std::make_shared<const LogGridRecords>(std::move(records));
    grid->showResult(m_records);
}

void OutpatientLogWindow::exportLog()
{
    const QString chosen
        = m_services.fileDialogs
              ->saveFileName(this, QStringLiteral("另存为"), QString(), QStringLiteral("Excel文件 (*.xls)"))
              .trimmed();
    if (chosen.isEmpty())
        return; // cancelled: nothing is written
    exportPath->setText(withXlsSuffix(chosen));

    const auto range = parseDateRange(fromDate->text(), toDate->text());
    if (!range) {
        m_services.messages->inform(dateFormatMessage(), Messages::Icon::Warning);
        return;
    }
    // A sheet holds 65,536 rows, two of them the title and the headings. Counting first (the date index
    // alone) refuses ten years at once instead of after reading and laying out every row. A refused count
    // goes on to the query, which says why.
    const int count = countPrescriptions(*m_services.db, *range);
    if (count > kLogExportLimit) {
        recordCount->setText(QStringLiteral("计录数：%1").arg(count));
        m_services.messages->inform(
            QStringLiteral("记录数 %1 超过 .xls 工作表的上限 %2 条，无法导出！\n请缩短查询时间范围。")
                .arg(count)
                .arg(kLogExportLimit),
            Messages::Icon::Warning);
        return;
    }
    QString failure;
    bool written = false;
    {
        BusyCursor busy;
        const LogQueryResult result = queryLog(*m_services.db, *range);
        if (!result.ok) {
            failure = QStringLiteral("查询失败！\n") + result.error;
        } else {
            recordCount->setText(QStringLiteral("计录数：%1").arg(result.records.size()));
            if (!result.records.empty()) {
                std::vector<LogRow> rows;
                rows.reserve(result.records.size());
                for (const LogRecord& record : result.records)
                    rows.push_back(exportRow(record));
                QString error;
                written = writeXls(logWorkbook(rows), exportPath->text(), &error);
                if (!written)
                    failure = QStringLiteral("文件导出失败！\n") + error;
            }
        }
    }
    if (!failure.isEmpty())
        m_services.messages->inform(failure, Messages::Icon::Warning);
    else if (written)
        m_services.messages->inform(QStringLiteral("文件导出成功！"));
}

void OutpatientLogWindow::printLog()
{
    const auto range = parseDateRange(fromDate->text(), toDate->text());
    if (!range) {
        m_services.messages->inform(dateFormatMessage(), Messages::Icon::Warning);
        return;
    }
    LogQueryResult result;
    {
        BusyCursor busy;
        result = queryLog(*m_services.db, *range);
    }
    if (!result.ok) {
        m_services.messages->inform(QStringLiteral("查询失败！\n") + result.error, Messages::Icon::Warning);
        return;
    }
    if (result.records.empty())
        return;
    const double left = leadingNumber(leftMargin->text());
    const double top = leadingNumber(topMargin->text());
    const PrintRequest request { QStringLiteral("门诊日志"),
        m_services.settings ? m_services.settings->defaultPrinter() : QString(),
        logBookJobName(fromDate->text(), toDate->text()) };
    // Each job gets a surface of its own, so the landscape page does not stay on the printer.
    printDocument(
        m_services, request,
        [&](PrintSurface& surface) {
            // A year is thousands of pages: the window shows how far the book is instead of standing still.
            QProgressDialog shown(QStringLiteral("正在打印门诊日志……"), QString(), 0, 1, this);
            shown.setWindowTitle(QStringLiteral("提示"));
            shown.setWindowModality(Qt::WindowModal);
            shown.setMinimumDuration(500);
            return printLogBook(surface, result.records, left, top, [&](int page, int pages) {
                shown.setMaximum(pages);
                shown.setValue(page);
            });
        },
        this);
}

void OutpatientLogWindow::loadMargins()
{
    const LogMarginTexts stored = loadLogMargins(*m_services.db);
    if (!stored.left.isEmpty())
        leftMargin->setText(stored.left);
    if (!stored.top.isEmpty())
        topMargin->setText(stored.top);
}

bool OutpatientLogWindow::storeMargins()
{
    const Result r = storeLogMargins(*m_services.db, leftMargin->text(), topMargin->text());
    if (!r)
        m_services.messages->inform(
            QStringLiteral("打印边距未能保存！\n") + r.error, Messages::Icon::Warning);
    return r.ok;
}

void OutpatientLogWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        placeAsChildWindow(this);
    }
}

void OutpatientLogWindow::closeEvent(QCloseEvent* event)
{
    storeMargins();
    QWidget::closeEvent(event);
}

} // namespace qv
