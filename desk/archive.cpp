#include "desk/archive.h"
#include "desk/prescriptionrecord.h"

namespace qv {

QString archiveDateMessage() { return QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。"); }

QString archiveLineText(
    const QString& owner, const QString& species, const QString& sex, const QString& age, const QString& date)
{
    return owner + u'[' + species + u',' + sex + u',' + age + u',' + date + u']';
}

namespace {

    // "yyyy-mm-dd", as the program stores a date.
    bool isPlainIsoDate(QByteArrayView date) { return date.size() == 10 && date[4] == '-' && date[7] == '-'; }

} // namespace

ArchiveResult queryArchive(
    Database& db, const QString& ownerFilter, const QString& startDate, const QString& endDate)
{
    ArchiveResult result;
    const std::optional<QDate> start = parseTypedDate(startDate);
    const std::optional<QDate> end = parseTypedDate(endDate);
    if (!start || !end) {
        result.error = QStringLiteral("起止日期不是日期：“%1”至“%2”").arg(startDate, endDate);
        return result;
    }
    // Only the columns of the list line are read, straight from the store: the list can be long. With an
    // owner filter, the date index (which holds the owner too) picks the matching rows first, so ten years of
    // prescriptions are searched in the index and only the owner's rows are read from the archive.
    const QString filter = QStringLiteral("lower(\"0\") like ? escape '\\' and \"6\" between ? and ?");
    const QString where = ownerFilter.isEmpty()
        ? filter
        : QStringLiteral("rowid in (select rowid from \"档案\" where %1)").arg(filter);
    const Result rows = db.forEachRow(QStringLiteral("select \"序号\", \"0\", \"2\", \"3\", \"5\", \"6\" "
                                                     "from \"档案\" where %1 order by \"序号\" desc")
                                          .arg(where),
        { containsPattern(ownerFilter), isoDate(*start), isoDate(*end) }, [&](const Cursor& row) {
            const QByteArrayView date = row.utf8(5);
            if (!isPlainIsoDate(date)) {
                result.lines.append(row.text(0),
                    archiveLineText(
                        row.text(1), row.text(2), row.text(3), row.text(4), storedDateText(row.text(5))));
                return true;
            }
            // The usual row, a month holds thousands: the line goes into the list's buffer as the store
            // gave it, to be decoded when it is shown.
            result.lines.append(row.utf8(0),
                { row.utf8(1), "[", row.utf8(2), ",", row.utf8(3), ",", row.utf8(4), ",", date, "]" });
            return true;
        });
    if (!rows) {
        // The lines read before the failure stay in the result; the desk shows none of them.
        result.error = rows.error;
        result.storeFailed = true;
        return result;
    }
    result.ok = true;
    return result;
}

ArchiveRange todayRange(QDate today) { return { isoDate(today), isoDate(today) }; }

ArchiveRange ownerTypingRange(QDate today) { return { isoDate(today.addYears(-10)), isoDate(today) }; }

ArchiveRange steppedDayRange(const QString& start, const QString& end, int days)
{
    const std::optional<QDate> day = parseTypedDate(end);
    const QString newStart = day ? isoDate(day->addDays(days)) : start;
    return { newStart, newStart };
}

QPointF deletePanelPosition(QPointF listTopLeft, QPointF mouse)
{
    const QPointF at = listTopLeft + mouse + QPointF(60, 60);
    return { at.x(), qMin(at.y(), kDeletePanelLowestTop) };
}

} // namespace qv
