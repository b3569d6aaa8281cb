#pragma once
// The label grid view: a striped table of a fixed number of rows under a row of header buttons, with a
// vertical scroll bar whose value is the record shown in the top row. The drug catalog and the outpatient
// log both use it.
//
// How to use it (owner window):
//     LabelGridLayout layout;            // rows, headers, cells and panel sizes in twips (see below)
//     m_grid = new LabelGrid(layout, this);   // builds the rows; place nothing else, it sets its own
//     geometry m_grid->clear();                   // before a query: empties every row
//     m_grid->showResult(records);       // after it: the scroll bar is set up and the rows filled
//     connect(m_grid, &LabelGrid::rowClicked, ...);   // row number j counted from 0 at the top
//     connect(m_grid, &LabelGrid::scrolled, ...);     // after every scroll (value = record in row 0)
// The record under visible row j is record j + scrollValue().
//
// Showing and scrolling cost O(rows × columns) whatever the number of records: the grid keeps only the
// texts of its visible rows and asks the records for the few it shows.

#include <QColor>
#include <QFrame>
#include <QList>
#include <QPushButton>
#include <QScrollBar>
#include <QString>
#include <QStringList>
#include <memory>

namespace qv {

// The records of one query result: n records of a fixed number of data columns. The grid reads only the
// records it shows.
class GridRecords {
public:
    virtual ~GridRecords() = default;
    virtual int count() const = 0;
    // The text of data column `column` of record `record` (0 ≤ record < count()).
    virtual QString text(int record, int column) const = 0;
};

// Records held as one list of texts per data column, all of the same length.
class ColumnLists final : public GridRecords {
public:
    explicit ColumnLists(int columns = 0)
        : m_lists(columns)
    {
    }
    // Appends one record; its texts feed the data columns in order (missing texts are empty).
    void append(const QStringList& record);
    int count() const override { return m_lists.isEmpty() ? 0 : int(m_lists.first().size()); }
    QString text(int record, int column) const override;

private:
    QList<QStringList> m_lists;
};

// A column header button: clicking it does nothing.
struct GridHeader {
    int index = 0;
    QString caption;
    int left = 0; // twips inside the inner panel
    int width = 0;
};

// A cell array `Lb(i)`, i ≥ 2: one cell per row, showing one data column on one line, clipped at its width.
struct GridCell {
    int left = 0; // twips inside the inner panel
    int width = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The sizes of one grid, in twips. The defaults are the drug catalog's panel; the cells and headers are the
// owner's.
struct LabelGridLayout {
    int rows = 14; // visible rows R
    QList<GridHeader> headers;
    QList<GridCell> cells; // the cell arrays, fed by data columns 0, 1, … in order
    int left = 60, top = 60; // position of the outer panel in the window, twips
    int width = 7215; // outer panel width (the inner panel's height follows from the rows)
    int innerWidth = 6915;
    int rowLineEnd = 10380; // row lines run from x = 0 to here
    int columnLineEnd = 8880; // column lines run from y = 0 to here
};

class LabelGridBody;

// The outer panel holding the inner panel (header buttons, rows, lines) and the scroll bar.
class LabelGrid : public QFrame {
    Q_OBJECT
public:
    static constexpr int kRowPitch = 315; // twips from one row to the next (height of a row background)
    static constexpr int kHeaderHeight = 255;
    static constexpr int kScrollBarWidth = 255;
    static const QColor kEvenRow; // RGB(249,248,245)
    static const QColor kOddRow; // white
    static const QColor kSelected; // RGB(0,255,255)
    static const QColor kLineColour; // RGB(224,224,224)

    explicit LabelGrid(const LabelGridLayout& layout, QWidget* parent = nullptr);
    ~LabelGrid() override;

    // Forgets the records and empties every cell of every row.
    void clear();
    // Takes the records of a new query: the scroll bar is enabled (maximum n - R) only when there are more
    // records than rows, and its value is 0 either way; the rows are filled from record 0; stripes are
    // restored.
    void showResult(std::shared_ptr<const GridRecords> records);
    // The scroll handler: shows records v … v + R - 1 in rows 0 … R - 1 (a row whose record does not exist
    // keeps its text), restripes and reports `scrolled`. Changing the scroll bar's value calls it; a value
    // outside the bar's range is brought into it.
    void scrollTo(int value);
    // Gives every row its stripe colour, which removes any highlight.
    void restripe();
    // Marks visible row j as the selection.
    void highlightRow(int row);

    int rowCount() const { return m_layout.rows; }
    int columnCount() const { return int(m_layout.cells.size()); }
    int recordCount() const { return m_records ? m_records->count() : 0; }
    int scrollValue() const { return scrollBar->value(); }
    // What visible row j shows in cell array `column` (0 for the first), and its background colour.
    QString cellText(int row, int column) const;
    QColor rowColour(int row) const;
    const LabelGridLayout& layout() const { return m_layout; }

    // Geometry of the inner panel, in twips: the top of row j's background, the row under height y (-1 above
    // the rows or below them; row 0 lies in front where it overlaps row 1), and the panel's height for R
    // rows.
    static int backgroundTop(int row);
    static int rowAt(double y, int rows);
    static int innerHeight(int rows);

    QScrollBar* scrollBar = nullptr;

signals:
    // A click on the background or any cell of visible row j.
    void rowClicked(int row);
    void scrolled(int value);

private:
    friend class LabelGridBody;
    void fillRows(int firstRecord);

    LabelGridLayout m_layout;
    LabelGridBody* m_body = nullptr;
    QList<QPushButton*> m_headers;
    std::shared_ptr<const GridRecords> m_records;
    QList<QStringList> m_cells; // [row][cell array]: the texts the rows show
    QList<QColor> m_colours; // [row]
};

} // namespace qv
