#pragma once
// An .xls file as the independent reader xlrd sees it (through xlsdump.py), for comparing with what was
// written.

#include <QHash>
#include <QString>
#include <QVariant>

#include <vector>

namespace qv::test {

struct ReadFont {
    QString name;
    double points = 0;
    bool bold = false;
};

class XlsReadBack {
public:
    // Reads the file; ok() is false (and error() says why) when the reader refused it.
    explicit XlsReadBack(const QString& path);

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    int sheetCount() const;
    QString sheetName(int sheet) const;
    int rowCount(int sheet = 0) const;
    int columnCount(int sheet = 0) const;
    int cellCount(int sheet = 0) const;

    // Row and column from 0. kind is "text", "number" or empty for an empty cell.
    QString kind(int row, int column, int sheet = 0) const;
    QString text(int row, int column, int sheet = 0) const;
    double number(int row, int column, int sheet = 0) const;
    ReadFont font(int row, int column, int sheet = 0) const;

    // Twips; -1 when the row has no record. Width in 1/256 characters; -1 when the column has none.
    int rowTwips(int row, int sheet = 0) const;
    bool rowHeightIsCustom(int row, int sheet = 0) const;
    ReadFont rowFont(int row, int sheet = 0) const; // empty name when the row has no format
    int columnWidth(int column, int sheet = 0) const;

private:
    struct Cell {
        QString kind;
        QVariant value;
        int font = -1;
    };
    struct Row {
        int twips = -1;
        bool custom = false;
        int font = -1;
    };
    struct Sheet {
        QString name;
        int rows = 0;
        int columns = 0;
        QHash<quint64, Cell> cells; // by row << 16 | column
        QHash<int, Row> rowInfo;
        QHash<int, int> widths;
    };
    Cell cell(int row, int column, int sheet) const;
    ReadFont fontAt(int index) const;

    std::vector<ReadFont> m_fonts;
    std::vector<Sheet> m_sheets;
    QString m_error;
};

} // namespace qv::test
