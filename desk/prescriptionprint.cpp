#include "desk/prescriptionprint.h"

#include "print/printeraccess.h"
#include "print/printoutcome.h"
#include "print/printsystem.h"
#include "print/scaledsurface.h"

#include <QFont>
#include <QRegularExpression>

#include <algorithm>

namespace qv {

namespace {

    // The paper's fonts, as the window's controls carry them.
    struct PaperFont {
        const char16_t* name;
        double points;
        bool bold;
    };
    constexpr PaperFont kTitleFont { u"黑体", 20.25, false };
    constexpr PaperFont kCaptionFont { u"宋体", 12, true };
    constexpr PaperFont kRpFont { u"宋体", 15.75, true };
    constexpr PaperFont kValueFont { u"宋体", 12, false };
    // The sheet mark reads as one of the header fields.
    constexpr PaperFont kMarkFont = kValueFont;
    // The least room between the title and the sheet mark: one character of the mark's font.
    constexpr double kMarkGap = 240;

    constexpr double kTwipsPerMm = 56.7;
    // Margins of this many millimetres print the paper where the screen shows it.
    constexpr double kUnshiftedMarginMm = 10;

    QFont qFont(const PaperFont& font)
    {
        QFont f(QString::fromUtf16(font.name));
        f.setPointSizeF(font.points);
        f.setBold(font.bold);
        return f;
    }

    void useFont(PrintSurface& surface, const PaperFont& font)
    {
        surface.setFontName(QString::fromUtf16(font.name));
        surface.setFontBold(font.bold);
        surface.setFontSize(font.points);
    }

    void printAt(PrintSurface& surface, double x, double y, const QString& text)
    {
        surface.setCurrentX(x);
        surface.setCurrentY(y);
        // An empty text leaves nothing on the paper.
        if (!text.isEmpty())
            surface.printText(text);
    }

    void printFreeCaptions(PrintSurface& surface, const PrescriptionPaper& paper, double titleLeft)
    {
        useFont(surface, kTitleFont);
        printAt(surface, titleLeft, kTitleTop, paper.title);
        useFont(surface, kCaptionFont);
        printAt(surface, 240, 2340, QStringLiteral("诊断："));
        useFont(surface, kRpFont);
        printAt(surface, 3180, 2280, QStringLiteral("Rp："));
    }

    void printFieldBoxes(PrintSurface& surface, const PrescriptionPaper& paper)
    {
        useFont(surface, kCaptionFont);
        for (int i = 0; i < kFieldCount; ++i) {
            const FieldBox& box = fieldBoxes()[i];
            printAt(surface, box.box.left(), box.box.top() + kCaptionTop, box.caption);
        }
        useFont(surface, kValueFont);
        for (int i = 0; i < kFieldCount; ++i) {
            const QRectF& box = fieldBoxes()[i].box;
            const QRectF value = fieldBoxLayout(box.width(), paper.captionWidths[i]).value;
            printAt(surface, box.left() + value.left(), box.top() + value.top(), paper.values[i]);
        }
    }

    void printLines(PrintSurface& surface, const PrescriptionPaper& paper)
    {
        surface.setDrawWidth(1);
        for (const QLineF& l : paperLines())
            surface.line(l.x1(), l.y1(), l.x2(), l.y2());
        // The diagnosis lines have no underline of their own; their grey guides are not printed either.
        for (int i = 0; i < kFieldCount; ++i) {
            if (isDiagnosisField(i))
                continue;
            const QRectF& box = fieldBoxes()[i].box;
            const QLineF l
                = fieldBoxLayout(box.width(), paper.captionWidths[i]).underline.translated(box.topLeft());
            surface.line(l.x1(), l.y1(), l.x2(), l.y2());
        }
    }

    void printBody(PrintSurface& surface, const QStringList& lines)
    {
        useFont(surface, kValueFont);
        surface.setCurrentX(kBodyLeft);
        surface.setCurrentY(kBodyTop);
        for (const QString& line : lines) {
            surface.setCurrentX(kBodyLeft);
            surface.setCurrentY(surface.currentY() + kBodyLineGap);
            surface.printText(line);
        }
    }

    // Where a line that is wider than the body breaks: after the last blank that fits (past the indent), as
    // the screen wraps words, or else after the last character that fits. Never before the first character.
    qsizetype wrapPoint(const QFont& font, const QString& line)
    {
        if (textWidthTwips(font, line) <= kBodyWidth)
            return line.size();
        qsizetype fitting = 0;
        for (qsizetype next = 0; next < line.size();) {
            next += line.at(next).isHighSurrogate() && next + 1 < line.size() ? 2 : 1;
            if (textWidthTwips(font, line.left(next)) > kBodyWidth)
                break;
            fitting = next;
        }
        if (fitting == 0)
            return line.at(0).isHighSurrogate() && line.size() > 1 ? 2 : 1;
        qsizetype indent = 0;
        while (indent < line.size() && line.at(indent) == ' ')
            ++indent;
        const qsizetype blank = line.lastIndexOf(' ', fitting - 1);
        return blank >= indent ? blank + 1 : fitting;
    }

