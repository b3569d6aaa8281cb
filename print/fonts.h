#pragma once

namespace qv {

// The layouts name Windows fonts (宋体, 黑体) that other systems lack; map them to the Noto CJK faces, which
// otherwise would fall back to a Japanese face. Safe to call more than once (Qt keeps each substitute once).
void installFontSubstitutions();

} // namespace qv
