#include "catalogs/catalogindex.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <numeric>

namespace qv {

namespace {

    const QString kRowColumns = QStringLiteral(
        "select rowid, \"ID号\", \"名称\", \"用法\", \"拼音\", \"分类\", \"查询\" from \"商品\" ");

    // Rows re-read one by one up to this share of the table; beyond it the whole table is read again.
    constexpr int kRefreshShare = 4;
    // Row ids per statement when changed rows are re-read.
    constexpr int kIdsPerRead = 500;
    // Note numbers below the latest whose notes may still come when the table is read whole.
    constexpr qint64 kTrailAtLoad = 200;
    // Beyond this many note numbers after the last one done, read the table whole. Fewer than the database
    // keeps (ten thousand), so no note still to read has been dropped.
    constexpr qint64 kMostPending = 9000;
    constexpr int kPollMs = 1000;
    constexpr int kPollRestMs = 15000;

    qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

    // A code point order key for one UTF-16 unit: surrogates (above U+FFFF) after every other unit.
    inline int storeOrderUnit(char16_t u)
    {
        if (u >= 0xD800 && u <= 0xDFFF)
            return u + 0x2000;
        if (u >= 0xE000)
            return u - 0x800;
        return u;
    }

} // namespace

int compareInStoreOrder(QStringView a, QStringView b)
{
    // UTF-8 byte order is code point order; UTF-16 units compare the same way except the surrogates.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x != y)
            return storeOrderUnit(x) - storeOrderUnit(y);
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

QStringView CatalogRow::part(int i) const
{
    const int from = i == 0 ? 0 : m_ends[i - 1];
    return QStringView(m_texts).mid(from, m_ends[i] - from);
}

namespace {

    // The desk's order: 名称 (NULL first, as the store sorts it), then row id.
    bool beforeByName(const CatalogRow& a, const CatalogRow& b)
    {
        if (a.nameIsNull() != b.nameIsNull())
            return a.nameIsNull();
        if (const int c = compareInStoreOrder(a.nameView(), b.nameView()))
            return c < 0;
        return a.rowId() < b.rowId();
    }

    // The catalog window's order: ID号 descending (NULL last), then row id descending.
    bool beforeByKey(const CatalogRow& a, const CatalogRow& b)
    {
        if (a.keyIsNull() != b.keyIsNull())
            return b.keyIsNull();
        if (const int c = compareInStoreOrder(a.keyView(), b.keyView()))
            return c > 0;
        return a.rowId() > b.rowId();
    }

} // namespace

namespace {

    int categoryId(QStringList& categories, const QString& category)
    {
        const qsizetype found = categories.indexOf(category);
        if (found >= 0)
            return int(found);
        categories.append(category);
        return int(categories.size()) - 1;
    }

} // namespace

CatalogRow CatalogIndex::makeRow(const Cursor& row, Contents& out)
{
    CatalogRow r;
    r.m_rowId = row.text(0).toLongLong();
    const QString lookup = foldAsciiCase(row.text(6));
    const QString texts[5] = { row.text(1), row.text(2), row.text(3), row.text(4), lookup };
    int end = 0;
    for (int i = 0; i < 5; ++i) {
        end += int(texts[i].size());
        r.m_ends[i] = end;
    }
    r.m_texts.reserve(end);
    for (const QString& t : texts)
        r.m_texts += t;
    r.m_keyNull = row.isNull(1);
    r.m_nameNull = row.isNull(2);
    r.m_category = categoryId(out.categories, row.text(5));
    r.m_readingsAt = quint32(out.readings.size());
    appendReadingInitials(texts[1], out.readings);
    r.m_readingCount = quint16(std::min<size_t>(out.readings.size() - r.m_readingsAt, 0xFFFF));
    return r;
}

bool CatalogIndex::readRows(Database& db, const QString& where, const QVariantList& params, Contents& out,
    std::vector<CatalogRow>& rows, QString* error)
{
    const Result read = db.forEachRow(kRowColumns + where, params, [&](const Cursor& row) {
        // A row without category or lookup text never matches a search.
        if (!row.isNull(5) && !row.isNull(6))
            rows.push_back(makeRow(row, out));
        return true;
    });
    if (!read && error)
        *error = read.error;
    return read.ok;
}

bool CatalogIndex::readContents(Database& db, Contents& out, QString* error)
{
    if (!readRows(db, QString(), {}, out, out.rows, error))
        return false;
    out.slotOf.reserve(qsizetype(out.rows.size()));
    for (int slot = 0; slot < int(out.rows.size()); ++slot)
        out.slotOf.insert(out.rows[slot].rowId(), slot);
    out.byName.resize(out.rows.size());
    std::iota(out.byName.begin(), out.byName.end(), 0);
    out.byKey = out.byName;
    const std::vector<CatalogRow>& rows = out.rows;
    std::sort(out.byName.begin(), out.byName.end(),
        [&rows](int a, int b) { return beforeByName(rows[a], rows[b]); });
    std::sort(
        out.byKey.begin(), out.byKey.end(), [&rows](int a, int b) { return beforeByKey(rows[a], rows[b]); });
    out.readings.shrink_to_fit();
    return true;
}

bool CatalogIndex::startNotes(QString* error)
{
    ChangeNotesState state;
    Result notes = m_db.startCatalogNotes();
    if (notes)
        notes = m_db.catalogNotesState(&state);
    // The notes just below the latest are read now: a number missing among them may belong to a writer that
    // has not committed yet, whose change the whole read will not hold either.
    QList<ChangeNote> trail;
    const qint64 from = std::max<qint64>({ 0, state.latest - kTrailAtLoad, state.earliest - 1 });
    if (notes)
        notes = m_db.catalogNotes(from, &trail);
    if (!notes) {
        if (error)
            *error = notes.error;
        return false;
    }
    m_session = state.session;
    m_notesSeen = from;
    m_notesTop = from;
    m_applied.clear();
    m_gaps.clear();
    noteApplied(trail, state.latest);
    return true;
}

void CatalogIndex::noteApplied(const QList<ChangeNote>& notes, qint64 latest)
{
    for (const ChangeNote& note : notes) {
        m_late.remove(note.number);
        if (note.number <= m_notesSeen)
            continue;
        m_applied.insert(note.number);
        m_gaps.remove(note.number);
        m_notesTop = std::max(m_notesTop, note.number);
    }
    // Every number up to the latest the database showed was taken: one not read yet is still to come.
    m_notesTop = std::max(m_notesTop, latest);
    const qint64 now = nowMs();
    for (qint64 n = m_notesSeen + 1; n <= m_notesTop; ++n) {
        if (!m_applied.contains(n) && !m_gaps.contains(n) && !m_late.contains(n))
            m_gaps.insert(n, now);
    }
    // Up to the first number still looked for, everything is done.
    while (m_notesSeen < m_notesTop) {
        const qint64 next = m_notesSeen + 1;
        if (m_applied.remove(next) || m_late.contains(next)) {
        } else if (const auto gap = m_gaps.constFind(next);
                   gap != m_gaps.constEnd() && now - gap.value() >= m_gapWaitMs) {
            // A writer holding its transaction this long (or one that rolled back): read the table whole
            // once, and keep looking for the note in case it still comes.
            m_gaps.erase(gap);
            m_late.insert(next);
            m_readWhole = true;
        } else {
            break;
        }
        m_notesSeen = next;
    }
}

void CatalogIndex::adopt(Contents&& contents)
{
    m_c = std::move(contents);
    m_freeSlots.clear();
    ++m_loads;
    m_loaded = true;
}

CatalogIndex::~CatalogIndex()
{
    stopWatching();
    // The background read uses its own connection, but must not outlive the program's.
    if (m_reading.valid())
        m_reading.wait();
}

void CatalogIndex::startReading()
{
    if (m_loaded || m_reading.valid() || !m_db.isOpen())
        return;
    // The notes begin before the background read does, so a change made meanwhile is applied afterwards, even
    // one the read already holds (reading a row again changes nothing).
    if (!startNotes(nullptr))
        return;
    watch();
    m_reading = std::async(std::launch::async, [opener = m_db.opener()] {
        Reading reading;
        Database own;
        // The table is read once, page after page: keeping its pages would only cost memory.
        if (own.open(opener, &reading.error)) {
            own.keepLittleInMemory();
            reading.ok = readContents(own, reading.contents, &reading.error);
        }
        return reading;
    });
}

void CatalogIndex::forget()
{
    if (m_reading.valid())
        m_reading.wait();
    m_reading = {};
    m_loaded = false;
}

bool CatalogIndex::takeOverReading()
{
    if (!m_reading.valid())
        return false;
    Reading reading = m_reading.get();
    if (!reading.ok)
        return false; // read on this connection instead
    adopt(std::move(reading.contents));
    return true;
}

bool CatalogIndex::load(QString* error)
{
    m_loaded = false;
    // A read already under way in the background is not wasted.
    if (takeOverReading())
        return true;
    if (!startNotes(error))
        return false;
    Contents contents;
    if (!readContents(m_db, contents, error))
        return false;
    adopt(std::move(contents));
    return true;
}

bool CatalogIndex::ensureCurrent(QString* error)
{
    if (!m_loaded && !takeOverReading())
        return load(error);
    // The practice's server went away: the rows read before serve the desk until it is back; the notes made
    // meanwhile are applied then.
    m_serverAway = false;
    const auto serverGone = [this](const Result& r) {
        m_serverAway = !r && r.failure == FailureKind::ServerGone;
        return m_serverAway;
    };
    // No notes, notes of another session, or numbers gone back or dropped unread: read whole.
    ChangeNotesState state;
    const Result noted = m_db.catalogNotesState(&state);
    if (serverGone(noted))
        return true;
    if (!noted || state.session.isEmpty() || state.session != m_session)
        return load(error);
    if (m_notesTop == 0 && state.earliest > 0) {
        // There were no notes when the table was read: every note now kept came after.
        if (state.latest - state.earliest >= kMostPending)
            return load(error);
        m_notesSeen = m_notesTop = state.earliest - 1;
    }
    if (state.latest < m_notesTop || state.latest - m_notesSeen > kMostPending)
        return load(error);
    // A number the database no longer keeps may have been a change: read whole.
    const qint64 lateBefore = m_late.size();
    m_late.removeIf([&](qint64 n) { return n < state.earliest; });
    if (m_late.size() != lateBefore)
        return load(error);
    const qint64 now = nowMs();
    const bool lookForLate = !m_late.isEmpty() && now - m_lateLooked >= m_lateLookMs;
    if (state.latest == m_notesTop && m_gaps.isEmpty() && !lookForLate)
        return true;
    qint64 after = m_notesSeen;
    if (lookForLate) {
        m_lateLooked = now;
        after = std::min(after, *std::min_element(m_late.cbegin(), m_late.cend()) - 1);
    }
    QList<ChangeNote> notes;
    const Result read = m_db.catalogNotes(after, &notes);
    if (serverGone(read))
        return true;
    if (!read)
        return load(error);
    QList<qint64> ids;
    QSet<qint64> distinct;
    for (const ChangeNote& note : notes) {
        if (note.number <= m_notesSeen && !m_late.contains(note.number))
            continue;
        if (!m_applied.contains(note.number) && !distinct.contains(note.rowId)) {
            distinct.insert(note.rowId);
            ids << note.rowId;
        }
    }
    if (ids.size() > size() / kRefreshShare + 100)
        return load(error);
    if (!ids.isEmpty() && !applyChanges(ids, error)) {
        m_loaded = false; // read whole the next time
        return false;
    }
    noteApplied(notes, state.latest);
    if (m_readWhole) {
        m_readWhole = false;
        return load(error);
    }
    return true;
}

bool CatalogIndex::refresh(QString* error)
{
    // Nothing is read here before the first search asks, nor while the background read runs; once that is
    // done it is taken over here. Rows let go after a failed read (a locked file, a server gone half way) are
    // read again here too: otherwise the index would follow nothing until the next search.
    const bool readDone
        = m_reading.valid() && m_reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    if (m_reading.valid() ? !readDone : !m_loaded && m_loads == 0)
        return true;
    const bool current = ensureCurrent(error);
    if (current && m_changed && version() != m_versionTold) {
        m_versionTold = version();
        m_changed();
    }
    return current;
}

void CatalogIndex::watch()
{
    if (m_poll)
        return;
    m_poll = std::make_unique<QTimer>();
    m_poll->setInterval(kPollMs);
    QObject::connect(m_poll.get(), &QTimer::timeout, [this] {
        // A store that cannot be reached may hold the window for its connect timeout: after a failed look the
        // poll rests a while (searches still look at once).
        if (m_pollRest.isValid() && m_pollRest.elapsed() < kPollRestMs)
            return;
        // Rows served as they were while the server is away still count as a failed look: each look makes
        // the connection again.
        if (refresh() && !m_serverAway)
            m_pollRest.invalidate();
        else
            m_pollRest.start();
    });
    m_poll->start();
    m_listener = m_db.listenForCatalogChanges([this] { refresh(); });
}

bool CatalogIndex::pollResting() const { return m_pollRest.isValid() && m_pollRest.elapsed() < kPollRestMs; }

void CatalogIndex::stopWatching()
{
    m_listener.reset();
    m_poll.reset();
}

bool CatalogIndex::applyChanges(const QList<qint64>& rowIds, QString* error)
{
    std::vector<CatalogRow> fresh;
    for (qsizetype from = 0; from < rowIds.size(); from += kIdsPerRead) {
        const QList<qint64> chunk = rowIds.mid(from, kIdsPerRead);
        QStringList marks;
        QVariantList params;
        for (qint64 id : chunk) {
            marks << QStringLiteral("?");
            params << id;
        }
        if (!readRows(
                m_db, QStringLiteral("where rowid in (%1)").arg(marks.join(u',')), params, m_c, fresh, error))
            return false;
    }
    for (qint64 id : rowIds) {
        const auto found = m_c.slotOf.constFind(id);
        if (found == m_c.slotOf.constEnd())
            continue;
        const int slot = found.value();
        unplace(slot);
        m_c.slotOf.erase(found);
        m_c.rows[slot] = CatalogRow();
        m_freeSlots.push_back(slot);
    }
    for (CatalogRow& row : fresh) {
        int slot;
        if (m_freeSlots.empty()) {
            slot = int(m_c.rows.size());
            m_c.rows.push_back(std::move(row));
        } else {
            slot = m_freeSlots.back();
            m_freeSlots.pop_back();
            m_c.rows[slot] = std::move(row);
        }
        m_c.slotOf.insert(m_c.rows[slot].rowId(), slot);
        place(slot);
    }
    m_rowsRefreshed += int(rowIds.size());
    return true;
}

void CatalogIndex::place(int slot)
{
    const auto byName = [this](int a, int b) { return beforeByName(m_c.rows[a], m_c.rows[b]); };
    const auto byKey = [this](int a, int b) { return beforeByKey(m_c.rows[a], m_c.rows[b]); };
    m_c.byName.insert(std::lower_bound(m_c.byName.begin(), m_c.byName.end(), slot, byName), slot);
    m_c.byKey.insert(std::lower_bound(m_c.byKey.begin(), m_c.byKey.end(), slot, byKey), slot);
}

void CatalogIndex::unplace(int slot)
{
    // Both orders end on the unique row id, so the row's place is exactly where it would be inserted.
    const auto byName = [this](int a, int b) { return beforeByName(m_c.rows[a], m_c.rows[b]); };
    const auto byKey = [this](int a, int b) { return beforeByKey(m_c.rows[a], m_c.rows[b]); };
    const auto inName = std::lower_bound(m_c.byName.begin(), m_c.byName.end(), slot, byName);
    if (inName != m_c.byName.end() && *inName == slot)
        m_c.byName.erase(inName);
    const auto inKey = std::lower_bound(m_c.byKey.begin(), m_c.byKey.end(), slot, byKey);
    if (inKey != m_c.byKey.end() && *inKey == slot)
        m_c.byKey.erase(inKey);
}

bool CatalogIndex::matchesReadings(const CatalogRow& row, QStringView typed) const
{
    return readingsMatch(m_c.readings.data() + row.m_readingsAt, row.m_readingCount, typed);
}

CatalogHits CatalogIndex::search(const CatalogSearch& search)
{
    CatalogHits hits;
    if (!ensureCurrent(&hits.error))
        return hits;
    hits.ok = true;
    // A category no row carries matches nothing with "=" and every row with "<>".
    const int wanted = int(m_c.categories.indexOf(search.category));
    const QString typed = foldAsciiCase(search.typed);
    const bool byReadings = isInitialsText(typed);
    const size_t limit = search.limit < 0 ? m_c.rows.size() : size_t(search.limit);
    std::vector<CatalogRow> extra;
    for (int slot : search.order == CatalogOrder::ByName ? m_c.byName : m_c.byKey) {
        const CatalogRow& row = m_c.rows[slot];
        if ((row.m_category == wanted) == search.excludeCategory)
            continue;
        if (row.foldedLookup().contains(typed)) {
            hits.rows.push_back(row);
            if (hits.rows.size() >= limit)
                break;
        } else if (byReadings && extra.size() < limit && matchesReadings(row, typed)) {
            extra.push_back(row);
        }
    }
    hits.byLookup = int(hits.rows.size());
    for (CatalogRow& row : extra) {
        if (hits.rows.size() >= limit)
            break;
        hits.rows.push_back(std::move(row));
    }
    return hits;
}

} // namespace qv
