#pragma once
// The archive browser of the desk without its widgets: the query behind the archive list, the text of a list
// line, the date range buttons and the placement of the delete panel.
// Every list line keeps the key of its row, so loading and deleting act on that row, never on "the n-th row"
// of a query run again with other filters.

#include "desk/archivelines.h"
#include "store/database.h"

#include <QDate>
#include <QList>
#include <QPointF>
#include <QString>

namespace qv {

// The message of a query refused for its dates. A store that does not answer is reported with its own
// reason instead (ArchiveResult::storeFailed).
QString archiveDateMessage();

// owner[species,sex,age,yyyy-mm-dd], without added blanks.
QString archiveLineText(const QString& owner, const QString& species, const QString& sex, const QString& age,
    const QString& date);

struct ArchiveResult {
    bool ok = false;
    // Why it failed. For bad dates a text for a log or a test: the user sees archiveDateMessage().
    QString error;
    bool storeFailed = false; // the dates were right but the store did not answer: error is the store's text
    ArchiveLines lines;
};

// The rows whose owner contains ownerFilter (empty: all) and whose date lies between the two dates, both
// inclusive, newest key first. Fails when either date is not a date (a start after the end is no failure:
// it finds nothing) or when the store does not answer. The owner text is searched for as typed, with
// apostrophes, "%" and "_" taken literally.
ArchiveResult queryArchive(
    Database& db, const QString& ownerFilter, const QString& startDate, const QString& endDate);

// The texts the date buttons put into the start and end boxes.
struct ArchiveRange {
    QString start;
    QString end;
};
// "今   日": today alone.
ArchiveRange todayRange(QDate today);
// Typing an owner name: the last ten years, up to today.
ArchiveRange ownerTypingRange(QDate today);
// "<<" (days -1) and ">>" (days +1): the single day before or after the end date. When the end date is not a
// date, the start stays and the end takes it.
ArchiveRange steppedDayRange(const QString& start, const QString& end, int days);

// Where the delete panel opens for a right click at mouse (inside a list whose top-left corner is
// listTopLeft), in twips on the window: 60 below and right of the mouse, its top no lower than 6960.
QPointF deletePanelPosition(QPointF listTopLeft, QPointF mouse);
inline constexpr double kDeletePanelLowestTop = 6960;

} // namespace qv
