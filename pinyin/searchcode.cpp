#include "pinyin/searchcode.h"

#include "pinyin/gbk.h"
#include "pinyin/lettertables.h"

#include <QStringView>
#include <array>
#include <memory>

namespace qv {

namespace {

    // The tables folded once into one letter per UTF-16 code unit (0 = none), digits and ASCII letters
    // included, so a code costs one array read per character instead of up to 23 table scans.
    using LetterMap = std::array<char, 0x10000>;

    std::unique_ptr<LetterMap> foldTables()
    {
        auto letters = std::make_unique<LetterMap>();
        letters->fill(0);
        for (char d = '0'; d <= '9'; ++d)
            (*letters)[d] = d;
        for (char l = 'a'; l <= 'z'; ++l) {
            (*letters)[l] = l;
            (*letters)[l - 'a' + 'A'] = l;
        }
        // Tables in lookup order, and a character keeps the letter of the first table that lists it.
        for (int table = 0; table < kLetterTableCount; ++table) {
            for (QChar c : letterTable(table)) {
                char& slot = (*letters)[c.unicode()];
                if (slot == 0 && isGbkDoubleByte(c))
                    slot = kTableLetters[table];
            }
        }
        return letters;
    }

    const LetterMap& foldedLetters()
    {
        static const std::unique_ptr<LetterMap> letters = foldTables();
        return *letters;
    }

    // The part of a name that is coded: up to the first ASCII blank (the blank gives nothing anyway).
    QStringView codedPart(const QString& name)
    {
        const qsizetype blank = name.indexOf(u' ');
        return blank < 0 ? QStringView(name) : QStringView(name).left(blank);
    }

} // namespace

QString searchCode(const QString& name)
{
    const LetterMap& letters = foldedLetters();
    const QStringView part = codedPart(name);
    QString code(part.size(), Qt::Uninitialized);
    QChar* out = code.data();
    qsizetype length = 0;
    for (QChar c : part) {
        if (const char letter = letters[c.unicode()])
            out[length++] = QLatin1Char(letter);
    }
    code.truncate(length);
    return code;
}

QString pinyinInitial(QChar c)
{
    const char letter = foldedLetters()[c.unicode()];
    return letter ? QString(QLatin1Char(letter)) : QString();
}

QString pinyinInitialByTableScan(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return QString(c);
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        return QString(c.toLower());
    if (isGbkDoubleByte(c)) {
        for (int table = 0; table < kLetterTableCount; ++table) {
            if (letterTable(table).contains(c))
                return QString(QLatin1Char(kTableLetters[table]));
        }
    }
    return {};
}

QString searchCodeByTableScan(const QString& name)
{
    QString code;
    for (QChar c : codedPart(name))
        code += pinyinInitialByTableScan(c);
    return code;
}

} // namespace qv
