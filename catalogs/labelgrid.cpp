#include "catalogs/labelgrid.h"

#include "platform/units.h"

#include <QCoreApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QStaticText>
#include <QWheelEvent>

namespace qv {

namespace {

    constexpr int kBackgroundLeft = -60;
    constexpr int kBackgroundWidth = 14175; // wider than the panel, so a row background fills the whole row
    constexpr int kFirstBackgroundTop = 240;
    constexpr int kCellTop = 300;
    constexpr int kCellHeight = 195;
    constexpr int kFirstRowLine = 540;
    constexpr int kLeftBorderLine = -15;

} // namespace

const QColor LabelGrid::kEvenRow(249, 248, 245);
const QColor LabelGrid::kOddRow(255, 255, 255);
const QColor LabelGrid::kSelected(0, 255, 255);
const QColor LabelGrid::kLineColour(224, 224, 224);

void ColumnLists::append(const QStringList& record)
{
    for (int i = 0; i < m_lists.size(); ++i)
        m_lists[i].append(i < record.size() ? record[i] : QString());
}

QString ColumnLists::text(int record, int column) const
{
    if (column < 0 || column >= m_lists.size() || record < 0 || record >= m_lists[column].size())
        return {};
    return m_lists[column][record];
}

// The inner panel: paints the row backgrounds (back), the cells, then the lines (front); the header buttons
// are child widgets in front of all of it. Clicks on a row are reported with the row number.
class LabelGridBody final : public QWidget {
public:
    explicit LabelGridBody(LabelGrid* grid)
        : QWidget(grid)
        , m_grid(grid)
    {
        setObjectName(QStringLiteral("Pt2"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const LabelGridLayout& layout = m_grid->m_layout;
        const int rows = layout.rows;
        p.fillRect(rect(), LabelGrid::kLineColour);
        // Each row lies in front of the one below it, so row 0 covers the top of row 1.
        for (int j = rows - 1; j >= 0; --j) {
            p.fillRect(twipsRect(kBackgroundLeft, LabelGrid::backgroundTop(j), kBackgroundWidth,
                           LabelGrid::kRowPitch),
                m_grid->m_colours[j]);
        }
        const int lineHeight = fontMetrics().height();
        for (int j = 0; j < rows; ++j) {
            const int middle = twips(kCellTop + LabelGrid::kRowPitch * j + kCellHeight / 2.0);
            const QStringList& texts = m_grid->m_cells[j];
            for (int i = 0; i < layout.cells.size(); ++i) {
                if (texts[i].isEmpty())
                    continue;
                const GridCell& cell = layout.cells[i];
                // One line, cut at the cell's width.
                const QRect box(twips(cell.left), middle - lineHeight / 2, twips(cell.width), lineHeight);
                const QStaticText& text = laidOut(texts[i]);
                const qreal room = box.width() - text.size().width();
                const qreal x = box.left()
                    + (cell.alignment & Qt::AlignRight          ? room
                            : cell.alignment & Qt::AlignHCenter ? room / 2
                                                                : 0);
                p.setClipRect(box);
                // Centred in height on a whole pixel, as drawText places a text in its rectangle.
                const qreal y = box.top() + (box.height() - text.size().height()) / 2;
                p.drawStaticText(QPointF(x, qRound(y)), text);
            }
        }
        p.setClipping(false);
        p.setPen(QPen(LabelGrid::kLineColour, 1));
        for (int j = 0; j < rows; ++j) {
            const int y = twips(kFirstRowLine + LabelGrid::kRowPitch * j);
            p.drawLine(0, y, twips(layout.rowLineEnd), y);
        }
        const int bottom = twips(layout.columnLineEnd);
        p.drawLine(twips(kLeftBorderLine), 0, twips(kLeftBorderLine), bottom);
        for (const GridCell& cell : layout.cells) {
            const int x = twips(cell.left + cell.width + 30);
            p.drawLine(x, 0, x, bottom);
        }
    }

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange)
            m_laidOut.clear();
        QWidget::changeEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override { m_pressedRow = rowUnder(event); }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const int row = rowUnder(event);
        if (row >= 0 && row == m_pressedRow)
            emit m_grid->rowClicked(row);
        m_pressedRow = -1;
    }

    void wheelEvent(QWheelEvent* event) override
    {
        if (m_grid->scrollBar->isEnabled())
            QCoreApplication::sendEvent(m_grid->scrollBar, event);
    }

private:
    // Texts laid out once and kept from paint to paint: a scroll step shows the same texts one row on, and
    // laying a text out is most of what painting it costs.
    const QStaticText& laidOut(const QString& text)
    {
        auto found = m_laidOut.constFind(text);
        if (found == m_laidOut.constEnd()) {
            if (m_laidOut.size() > kLaidOutKept)
                m_laidOut.clear();
            // A single line: line breaks show as blanks.
            QString line = text;
            for (QChar& c : line) {
                if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                    c = u' ';
            }
            QStaticText laid(line);
            laid.setTextFormat(Qt::PlainText);
            laid.prepare(QTransform(), font());
            found = m_laidOut.insert(text, laid);
        }
        return *found;
    }

    int rowUnder(QMouseEvent* event) const
    {
        return LabelGrid::rowAt(pixelsToTwips(event->position().toPoint().y()), m_grid->m_layout.rows);
    }

