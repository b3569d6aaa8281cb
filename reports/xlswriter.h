#pragma once
// A small spreadsheet model and its writer to the legacy .xls format (BIFF8 inside an OLE2 compound file),
// so the log can be exported without any spreadsheet application installed.

#include <QString>

#include <deque>
#include <map>
#include <vector>

namespace qv {

struct XlsFont {
    QString name = QStringLiteral("宋体");
    double points = 10;
    bool bold = false;

    bool operator==(const XlsFont&) const = default;
};

struct XlsCell {
    enum class Kind { Text, Number };
    Kind kind = Kind::Text;
    QString text;
    double number = 0;
    int font = 0; // index into Workbook::fonts
};

struct XlsRow {
    double heightPoints = 0; // 0: the default height
    int font = -1; // the row's own format (empty cells of the row); -1: none
    std::map<int, XlsCell> cells; // by column, counted from 0
};

// Rows and columns are counted from 0 here (row 0 is the spreadsheet's row 1).
class Worksheet {
public:
    explicit Worksheet(QString name = QStringLiteral("Sheet1"))
        : m_name(std::move(name))
    {
    }

    void setText(int row, int column, const QString& text, int font = 0);
    void setNumber(int row, int column, double value, int font = 0);
    void setRowHeight(int row, double points);
    void setRowFont(int row, int font);
    void setColumnWidth(int column, double characters);

    const QString& name() const { return m_name; }
    const std::map<int, XlsRow>& rows() const { return m_rows; }
    const std::map<int, double>& columnWidths() const { return m_columnWidths; }

private:
    QString m_name;
    std::map<int, XlsRow> m_rows;
    std::map<int, double> m_columnWidths; // in characters of the default font
};

class Workbook {
public:
    // Font 0 is the workbook's default font.
    explicit Workbook(const XlsFont& defaultFont = XlsFont());

    // Returns the index of the font, adding it when the workbook does not have it yet.
    int font(const XlsFont& font);
    // The reference stays valid while the workbook lives.
    Worksheet& addSheet(const QString& name = QStringLiteral("Sheet1"));

    const std::vector<XlsFont>& fonts() const { return m_fonts; }
    const std::deque<Worksheet>& sheets() const { return m_sheets; }

private:
    std::vector<XlsFont> m_fonts;
    std::deque<Worksheet> m_sheets; // a deque, so references from addSheet stay valid
};

// Writes the workbook as an .xls file. The file is written beside the target under a temporary name and
// renamed at the end, so a failure leaves no partial file and keeps an existing one intact.
// On failure returns false and says why in *error (when given).
bool writeXls(const Workbook& workbook, const QString& path, QString* error);

} // namespace qv
