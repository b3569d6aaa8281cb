#include "print/fonts.h"

#include <QGuiApplication>

namespace qv {

QString songSubstituteFace() { return QStringLiteral("AR PL UMing CN"); }

QString heiSubstituteFace() { return QStringLiteral("WenQuanYi Zen Hei Mono"); }

void installFontSubstitutions()
{
    // Without the Noto fallback Qt would pick a Japanese face for what the substitutes lack.
    const QStringList song = { songSubstituteFace(), QStringLiteral("Noto Serif CJK SC") };
    const QStringList hei = { heiSubstituteFace(), QStringLiteral("Noto Sans CJK SC") };
    for (const QString& name : { QStringLiteral("宋体"), QStringLiteral("SimSun") }) {
        QFont::removeSubstitutions(name);
        QFont::insertSubstitutions(name, song);
    }
    for (const QString& name : { QStringLiteral("黑体"), QStringLiteral("SimHei") }) {
        QFont::removeSubstitutions(name);
        QFont::insertSubstitutions(name, hei);
    }
}

QFont standardWindowFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(9);
    return font;
}

void installDesignFonts()
{
    installFontSubstitutions();
    QGuiApplication::setFont(standardWindowFont());
}

} // namespace qv
