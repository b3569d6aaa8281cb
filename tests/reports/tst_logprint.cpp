// The printed log book: recorded drawing operations for the layout, and a real PDF read back with poppler for
// the positions on paper.

#include "archiverows.h"
#include "print/fonts.h"
#include "print/printoutcome.h"
#include "print/qtprint.h"
#include "print/recordingprint.h"
#include "reports/logprint.h"
#include "reports/outpatientlogwindow.h"
#include "tests/print/pdfreader.h"
#include "tests/support/testenv.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

constexpr double kTwipsPerMm = 1440 / 25.4;
constexpr double kPointsPerMm = 72 / 25.4;

LogRecords records(int n)
{
    LogRecords out;
    for (int i = 1; i <= n; ++i) {
        const QString s = QString::number(i);
        out.append(
            { "OWNER" + s, "NO" + s, "SP" + s, "SEX" + s, "W" + s, "AGE" + s, "VET" + s, "2020-01-0" + s });
    }
    return out;
}

// Where millimetre position (x, y) of the book lands, in twips from the printable corner, with the margins.
QPointF onPaper(double x, double y, double left, double top)
{
    return QPointF((x + left) * kTwipsPerMm, (y + top - 10) * kTwipsPerMm);
}

bool near(QPointF a, QPointF b) { return qAbs(a.x() - b.x()) < 1 && qAbs(a.y() - b.y()) < 1; }

QList<PrintedItem> onPage(const QList<PrintedItem>& items, int page)
{
    QList<PrintedItem> out;
    for (const PrintedItem& item : items)
        if (item.page == page)
            out << item;
    return out;
}

const PrintedItem* textItem(const QList<PrintedItem>& items, const QString& text)
{
    for (const PrintedItem& item : items)
        if (item.text == text)
            return &item;
    return nullptr;
}

// Every job for the default printer goes into one PDF file.
class PdfPrinter final : public PrinterAccess {
public:
    explicit PdfPrinter(QString path)
        : m_path(std::move(path))
    {
    }
    QStringList installedPrinters() const override { return { "PDF" }; }
    QString defaultPrinterName() const override { return "PDF"; }
    std::unique_ptr<PrintSurface> defaultPrinterSurface() override { return m_qt.pdfSurface(m_path); }
    std::unique_ptr<PrintSurface> pdfSurface(const QString& path) override { return m_qt.pdfSurface(path); }

private:
    QString m_path;
    QtPrinterAccess m_qt;
};

} // namespace

class LogPrintTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void fifteenRecordsMakeTwoFullyFramedLandscapePages()
    {
        RecordingPrintSurface surface;
        QVERIFY(printLogBook(surface, records(15), 0, 10));
        const PrintRecording& rec = surface.recording();
        QCOMPARE(rec.pagesPerFinishedJob, QList<int>({ 2 }));

        for (int page = 1; page <= 2; ++page) {
            const QList<PrintedItem> lines = onPage(rec.lines(), page);
            QCOMPARE(lines.size(), 2 + 16 + 10);
            const QList<PrintedItem> texts = onPage(rec.texts(), page);
            const PrintedItem* title = textItem(texts, "门 诊 日 志 登 记 本");
            QVERIFY(title);
            QVERIFY(near(title->at, onPaper(90, 0, 0, 10)));
            QCOMPARE(title->fontName, QStringLiteral("宋体"));
            QCOMPARE(title->fontSize, 26.0);
            QVERIFY(title->bold);
            for (const char* heading : { "动物主人/饲养单位", "档案号", "动物种类", "动物性别", "体重/数量",
                     "年(日)龄", "执业兽医", "开具日期", "备注" }) {
                const PrintedItem* h = textItem(texts, QString::fromUtf8(heading));
                QVERIFY2(h, heading);
                QCOMPARE(h->fontSize, 11.0);
                QVERIFY(!h->bold);
                QCOMPARE(h->at.y(), onPaper(0, 18, 0, 10).y());
            }
            const PrintedItem* number = textItem(texts, QStringLiteral("第 %1 页").arg(page));
            QVERIFY(number);
            QVERIFY(near(number->at, onPaper(240, 166, 0, 10)));
            for (const PrintedItem& item : onPage(rec.items, page))
                QCOMPARE(item.orientation, Orientation::Landscape);
        }
        // Fourteen records on page 1, the fifteenth alone at the top of page 2.
        QCOMPARE(onPage(rec.texts(), 1).size(), 11 + 14 * 8);
        QCOMPARE(onPage(rec.texts(), 2).size(), 11 + 8);
        // The items found point into this list, so it must outlive them.
        const auto texts = rec.texts();
        const PrintedItem* fifteenth = textItem(texts, "OWNER15");
        QCOMPARE(fifteenth->page, 2);
        QVERIFY(near(fifteenth->at, onPaper(2, 28, 0, 10)));
        QCOMPARE(textItem(texts, "OWNER14")->page, 1);
        QVERIFY(near(textItem(texts, "OWNER14")->at, onPaper(2, 158, 0, 10)));
    }

    // A long book tells of every page once it is drawn, so the window can show how far it is.
    void everyDrawnPageIsReportedWithThePageCount()
    {
        RecordingPrintSurface surface;
        QList<QPair<int, int>> heard;
        QList<int> lastRecordPage;
        QVERIFY(printLogBook(surface, records(29), 0, 10, [&](int page, int pages) {
            heard << qMakePair(page, pages);
            lastRecordPage << surface.recording().texts().last().page;
        }));
        QCOMPARE(heard, (QList<QPair<int, int>> { { 1, 3 }, { 2, 3 }, { 3, 3 } }));
        QCOMPARE(lastRecordPage, (QList<int> { 1, 2, 3 }));
    }

    void recordValuesStandInTheirBands()
    {
        RecordingPrintSurface surface;
        QVERIFY(printLogBook(surface, records(3), 0, 10));
        const QList<PrintedItem> texts = surface.recording().texts();
        const QStringList values = { "OWNER2", "NO2", "SP2", "SEX2", "W2", "AGE2", "VET2", "2020-01-02" };
        const double xs[] = { 2, 52, 95, 118, 135, 155, 172, 197 };
        for (int i = 0; i < values.size(); ++i) {
            const PrintedItem* item = textItem(texts, values[i]);
            QVERIFY2(item, qPrintable(values[i]));
            QVERIFY2(near(item->at, onPaper(xs[i], 38, 0, 10)), qPrintable(values[i]));
            QVERIFY(!item->bold);
        }
        // Nothing is printed in the remarks band below the headings.
        for (const PrintedItem& item : texts)
            if (item.at.y() > onPaper(0, 25, 0, 10).y() && item.at.y() < onPaper(0, 165, 0, 10).y())
                QVERIFY(item.at.x() < onPaper(225, 0, 0, 10).x());
    }

    void marginsMoveTheWholeBook()
    {
        RecordingPrintSurface surface;
        QVERIFY(printLogBook(surface, records(1), 15, 20));
        const PrintRecording& rec = surface.recording();
        QVERIFY(near(textItem(rec.texts(), "门 诊 日 志 登 记 本")->at, onPaper(90, 0, 15, 20)));
        QVERIFY(near(
            textItem(rec.texts(), "门 诊 日 志 登 记 本")->at, QPointF(105 * kTwipsPerMm, 10 * kTwipsPerMm)));
        int leftRules = 0;
        for (const PrintedItem& line : rec.lines())
            if (near(line.at, onPaper(0, 15, 15, 20)) && near(line.to, onPaper(0, 165, 15, 20)))
                ++leftRules;
        QCOMPARE(leftRules, 1);
    }

    void noRecordsPrintNothing()
    {
        RecordingPrintSurface surface;
        QVERIFY(printLogBook(surface, {}, 15, 20));
        QVERIFY(surface.recording().items.isEmpty());
        QCOMPARE(surface.recording().finishedJobs(), 0);
    }

    // Through the window

    void thePrintButtonUsesTheTypedMarginsAndLeavesThePrinterAlone()
    {
        TestEnv env;
        RecordingPrinterAccess printers;
        printers.defaultPrinter = "P1";
        env.services.printers = &printers;
        insertPrescriptions(env.db, 15, "2020-04-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-04-01");
        w.toDate->setText("2020-04-01");
        w.leftMargin->setText("5mm");
        w.topMargin->setText("x");
        QTest::mouseClick(w.printButton, Qt::LeftButton);
        QVERIFY(env.messages.texts().isEmpty());
        QVERIFY(printers.last());
        QCOMPARE(printers.last()->pagesPerFinishedJob, QList<int>({ 2 }));
        // "5mm" counts 5 mm, "x" counts 0 mm.
        QVERIFY(near(textItem(printers.last()->texts(), "OWNER000001")->at, onPaper(2, 28, 5, 0)));

        // The next job on the default printer starts from the printer's own orientation.
        auto next = printers.defaultPrinterSurface();
        next->printText("later");
        QVERIFY(next->endDocument());
        QCOMPARE(printers.last()->items.first().orientation, Orientation::PrinterDefault);
    }

    void anEmptyRangePrintsNothingAndSaysNothing()
    {
        TestEnv env;
        RecordingPrinterAccess printers;
        printers.defaultPrinter = "P1";
        env.services.printers = &printers;
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("1999-01-01");
        w.toDate->setText("1999-12-31");
        w.printLog();
        QVERIFY(env.messages.texts().isEmpty());
        QVERIFY(!printers.last() || printers.last()->items.isEmpty());
    }

    void aBadDateOrNoPrinterIsSaidPlainly()
    {
        TestEnv env;
        RecordingPrinterAccess printers; // no default printer
        env.services.printers = &printers;
        insertPrescriptions(env.db, 2, "2020-04-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-04-01");
        w.toDate->setText("2020-04-31");
        w.printLog();
        QCOMPARE(env.messages.last(), QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。"));
        QVERIFY(!printers.last());

        w.toDate->setText("2020-04-30");
        w.printLog();
        QCOMPARE(env.messages.texts().size(), 2);
        // Said as the desk says it, with the same offer of a PDF.
        QCOMPARE(env.messages.last(), savePdfQuestion(QStringLiteral("门诊日志"), noPrinterMessage()));
        QCOMPARE(env.messages.shown().last().icon, Messages::Icon::Warning);
        QCOMPARE(printers.last()->finishedJobs(), 0);
        env.messages.setNextAnswers({ true });
        env.fileDialogs.next = env.dir.filePath("日志");
        w.printLog();
        QCOMPARE(printers.pdfPaths(), QStringList { env.dir.filePath("日志.pdf") });
        QCOMPARE(printers.last()->pagesPerFinishedJob, QList<int>({ 1 }));
        QCOMPARE(printers.last()->jobNames, QStringList { QStringLiteral("门诊日志 2020-04-01–2020-04-30") });
    }

    void thePdfBookStandsWhereTheMarginsPutIt()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath("log.pdf");
        TestEnv env; // the template margins are 15 and 20
        PdfPrinter printers(pdf);
        env.services.printers = &printers;
        // Latin letters only: poppler reads digits in the CJK face back unreliably.
        for (char c = 'A'; c <= 'O'; ++c)
            insertPrescription(env.db,
                { QStringLiteral("K%1").arg(c), "2020-04-01", QStringLiteral("OWNER%1").arg(c),
                    QStringLiteral("NO%1").arg(c) });
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-04-01");
        w.toDate->setText("2020-04-01");
        w.printLog();
        QVERIFY(env.messages.texts().isEmpty());

        const PdfText text = readPdfText(pdf);
        QCOMPARE(text.pageSizes.size(), 2);
        for (const QSizeF& page : text.pageSizes)
            QVERIFY(page.width() > page.height()); // landscape
        auto at = [](const PdfWord& word, int page, double xMm, double yMm) {
            const double tolerance = 0.8; // points
            return word.page == page && qAbs(word.xMin - xMm * kPointsPerMm) < tolerance
                && qAbs(word.yMin - yMm * kPointsPerMm) < tolerance;
        };
        // Book position + (15, 20 - 10) mm.
        QVERIFY(at(text.word("OWNERA"), 1, 17, 38));
        QVERIFY(at(text.word("NOA"), 1, 67, 38));
        QVERIFY(at(text.word("OWNERN"), 1, 17, 168));
        QVERIFY(at(text.word("OWNERO"), 2, 17, 38));
        bool pageTwoNumbered = false;
        for (const PdfWord& word : text.words)
            pageTwoNumbered
                = pageTwoNumbered || (word.text == "2" && word.page == 2 && word.xMin > 255 * kPointsPerMm);
        QVERIFY(pageTwoNumbered);

        // The title's seven characters stand above its double rule (book y 10 mm) on every page.
        for (int page = 1; page <= 2; ++page) {
            int titleWords = 0;
            for (const PdfWord& word : text.words) {
                if (word.page != page || word.yMin > 20 * kPointsPerMm || word.xMin < 100 * kPointsPerMm)
                    continue;
                ++titleWords;
                QVERIFY2(word.yMax <= 20 * kPointsPerMm,
                    qPrintable(
                        QStringLiteral("%1 reaches %2 mm").arg(word.text).arg(word.yMax / kPointsPerMm)));
            }
            QCOMPARE(titleWords, 7);
        }
    }
};

QTEST_MAIN(LogPrintTest)
#include "tst_logprint.moc"
