// Search codes of arbitrary names: only "a"–"z" and "0"–"9", never longer than the name, cut at the
// first ASCII blank, and always the same as the slow definition by table scan.

#include "fuzz/fuzzinput.h"
#include "pinyin/searchcode.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString name = fuzz::textFromBytes(data, size);
    const QString code = searchCode(name);

    const qsizetype blank = name.indexOf(u' ');
    const QString codedPart = blank < 0 ? name : name.left(blank);
    QV_FUZZ_CHECK(code.size() <= codedPart.size());
    for (QChar c : code)
        QV_FUZZ_CHECK((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'));
    if (blank >= 0)
        QV_FUZZ_CHECK(searchCode(codedPart) == code);

    QV_FUZZ_CHECK(code == searchCodeByTableScan(name));
    QString byCharacter;
    for (QChar c : codedPart) {
        const QString initial = pinyinInitial(c);
        QV_FUZZ_CHECK(initial == pinyinInitialByTableScan(c));
        QV_FUZZ_CHECK(initial.size() <= 1);
        if (c.unicode() < 0x80 && c.isLetterOrNumber())
            QV_FUZZ_CHECK(initial == QString(c.toLower()));
        byCharacter += initial;
    }
    QV_FUZZ_CHECK(byCharacter == code);
    return 0;
}