    QStringList wrapped(const QString& line)
    {
        const QFont font = qFont(kValueFont);
        QStringList rows;
        QString rest = line;
        while (!rest.isEmpty()) {
            const qsizetype at = wrapPoint(font, rest);
            if (!rest.left(at).trimmed().isEmpty())
                rows << rest.left(at);
            rest = rest.mid(at);
        }
        return rows;
    }

} // namespace

PrescriptionPaper measuredPaper(
    const QString& title, const std::array<QString, kFieldCount>& values, const QString& body)
{
    PrescriptionPaper paper;
    paper.title = title;
    paper.titleWidth = textWidthTwips(qFont(kTitleFont), title);
    paper.values = values;
    for (int i = 0; i < kFieldCount; ++i) {
        const QString& caption = fieldBoxes()[i].caption;
        paper.captionWidths[i] = caption.isEmpty() ? 0 : textWidthTwips(qFont(kCaptionFont), caption);
    }
    paper.body = body;
    return paper;
}

QList<QStringList> printedBodyGroups(const QString& body)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QList<QStringList> groups;
    for (const QString& line : body.split(lineEnd)) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (!trimmed.startsWith(QStringLiteral("用法")) || groups.isEmpty())
            groups.append(QStringList());
        groups.last() << wrapped(line);
    }
    return groups;
}

QStringList printedBodyLines(const QString& body)
{
    QStringList printed;
    for (const QStringList& group : printedBodyGroups(body))
        printed << group;
    return printed;
}

QList<QStringList> bodySheets(const QString& body)
{
    // Line n of a sheet (from 1) ends at body top + n × (gap + line height).
    const double step = kBodyLineGap + lineSpacingTwips(qFont(kValueFont));
    const int perSheet = std::max(1, int((kSignatureRuleY - kBodyTop) / step));
    QList<QStringList> sheets { QStringList() };
    for (const QStringList& group : printedBodyGroups(body)) {
        // A group that fits on a sheet of its own is not split; a longer one goes on where it is and breaks
        // where a sheet is full.
        if (!sheets.last().isEmpty() && group.size() <= perSheet
            && sheets.last().size() + group.size() > perSheet)
            sheets.append(QStringList());
        for (const QString& row : group) {
            if (sheets.last().size() == perSheet)
                sheets.append(QStringList());
            sheets.last() << row;
        }
    }
    return sheets;
}

QString sheetMark(int sheet, int sheetCount)
{
    return QStringLiteral("第%1页/共%2页").arg(sheet).arg(sheetCount);
}

TitleLine titleLine(double titleWidth, double markWidth)
{
    const QFont markFont = qFont(kMarkFont);
    const double markLeft = fieldBoxes()[kArchiveNumberField].box.right() - markWidth;
    const double markTop = kTitleTop + ascentTwips(qFont(kTitleFont)) - ascentTwips(markFont);
    const double centred = centredLeft(kPaperWidth, titleWidth);
    const double leftmost = fieldBoxes()[0].box.left();
    const double titleLeft = std::min(centred, markLeft - kMarkGap - titleWidth);
    if (titleLeft >= leftmost)
        return { QPointF(titleLeft, kTitleTop), QPointF(markLeft, markTop) };
    // Under the diagnosis lines, at the left edge of 诊断： and one body gap above the signature rule.
    const double footTop = kSignatureRuleY - kBodyLineGap - lineSpacingTwips(markFont);
    return { QPointF(centred, kTitleTop), QPointF(leftmost, footTop) };
}

bool printPaper(
    PrintSurface& surface, const PrescriptionPaper& paper, double leftMarginMm, double topMarginMm)
{
    // Each job says its own orientation, so an earlier landscape print cannot turn the prescription.
    surface.setOrientation(Orientation::Portrait);
    surface.setScaleMode(ScaleMode::Twips);
    surface.setScaleLeft(float(kUnshiftedMarginMm * kTwipsPerMm - leftMarginMm * kTwipsPerMm));
    surface.setScaleTop(float(kUnshiftedMarginMm * kTwipsPerMm - topMarginMm * kTwipsPerMm));
    const QList<QStringList> sheets = bodySheets(paper.body);
    const int sheetCount = int(sheets.size());
    for (int i = 0; i < sheetCount; ++i) {
        if (i > 0)
            surface.newPage();
        if (sheetCount == 1) {
            printFreeCaptions(surface, paper, centredLeft(kPaperWidth, paper.titleWidth));
        } else {
            const QString mark = sheetMark(i + 1, sheetCount);
            const TitleLine line = titleLine(paper.titleWidth, textWidthTwips(qFont(kMarkFont), mark));
            printFreeCaptions(surface, paper, line.title.x());
            useFont(surface, kMarkFont);
            printAt(surface, line.mark.x(), line.mark.y(), mark);
        }
        printFieldBoxes(surface, paper);
        printLines(surface, paper);
        printBody(surface, sheets[i]);
    }
    return surface.endDocument();
}

QString noPrinterQuestion(const QString& reason) { return savePdfQuestion(QStringLiteral("处方"), reason); }

QString printFailedMessage(const QString& reason)
{
    return notPrintedMessage(QStringLiteral("处方"), reason);
}

bool printPrescription(Services& services, const PrescriptionPaper& paper, QWidget* parent)
{
    // Without the settings window the paper prints where the screen shows it, on the default printer.
    const double left
        = services.settings ? leadingNumber(services.settings->leftMargin()) : kUnshiftedMarginMm;
    const double top = services.settings ? leadingNumber(services.settings->topMargin()) : kUnshiftedMarginMm;
    const PrintRequest request { QStringLiteral("处方"),
        services.settings ? services.settings->prescriptionPrinter() : QString(),
        prescriptionJobName(paper.values[0], paper.values[kDateField]) };
    const PrintOutcome outcome = printDocument(
        services, request, [&](PrintSurface& surface) { return printPaper(surface, paper, left, top); },
        parent);
    return outcome != PrintOutcome::NotPrinted;
}

} // namespace qv
