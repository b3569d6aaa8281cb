#pragma once
// The layout rules of the prescription body, free of any widget: display columns, herb alignment, and the
// text each kind of chosen row adds. Inside the program the body's lines end in "\n" (what the editor uses);
// the store and the clipboard see CR LF, converted only by bodyToStored() / bodyFromStored().

#include <QString>
#include <QStringView>

namespace qv {

// A herb entry is right-aligned in this many display columns.
inline constexpr int kHerbEntryColumns = 13;
// A herb inserted with the caret past this column starts a new herb row (three entries end at column 40).
inline constexpr int kHerbRowLastColumn = 31;
// The indent and label that open a usage line.
inline constexpr char16_t kUsageLineStart[] = u"    用法：";

// Width in display columns: 2 for each character GBK writes in two bytes, 1 for any other.
int displayWidth(QStringView text);

// The text right-aligned in 13 display columns by leading blanks; wider texts come back unchanged.
QString alignHerbEntry(const QString& text);

// The 1-based display column of the caret at position (an index into text) within the caret's line.
int caretColumn(QStringView text, int position);

// What a chosen row of "西药", "其他" or "用法" appends at the end of the body:
// "name\usage" gives the drug line, the usage line and an empty line; a row holding "用法" gives an indented
// usage line and an empty line; anything else gives the row and one line break.
QString drugRowAppendText(const QString& row);

// What a chosen herb inserts at a caret standing at caretColumn: the aligned entry, after an empty line when
// the caret's row already holds three entries.
QString herbInsertText(const QString& row, int caretColumn);

// What a prescription set inserts at the end of a body whose last line reaches caretColumn: it starts on a
// line of its own and is followed by an empty line. content uses "\n".
QString prescriptionSetInsertText(const QString& content, int caretColumn);

// What a quick-insert label inserts at the caret: a usage caption is followed by an empty line.
QString quickInsertText(const QString& caption);

// The one conversion between the editor's "\n" and the stored CR LF (a lone CR also counts as a line end).
QString bodyToStored(const QString& editorText);
QString bodyFromStored(const QString& storedText);

} // namespace qv