    static constexpr int kLaidOutKept = 2000;
    QHash<QString, QStaticText> m_laidOut;
    LabelGrid* m_grid;
    int m_pressedRow = -1;

public:
    // The part below the header buttons: new texts and colours repaint only that, not the buttons.
    void updateRows() { update(QRect(0, twips(LabelGrid::kHeaderHeight) + 1, width(), height())); }
};

LabelGrid::LabelGrid(const LabelGridLayout& layout, QWidget* parent)
    : QFrame(parent)
    , m_layout(layout)
{
    setObjectName(QStringLiteral("Pt1"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLineColour);
    setPalette(pal);

    const int rows = m_layout.rows;
    m_cells = QList<QStringList>(rows, QStringList(int(m_layout.cells.size())));
    m_colours = QList<QColor>(rows);

    const int border = frameWidth();
    const int height = innerHeight(rows);
    // The outer size includes the border; the inner panel and the scroll bar are placed inside it.
    setGeometry(twipsRect(m_layout.left, m_layout.top, m_layout.width, height + 60));

    m_body = new LabelGridBody(this);
    m_body->setGeometry(QRect(QPoint(border, border), twipsSize(m_layout.innerWidth, height)));
    for (const GridHeader& h : m_layout.headers) {
        auto* button = new QPushButton(h.caption, m_body);
        button->setObjectName(QStringLiteral("Cm2(%1)").arg(h.index));
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(twipsRect(h.left, 0, h.width, kHeaderHeight));
        m_headers.append(button);
    }

    scrollBar = new QScrollBar(Qt::Vertical, this);
    scrollBar->setObjectName(QStringLiteral("VS1"));
    scrollBar->setGeometry(QRect(QPoint(border + twips(m_layout.width - kScrollBarWidth - 60), border),
        twipsSize(kScrollBarWidth, height)));
    scrollBar->setRange(0, 0);
    scrollBar->setSingleStep(1);
    scrollBar->setPageStep(rows);
    scrollBar->setEnabled(false);
    scrollBar->raise();
    // Dragging the thumb changes the value too, so the rows follow it.
    connect(scrollBar, &QScrollBar::valueChanged, this, &LabelGrid::scrollTo);

    restripe();
}

LabelGrid::~LabelGrid() = default;

int LabelGrid::backgroundTop(int row) { return row == 0 ? kFirstBackgroundTop : 225 + kRowPitch * row; }

int LabelGrid::rowAt(double y, int rows)
{
    if (y < kHeaderHeight || y >= innerHeight(rows))
        return -1;
    if (y < kFirstRowLine + 15) // row 0's background reaches 15 twips into row 1 and lies in front of it
        return 0;
    return qBound(1, int((y - 225) / kRowPitch), rows - 1);
}

int LabelGrid::innerHeight(int rows) { return backgroundTop(rows - 1) + kRowPitch; }

void LabelGrid::clear()
{
    m_records.reset();
    for (QStringList& row : m_cells) {
        for (QString& text : row)
            text.clear();
    }
    m_body->updateRows();
}

void LabelGrid::showResult(std::shared_ptr<const GridRecords> records)
{
    m_records = std::move(records);
    const int n = recordCount();
    const int rows = m_layout.rows;
    // The rows are filled below from record 0, so the value goes to 0 without running the scroll handler. A
    // disabled bar also has range 0 … 0: its value stays the record in row 0, so a later click or a restored
    // scroll position never points at another record than the one the row shows.
    const QSignalBlocker quiet(scrollBar);
    scrollBar->setRange(0, qMax(0, n - rows));
    scrollBar->setValue(0);
    scrollBar->setEnabled(rows < n);
    fillRows(0);
    restripe();
}

void LabelGrid::scrollTo(int value)
{
    value = qBound(scrollBar->minimum(), value, scrollBar->maximum());
    if (scrollBar->value() != value) {
        scrollBar->setValue(value); // calls back here through valueChanged
        return;
    }
    fillRows(value);
    restripe();
    emit scrolled(value);
}

void LabelGrid::fillRows(int firstRecord)
{
    const int n = recordCount();
    const int columns = columnCount();
    for (int j = 0; j < m_layout.rows; ++j) {
        const int r = firstRecord + j;
        if (r < 0 || r >= n)
            continue; // no such record: the row keeps its text
        for (int i = 0; i < columns; ++i)
            m_cells[j][i] = m_records->text(r, i);
    }
    m_body->updateRows();
}

void LabelGrid::restripe()
{
    for (int j = 0; j < m_colours.size(); ++j)
        m_colours[j] = (j % 2 == 0) ? kEvenRow : kOddRow;
    m_body->updateRows();
}

void LabelGrid::highlightRow(int row)
{
    if (row < 0 || row >= m_colours.size())
        return;
    m_colours[row] = kSelected;
    m_body->updateRows();
}

QString LabelGrid::cellText(int row, int column) const
{
    if (row < 0 || row >= m_cells.size() || column < 0 || column >= columnCount())
        return {};
    return m_cells[row][column];
}

QColor LabelGrid::rowColour(int row) const
{
    return (row >= 0 && row < m_colours.size()) ? m_colours[row] : QColor();
}

} // namespace qv
