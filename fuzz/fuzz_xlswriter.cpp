// The .xls writer with fuzzed sheet names, font names, texts and numbers: it never crashes; a workbook it
// accepts is written whole and reads back (every text and number in its cell, the shared strings intact
// across record boundaries); a workbook it refuses gets a message and leaves no file behind.

#include "fuzz/fuzzinput.h"
#include "reports/xlswriter.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>

#include <fuzzer/FuzzedDataProvider.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstring>
#include <optional>
#include <vector>

using namespace qv;

namespace {

QString consumeText(FuzzedDataProvider& in)
{
    const std::string bytes = in.ConsumeRandomLengthString(64);
    QString piece = fuzz::textFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    // Long texts cheaply: a piece repeated, up to beyond the 32767 characters a cell can hold.
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return piece.repeated(in.ConsumeIntegralInRange(1, 300)); // beyond one record of the string table
    case 1:
        return piece.repeated(in.ConsumeIntegralInRange(1, 2000)); // often beyond what a cell holds
    default:
        return piece;
    }
}

Workbook fuzzedWorkbook(FuzzedDataProvider& in)
{
    Workbook book;
    if (in.ConsumeBool())
        book.font({ consumeText(in), double(in.ConsumeIntegralInRange(0, 500)), in.ConsumeBool() });
    const int fonts = int(book.fonts().size());
    const int sheets = in.ConsumeIntegralInRange(0, 3);
    for (int s = 0; s < sheets; ++s) {
        Worksheet& sheet
            = book.addSheet(in.ConsumeBool() ? QStringLiteral("Sheet%1").arg(s) : consumeText(in));
        const int cells = in.ConsumeIntegralInRange(0, 12);
        for (int i = 0; i < cells && in.remaining_bytes() > 0; ++i) {
            const bool far = in.ConsumeIntegralInRange(0, 15) == 0;
            const int row = far ? in.ConsumeIntegralInRange(-2, 70000) : in.ConsumeIntegralInRange(0, 40);
            const int column = far ? in.ConsumeIntegralInRange(-2, 300) : in.ConsumeIntegralInRange(0, 10);
            const int font = in.ConsumeIntegralInRange(0, fonts);
            if (in.ConsumeBool()) {
                sheet.setText(row, column, consumeText(in), font);
            } else {
                // Any bit pattern, infinities and NaN included.
                const auto bits = in.ConsumeIntegral<quint64>();
                double value;
                std::memcpy(&value, &bits, sizeof value);
                sheet.setNumber(row, column, value, font);
            }
        }
    }
    return book;
}

// The record bodies of a BIFF8 stream, in order.
struct Record {
    quint16 type;
    QByteArray body;
};

