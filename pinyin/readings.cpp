#include "pinyin/readings.h"

#include "pinyin/gbk.h"
#include "pinyin/readingtables.h"
#include "pinyin/searchcode.h"

#include <array>
#include <memory>

namespace qv {

namespace {

    constexpr InitialSet letterBit(char16_t lower) { return InitialSet(1) << (lower - u'a'); }
    constexpr InitialSet digitBit(char16_t digit) { return InitialSet(1) << (26 + (digit - u'0')); }

    // The set of one typed character; 0 for anything but an ASCII letter or digit.
    InitialSet typedBit(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            return letterBit(u);
        if (u >= u'A' && u <= u'Z')
            return letterBit(u - u'A' + u'a');
        if (u >= u'0' && u <= u'9')
            return digitBit(u);
        return 0;
    }

    // One set per UTF-16 code unit, made once: letters of the readings, the search code's own letter, and the
    // ASCII letters and digits themselves.
    using SetMap = std::array<InitialSet, 0x10000>;

    std::unique_ptr<SetMap> buildSets()
    {
        auto sets = std::make_unique<SetMap>();
        sets->fill(0);
        for (int letter = 0; letter < kReadingLetterCount; ++letter) {
            for (QChar c : readingList(letter))
                (*sets)[c.unicode()] |= InitialSet(1) << letter;
        }
        for (char32_t u = 1; u < 0x10000; ++u) {
            const QChar c { char16_t(u) };
            if (const InitialSet own = typedBit(c)) {
                (*sets)[u] = own;
                continue;
            }
            const QString initial = pinyinInitial(c);
            if (!initial.isEmpty())
                (*sets)[u] |= letterBit(initial.at(0).unicode());
        }
        return sets;
    }

    const SetMap& characterSets()
    {
        static const std::unique_ptr<SetMap> sets = buildSets();
        return *sets;
    }

} // namespace

void appendReadingInitials(QStringView name, std::vector<InitialSet>& out)
{
    const SetMap& sets = characterSets();
    const qsizetype blank = name.indexOf(u' ');
    for (QChar c : blank < 0 ? name : name.left(blank)) {
        if (const InitialSet s = sets[c.unicode()])
            out.push_back(s);
    }
}

std::vector<InitialSet> readingInitials(QStringView name)
{
    std::vector<InitialSet> out;
    appendReadingInitials(name, out);
    return out;
}

bool isInitialsText(QStringView typed)
{
    if (typed.isEmpty())
        return false;
    for (QChar c : typed) {
        if (!typedBit(c))
            return false;
    }
    return true;
}

bool readingsMatch(const InitialSet* sets, qsizetype count, QStringView typed)
{
    const qsizetype length = typed.size();
    if (length == 0 || length > count)
        return false;
    for (qsizetype start = 0; start + length <= count; ++start) {
        qsizetype k = 0;
        while (k < length && (sets[start + k] & typedBit(typed[k])))
            ++k;
        if (k == length)
            return true;
    }
    return false;
}

} // namespace qv
