#include "reports/biff8.h"

#include "reports/xlswriter.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv {
namespace {

    // Record types.
    constexpr quint16 kBof = 0x0809;
    constexpr quint16 kEof = 0x000A;
    constexpr quint16 kCodepage = 0x0042;
    constexpr quint16 kWindow1 = 0x003D;
    constexpr quint16 kFont = 0x0031;
    constexpr quint16 kXf = 0x00E0;
    constexpr quint16 kStyle = 0x0293;
    constexpr quint16 kBoundSheet = 0x0085;
    constexpr quint16 kSst = 0x00FC;
    constexpr quint16 kContinue = 0x003C;
    constexpr quint16 kExtSst = 0x00FF;
    constexpr quint16 kColInfo = 0x007D;
    constexpr quint16 kDimensions = 0x0200;
    constexpr quint16 kRow = 0x0208;
    constexpr quint16 kLabelSst = 0x00FD;
    constexpr quint16 kNumber = 0x0203;
    constexpr quint16 kWindow2 = 0x023E;

    constexpr int kMaxRecordData = 8224;
    constexpr quint16 kUtf16Codepage = 1200;
    // XF 0-14 are style formats, XF 15 the default cell format; cell formats for further fonts follow.
    constexpr quint16 kDefaultCellXf = 15;
    constexpr int kRowsPerBlock = 32;
    constexpr quint16 kDefaultRowTwips = 255;

    // Little-endian byte sink for record bodies and whole streams.
    class Bytes {
    public:
        void u8(int v) { m_data.append(char(v & 0xFF)); }
        void u16(int v)
        {
            u8(v);
            u8(v >> 8);
        }
        void u32(quint32 v)
        {
            u16(int(v & 0xFFFF));
            u16(int(v >> 16));
        }
        void f64(double v)
        {
            quint64 bits;
            std::memcpy(&bits, &v, sizeof bits);
            u32(quint32(bits & 0xFFFFFFFFu));
            u32(quint32(bits >> 32));
        }
        void raw(const QByteArray& b) { m_data.append(b); }
        void patchU32(qsizetype at, quint32 v) { qToLittleEndian<quint32>(v, m_data.data() + at); }

        void record(quint16 type, const Bytes& body)
        {
            Q_ASSERT(body.size() <= kMaxRecordData);
            u16(type);
            u16(int(body.size()));
            raw(body.m_data);
        }

        qsizetype size() const { return m_data.size(); }
        void clear() { m_data.clear(); }
        const QByteArray& data() const { return m_data; }

    private:
        QByteArray m_data;
    };

    bool needsUtf16(const QString& text)
    {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
    }

    // Characters from..from+count, one byte each (Latin-1) or two (UTF-16).
    void appendChars(Bytes& out, const QString& text, qsizetype from, qsizetype count, bool utf16)
    {
        for (qsizetype i = from; i < from + count; ++i) {
            if (utf16)
                out.u16(text[i].unicode());
            else
                out.u8(text[i].unicode());
        }
    }

    // A short string with an 8-bit length (font and sheet names).
    void appendShortString(Bytes& out, const QString& text)
    {
        const bool utf16 = needsUtf16(text);
        out.u8(int(text.size()));
        out.u8(utf16 ? 1 : 0);
        appendChars(out, text, 0, text.size(), utf16);
    }

    void appendBof(Bytes& out, int substreamType)
    {
        Bytes body;
        body.u16(0x0600); // BIFF8
        body.u16(substreamType);
        body.u16(0x0DBB); // build
        body.u16(0x07CC); // year
        body.u32(0); // file history
        body.u32(0x0006); // lowest version that can read the file
        out.record(kBof, body);
    }

    void appendEof(Bytes& out) { out.record(kEof, Bytes()); }

    void appendWindow1(Bytes& out)
    {
        Bytes body;
        body.u16(0x01E0);
        body.u16(0x005A);
        body.u16(0x3FCF);
        body.u16(0x2A4E);
        body.u16(0x0038); // scroll bars and sheet tabs shown
        body.u16(0); // active sheet
        body.u16(0); // first visible tab
        body.u16(1); // selected sheets
        body.u16(0x0258); // tab bar width ratio
        out.record(kWindow1, body);
    }

    void appendFont(Bytes& out, const XlsFont& font)
    {
        Bytes body;
        body.u16(int(std::lround(font.points * 20)));
        body.u16(font.bold ? 0x0001 : 0); // the old bold flag, which some readers still use beside the weight
        body.u16(0x7FFF); // automatic colour
        body.u16(font.bold ? 700 : 400);
        body.u16(0); // no super- or subscript
        body.u8(0); // no underline
        body.u8(0); // family
        body.u8(1); // default character set
        body.u8(0);
        appendShortString(body, font.name);
        out.record(kFont, body);
    }

