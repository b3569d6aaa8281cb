#include "pdfreader.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace qv::test {

namespace {

    QByteArray runTool(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
            return {};
        }
        return process.readAllStandardOutput();
    }

    QString unescapeHtml(QString text)
    {
        return text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
    }

} // namespace

PdfWord PdfText::word(const QString& text) const
{
    QList<PdfWord> found;
    for (const PdfWord& w : words) {
        if (w.text == text)
            found.append(w);
    }
    if (found.size() != 1) {
        QStringList all;
        for (const PdfWord& w : words)
            all << w.text;
        QTest::qFail(qPrintable(QStringLiteral("word \"%1\" found %2 times among: %3")
                                    .arg(text)
                                    .arg(found.size())
                                    .arg(all.join(' '))),
            __FILE__, __LINE__);
        return {};
    }
    return found.first();
}

PdfText readPdfText(const QString& pdfPath)
{
    const QString html = QString::fromUtf8(runTool("pdftotext", { "-bbox", pdfPath, "-" }));
    static const QRegularExpression tag(
        R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>)re");
    PdfText result;
    for (auto match = tag.globalMatch(html); match.hasNext();) {
        const auto m = match.next();
        if (!m.captured(1).isEmpty()) {
            result.pageSizes.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()));
            continue;
        }
        PdfWord word;
        word.page = result.pageSizes.size();
        word.xMin = m.captured(3).toDouble();
        word.yMin = m.captured(4).toDouble();
        word.xMax = m.captured(5).toDouble();
        word.yMax = m.captured(6).toDouble();
        word.text = unescapeHtml(m.captured(7)).normalized(QString::NormalizationForm_KC);
        result.words.append(word);
    }
    return result;
}

QList<PdfFont> pdfFonts(const QString& pdfPath)
{
    // A table under a rule of dashes; the rule's gaps mark the columns (the type column holds blanks).
    const QStringList lines = QString::fromUtf8(runTool("pdffonts", { pdfPath })).split('\n');
    if (lines.size() < 2)
        return {};
    QList<int> starts { 0 };
    const QString rule = lines.at(1);
    for (int i = 1; i < rule.size(); ++i) {
        if (rule.at(i) == '-' && rule.at(i - 1) == ' ')
            starts << i;
    }
    const int embColumn = 3;
    QList<PdfFont> fonts;
    for (const QString& line : lines.mid(2)) {
        if (line.trimmed().isEmpty() || starts.size() <= embColumn)
            continue;
        PdfFont font;
        font.name = line.section(' ', 0, 0);
        font.embedded = line.mid(starts.at(embColumn), 3).trimmed() == QStringLiteral("yes");
        fonts << font;
    }
    return fonts;
}

QStringList pdfFontNames(const QString& pdfPath)
{
    QStringList names;
    for (const PdfFont& font : pdfFonts(pdfPath))
        names << font.name;
    return names;
}

GreyPage renderPage(const QString& pdfPath, int page, int dotsPerInch)
{
    QTemporaryDir dir;
    const QString stem = dir.filePath("page");
    runTool("pdftoppm",
        { "-gray", "-singlefile", "-f", QString::number(page), "-l", QString::number(page), "-r",
            QString::number(dotsPerInch), pdfPath, stem });
    QFile file(stem + ".pgm");
    GreyPage result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    // Binary PGM: "P5", width, height, maximum value, one blank, then the pixels.
    const QByteArray data = file.readAll();
    QList<QByteArray> header;
    int pos = 0;
    while (header.size() < 4) {
        while (pos < data.size() && QChar(data.at(pos)).isSpace())
            ++pos;
        const int start = pos;
        while (pos < data.size() && !QChar(data.at(pos)).isSpace())
            ++pos;
        header.append(data.mid(start, pos - start));
    }
    result.width = header.at(1).toInt();
    result.height = header.at(2).toInt();
    result.pixels = data.mid(pos + 1, result.width * result.height);
    return result;
}

} // namespace qv::test
