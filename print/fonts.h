#pragma once
// The layouts name the Windows fonts 宋体 and 黑体. Their metrics are part of the design: herb columns are
// aligned with blanks, which only works when a blank and a Latin letter or digit are exactly half a Chinese
// character wide, and the printed body fits the paper only with a line of about one em. Other systems lack
// these fonts, so each is mapped to an installed face with the same metrics, for the screen and for every
// print job alike; Noto CJK stays behind them for characters they lack.

#include <QFont>
#include <QString>

namespace qv {

// The face 宋体 (SimSun) is drawn with: a Song face with half-width ASCII, CJK 1 em, line about 1.05 em.
QString songSubstituteFace();
// The face 黑体 (SimHei) is drawn with: a Hei face with half-width ASCII.
QString heiSubstituteFace();

// Maps 宋体/SimSun and 黑体/SimHei to their substitutes. Safe to call more than once.
void installFontSubstitutions();

// The windows' standard font: 宋体 9 pt.
QFont standardWindowFont();

// The substitutions, and the standard font for every window of the running application.
void installDesignFonts();

} // namespace qv