    // Readers skip font index 4 (a relic of older versions), so the fifth font record has index 5.
    int fontRecordIndex(int font) { return font < 4 ? font : font + 1; }

    void appendXf(Bytes& out, int fontIndex, bool style)
    {
        Bytes body;
        body.u16(fontIndex);
        body.u16(0); // "General" number format
        body.u16(style ? 0xFFF5 : 0x0001); // locked; a style has no parent, a cell format has style 0
        body.u8(0x20); // general horizontal, bottom vertical alignment
        body.u8(0); // no rotation
        body.u8(0); // no indent
        body.u8(style ? 0xF4 : 0xF8); // which attribute groups this format sets
        body.u32(0); // no borders
        body.u32(0); // no border colours, no fill
        body.u16(0x20C0); // default pattern colours
        out.record(kXf, body);
    }

    // Each font has one cell format, in font order from the default cell format on.
    quint16 cellXf(int font) { return quint16(kDefaultCellXf + font); }

    // The distinct texts of all cells, each with its index in the shared string table.
    struct SharedStrings {
        QHash<QString, quint32> index;
        std::vector<QString> texts; // in index order
        quint32 uses = 0;
    };

    SharedStrings collectStrings(const Workbook& workbook)
    {
        SharedStrings strings;
        for (const Worksheet& sheet : workbook.sheets()) {
            for (const auto& [r, row] : sheet.rows()) {
                for (const auto& [c, cell] : row.cells) {
                    if (cell.kind != XlsCell::Kind::Text)
                        continue;
                    ++strings.uses;
                    if (!strings.index.contains(cell.text)) {
                        strings.index.insert(cell.text, quint32(strings.texts.size()));
                        strings.texts.push_back(cell.text);
                    }
                }
            }
        }
        return strings;
    }

    // The shared string table, split into CONTINUE records where it outgrows one record, followed by the
    // EXTSST index that lets a reader find every dsst-th string. A string's header is never split; its
    // characters may be, and the continuation then starts with its own encoding flag.
    void appendSst(Bytes& out, const SharedStrings& strings)
    {
        const int perBucket = std::max<int>(8, int(strings.texts.size() / 128 + 1));
        Bytes extSst;
        extSst.u16(perBucket);

        quint16 type = kSst;
        Bytes rec;
        auto flush = [&] {
            out.record(type, rec);
            rec.clear();
            type = kContinue;
        };
        rec.u32(strings.uses);
        rec.u32(quint32(strings.texts.size()));
        for (size_t n = 0; n < strings.texts.size(); ++n) {
            const QString& text = strings.texts[n];
            const bool utf16 = needsUtf16(text);
            const int charSize = utf16 ? 2 : 1;
            if (rec.size() + 3 + charSize > kMaxRecordData)
                flush();
            if (n % perBucket == 0) {
                extSst.u32(quint32(out.size() + 4 + rec.size()));
                extSst.u16(int(4 + rec.size()));
                extSst.u16(0);
            }
            rec.u16(int(text.size()));
            rec.u8(utf16 ? 1 : 0);
            qsizetype done = 0;
            while (done < text.size()) {
                qsizetype count
                    = std::min<qsizetype>((kMaxRecordData - rec.size()) / charSize, text.size() - done);
                // Keep a surrogate pair in one record.
                if (count > 0 && done + count < text.size() && text[done + count - 1].isHighSurrogate())
                    --count;
                if (count <= 0) {
                    flush();
                    rec.u8(utf16 ? 1 : 0);
                    continue;
                }
                appendChars(rec, text, done, count, utf16);
                done += count;
            }
        }
        flush();
        out.record(kExtSst, extSst);
    }

    void appendColumnWidths(Bytes& out, const Worksheet& sheet)
    {
        for (const auto& [column, characters] : sheet.columnWidths()) {
            Bytes body;
            body.u16(column);
            body.u16(column);
            body.u16(int(std::lround(characters * 256)));
            body.u16(kDefaultCellXf);
            body.u16(0); // visible, no outline
            body.u16(0);
            out.record(kColInfo, body);
        }
    }

    void appendDimensions(Bytes& out, const Worksheet& sheet)
    {
        int firstRow = 0, lastRow = -1, firstColumn = 0, lastColumn = -1;
        if (!sheet.rows().empty()) {
            firstRow = sheet.rows().begin()->first;
            lastRow = sheet.rows().rbegin()->first;
            firstColumn = kBiff8Columns;
            for (const auto& [r, row] : sheet.rows()) {
                if (row.cells.empty())
                    continue;
                firstColumn = std::min(firstColumn, row.cells.begin()->first);
                lastColumn = std::max(lastColumn, row.cells.rbegin()->first);
            }
            if (lastColumn < 0)
                firstColumn = 0;
        }
        Bytes body;
        body.u32(quint32(firstRow));
        body.u32(quint32(lastRow + 1));
        body.u16(firstColumn);
        body.u16(lastColumn + 1);
        body.u16(0);
        out.record(kDimensions, body);
    }