std::vector<Record> records(const QByteArray& stream)
{
    std::vector<Record> all;
    qsizetype at = 0;
    while (at < stream.size()) {
        QV_FUZZ_CHECK(at + 4 <= stream.size());
        const quint16 type = qFromLittleEndian<quint16>(stream.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(stream.constData() + at + 2);
        QV_FUZZ_CHECK(length <= 8224);
        QV_FUZZ_CHECK(at + 4 + length <= stream.size());
        all.push_back({ type, stream.mid(at + 4, length) });
        at += 4 + length;
    }
    return all;
}

// Reads the shared strings from the SST record and its CONTINUE records. A string header stays in one
// record; characters that go on in the next record are preceded there by a byte giving their width.
std::vector<QString> sharedStrings(const std::vector<QByteArray>& parts)
{
    QV_FUZZ_CHECK(!parts.empty() && parts[0].size() >= 8);
    const quint32 unique = qFromLittleEndian<quint32>(parts[0].constData() + 4);
    size_t part = 0;
    qsizetype at = 8;
    auto byte = [&]() -> int {
        QV_FUZZ_CHECK(at < parts[part].size());
        return uchar(parts[part][at++]);
    };
    std::vector<QString> texts;
    for (quint32 i = 0; i < unique; ++i) {
        if (at == parts[part].size()) {
            QV_FUZZ_CHECK(part + 1 < parts.size());
            ++part;
            at = 0;
        }
        const int count = byte() | byte() << 8;
        bool wide = byte() & 1;
        QString text;
        while (text.size() < count) {
            if (at == parts[part].size()) {
                QV_FUZZ_CHECK(part + 1 < parts.size());
                ++part;
                at = 0;
                wide = byte() & 1;
            }
            text.append(QChar(wide ? char16_t(byte() | byte() << 8) : char16_t(byte())));
        }
        texts.push_back(text);
    }
    return texts;
}

QByteArray workbookStream(const QString& path)
{
    GError* error = nullptr;
    GsfInput* file = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
    QV_FUZZ_CHECK(file);
    GsfInfile* ole = gsf_infile_msole_new(file, &error);
    QV_FUZZ_CHECK(ole);
    GsfInput* stream = gsf_infile_child_by_name(ole, "Workbook");
    QV_FUZZ_CHECK(stream);
    const gsf_off_t size = gsf_input_size(stream);
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    QV_FUZZ_CHECK(size == 0 || gsf_input_read(stream, size_t(size), reinterpret_cast<guint8*>(bytes.data())));
    g_object_unref(stream);
    g_object_unref(ole);
    g_object_unref(file);
    return bytes;
}

void checkReadsBack(const Workbook& book, const QString& path)
{
    const std::vector<Record> all = records(workbookStream(path));
    std::vector<QByteArray> sstParts;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].type != 0x00FC)
            continue;
        sstParts.push_back(all[i].body);
        for (size_t j = i + 1; j < all.size() && all[j].type == 0x003C; ++j)
            sstParts.push_back(all[j].body);
        break;
    }
    const std::vector<QString> strings = sstParts.empty() ? std::vector<QString>() : sharedStrings(sstParts);
    QV_FUZZ_CHECK(QSet<QString>(strings.begin(), strings.end()).size() == qsizetype(strings.size()));

    // Substream 0 holds the workbook globals, substream k the sheet k-1.
    int substream = -1;
    std::vector<int> cellsRead(book.sheets().size(), 0);
    for (const Record& r : all) {
        if (r.type == 0x0809)
            ++substream;
        if (r.type != 0x00FD && r.type != 0x0203)
            continue;
        QV_FUZZ_CHECK(substream >= 1 && substream <= int(book.sheets().size()));
        const Worksheet& sheet = book.sheets()[size_t(substream - 1)];
        const char* body = r.body.constData();
        const int row = qFromLittleEndian<quint16>(body), column = qFromLittleEndian<quint16>(body + 2);
        const XlsCell& cell = sheet.rows().at(row).cells.at(column);
        if (r.type == 0x00FD) {
            const quint32 index = qFromLittleEndian<quint32>(body + 6);
            QV_FUZZ_CHECK(cell.kind == XlsCell::Kind::Text && index < strings.size());
            QV_FUZZ_CHECK(strings[index] == cell.text);
        } else {
            double value;
            std::memcpy(&value, body + 6, sizeof value);
            QV_FUZZ_CHECK(cell.kind == XlsCell::Kind::Number && value == cell.number);
        }
        ++cellsRead[size_t(substream - 1)];
    }
    for (size_t s = 0; s < book.sheets().size(); ++s) {
        int cells = 0;
        for (const auto& [r, row] : book.sheets()[s].rows())
            cells += int(row.cells.size());
        QV_FUZZ_CHECK(cellsRead[s] == cells);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("log.xls"));
    QFile::remove(path);

    FuzzedDataProvider in(data, size);
    const Workbook book = fuzzedWorkbook(in);
    QString error;
    if (writeXls(book, path, &error)) {
        QV_FUZZ_CHECK(error.isEmpty());
        checkReadsBack(book, path);
    } else {
        QV_FUZZ_CHECK(!error.isEmpty());
        QV_FUZZ_CHECK(!QFile::exists(path));
    }
    // Nothing else is left in the folder, whatever happened.
    QV_FUZZ_CHECK(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size() <= 1);
    return 0;
}