    void appendRowRecord(Bytes& out, int index, const XlsRow& row)
    {
        Bytes body;
        body.u16(index);
        body.u16(row.cells.empty() ? 0 : row.cells.begin()->first);
        body.u16(row.cells.empty() ? 0 : row.cells.rbegin()->first + 1);
        const bool customHeight = row.heightPoints > 0;
        body.u16(customHeight ? int(std::lround(row.heightPoints * 20)) : kDefaultRowTwips);
        body.u16(0);
        body.u16(0);
        int flags = 0x0100; // always set
        if (customHeight)
            flags |= 0x0040;
        if (row.font >= 0)
            flags |= 0x0080; // the row has a format of its own
        body.u16(flags);
        body.u16(row.font >= 0 ? cellXf(row.font) : kDefaultCellXf);
        out.record(kRow, body);
    }

    void appendCells(Bytes& out, int index, const XlsRow& row, const SharedStrings& strings)
    {
        for (const auto& [column, cell] : row.cells) {
            Bytes body;
            body.u16(index);
            body.u16(column);
            body.u16(cellXf(cell.font));
            if (cell.kind == XlsCell::Kind::Text) {
                body.u32(strings.index.value(cell.text));
                out.record(kLabelSst, body);
            } else {
                body.f64(cell.number);
                out.record(kNumber, body);
            }
        }
    }

    void appendWindow2(Bytes& out, bool firstSheet)
    {
        Bytes body;
        // Grid, headers, zeros, outline symbols; the first sheet is the selected and shown one.
        body.u16(firstSheet ? 0x06B6 : 0x00B6);
        body.u16(0); // top row
        body.u16(0); // left column
        body.u32(0x40); // automatic grid colour
        body.u16(0);
        body.u16(0);
        body.u32(0);
        out.record(kWindow2, body);
    }

    void appendSheet(Bytes& out, const Worksheet& sheet, bool firstSheet, const SharedStrings& strings)
    {
        appendBof(out, 0x0010);
        appendColumnWidths(out, sheet);
        appendDimensions(out, sheet);
        // Rows go in blocks of 32: the block's ROW records, then the cells of those rows.
        auto blockStart = sheet.rows().begin();
        while (blockStart != sheet.rows().end()) {
            auto blockEnd = blockStart;
            for (int n = 0; n < kRowsPerBlock && blockEnd != sheet.rows().end(); ++n)
                ++blockEnd;
            for (auto it = blockStart; it != blockEnd; ++it)
                appendRowRecord(out, it->first, it->second);
            for (auto it = blockStart; it != blockEnd; ++it)
                appendCells(out, it->first, it->second, strings);
            blockStart = blockEnd;
        }
        appendWindow2(out, firstSheet);
        appendEof(out);
    }

} // namespace

QByteArray biff8WorkbookStream(const Workbook& workbook)
{
    const SharedStrings strings = collectStrings(workbook);
    Bytes out;

    appendBof(out, 0x0005);
    {
        Bytes body;
        body.u16(kUtf16Codepage);
        out.record(kCodepage, body);
    }
    appendWindow1(out);
    const std::vector<XlsFont>& fonts = workbook.fonts();
    for (const XlsFont& font : fonts)
        appendFont(out, font);
    for (size_t n = fonts.size(); n < 4; ++n) // readers expect at least four font records
        appendFont(out, fonts.front());
    for (int n = 0; n < kDefaultCellXf; ++n)
        appendXf(out, 0, true);
    for (size_t font = 0; font < fonts.size(); ++font)
        appendXf(out, fontRecordIndex(int(font)), false);
    {
        Bytes body;
        body.u16(0x8000); // built-in style on XF 0
        body.u8(0); // "Normal"
        body.u8(0xFF);
        out.record(kStyle, body);
    }
    std::vector<qsizetype> sheetOffsetFields;
    for (const Worksheet& sheet : workbook.sheets()) {
        Bytes body;
        body.u32(0); // stream offset of the sheet's BOF, filled in below
        body.u16(0); // visible worksheet
        appendShortString(body, sheet.name());
        sheetOffsetFields.push_back(out.size() + 4);
        out.record(kBoundSheet, body);
    }
    appendSst(out, strings);
    appendEof(out);

    for (size_t n = 0; n < workbook.sheets().size(); ++n) {
        out.patchU32(sheetOffsetFields[n], quint32(out.size()));
        appendSheet(out, workbook.sheets()[n], n == 0, strings);
    }
    return out.data();
}

} // namespace qv
