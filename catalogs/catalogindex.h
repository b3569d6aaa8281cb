#pragma once
// The drug catalog (商品) held in memory once for the whole program. The desk's drug picker and the drug
// catalog window search it on every keystroke; the store would need a full scan of the table (and the
// decryption of its pages) for each, far too slow on a catalog of 100,000 rows.
//
// A search answers exactly what the windows' statements would: the rows whose category is (or is not) the
// one asked for and whose lookup text 查询 contains the typed text (ASCII letters in either case, as the
// store's "like" compares them; a NULL never matches), in name order for the desk and newest key first for
// the catalog window. After those, the extra finds: rows whose name's everyday readings match typed initials
// (pinyin/readings.h), in the same order.
//
// It never serves stale rows: the database's own triggers note the row id of every insert, update and delete
// of 商品, whichever desk or program makes it (store/database.h, change notes), and the next search re-reads
// just those rows and moves them to their places. Only a first search, notes started afresh, or a change of a
// large part of the table reads it whole. A rolled-back write takes its notes with it.
//
// Notes are numbered as they are written, but on the server a writer that took its number first may commit
// last: a note can appear below numbers already applied. The index remembers the numbers it has not seen
// below the highest it applied, looks for them again at every refresh, and gives a number up only after a
// minute (a rolled-back writer leaves a number that never comes).
//
// Other desks' changes arrive without a search as well: once reading has started, the server's notifications
// wake the index at once, and a poll every second stands in for a notification missed or a connection made
// again (and for the file, which has no notifications). While the practice's server cannot be reached, the
// rows read before are served as they were.
//
// The whole read takes a good part of a second on a large catalog, so the program starts it in the background
// at start-up, on a connection of its own, while the login waits; the first search takes it over (waiting for
// the rest if it is not done) and applies the changes noted since it began.

#include "pinyin/readings.h"
#include "store/database.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace qv {

// One listable row of 商品 (a row without category or lookup text is never listed). Its texts are kept in one
// string, so that a copy costs one reference count and a copy held by a window stays valid whatever the
// index does afterwards.
class CatalogRow {
public:
    qint64 rowId() const { return m_rowId; }
    QString key() const { return part(0).toString(); } // ID号
    QString name() const { return part(1).toString(); } // 名称
    QString usage() const { return part(2).toString(); } // 用法
    QString code() const { return part(3).toString(); } // 拼音
    QStringView nameView() const { return part(1); }
    QStringView keyView() const { return part(0); }
    // 查询 with ASCII letters in lower case.
    QStringView foldedLookup() const { return part(4); }
    bool keyIsNull() const { return m_keyNull; }
    bool nameIsNull() const { return m_nameNull; }

private:
    friend class CatalogIndex;
    QStringView part(int i) const;

    QString m_texts; // key, name, usage, code, folded lookup, one after the other
    int m_ends[5] = {};
    qint64 m_rowId = 0;
    int m_category = 0; // index into the index's category names
    quint32 m_readingsAt = 0; // where the name's reading sets begin in the index's list
    quint16 m_readingCount = 0;
    bool m_keyNull = false;
    bool m_nameNull = false;
};

enum class CatalogOrder {
    ByName, // 名称, then row id: the desk's picker
    NewestKeyFirst, // ID号 descending: the catalog window
};

struct CatalogSearch {
    QString typed; // literal text
    QString category;
    bool excludeCategory = false; // every other category instead of this one
    CatalogOrder order = CatalogOrder::ByName;
    int limit = -1; // at most this many rows (code and reading finds together); -1: all
};

struct CatalogHits {
    bool ok = false;
    QString error;
    std::vector<CatalogRow> rows;
    int byLookup = 0; // rows[0 .. byLookup) matched 查询; the rest were found by their readings
};

class CatalogIndex {
public:
    explicit CatalogIndex(Database& db)
        : m_db(db)
    {
    }
    ~CatalogIndex();
    CatalogIndex(const CatalogIndex&) = delete;
    CatalogIndex& operator=(const CatalogIndex&) = delete;

    // Follows other desks' changes without waiting for a search: the server's notifications and a poll every
    // second (startReading starts it too). Needs the event loop of the thread that calls it.
    void watch();
    // Stops following them; searches still apply them.
    void stopWatching();
    // Begins the whole read in the background (see above). Without an open database, or when the change notes
    // cannot be made, it does nothing: the first search reads the table itself.
    void startReading();
    // Drops what was read (waiting for a read under way to end): the file is about to be replaced.
    void forget();

    CatalogHits search(const CatalogSearch& search);

    // How often the whole table was read, and how many single rows were re-read since (for tests and the
    // benchmark).
    int loads() const { return m_loads; }
    int rowsRefreshed() const { return m_rowsRefreshed; }
    // Goes up whenever the rows change (read whole, or changed rows read again), whoever's search or refresh
    // applied the change.
    int version() const { return m_loads + m_rowsRefreshed; }
    int size() const { return int(m_c.byName.size()); }
    // The watch's poll is resting after a failed look (for tests).
    bool pollResting() const;
    // Reads the whole table now (the first search would otherwise). False with error when it cannot.
    bool load(QString* error);
    // Applies the changes noted since the last search (or reads the table whole when it must). Does nothing
    // before the first read is done.
    bool refresh(QString* error = nullptr);
    // Called after a refresh when the rows changed since the last call: by that refresh, or by a search
    // meanwhile (a window showing the catalog lists again when its list is older than version()).
    void setChangedCallback(std::function<void()> changed)
    {
        m_changed = std::move(changed);
        m_versionTold = version();
    }
    // How long a note number missing below the highest one applied is waited for before the table is read
    // whole (a minute), and how often its note is still looked for afterwards, until the database drops it
    // (every five seconds). Tests shorten both.
    void setNoteWaits(qint64 gapWaitMs, qint64 lateLookMs)
    {
        m_gapWaitMs = gapWaitMs;
        m_lateLookMs = lateLookMs;
    }

private:
    // What a whole read gives: every listable row and both orders.
    struct Contents {
        std::vector<CatalogRow> rows; // by slot; slots of deleted rows are reused
        QHash<qint64, int> slotOf; // row id -> slot
        std::vector<int> byName; // slots in name order
        std::vector<int> byKey; // slots newest key first
        std::vector<InitialSet> readings; // the reading sets of every name, one run per row
        QStringList categories;
    };
    struct Reading {
        bool ok = false;
        QString error;
        Contents contents;
    };

    bool ensureCurrent(QString* error);
    void noteApplied(const QList<ChangeNote>& notes, qint64 latest);
    bool takeOverReading();
    bool startNotes(QString* error);
    void adopt(Contents&& contents);
    static bool readContents(Database& db, Contents& out, QString* error);
    bool applyChanges(const QList<qint64>& rowIds, QString* error);
    static bool readRows(Database& db, const QString& where, const QVariantList& params, Contents& out,
        std::vector<CatalogRow>& rows, QString* error);
    static CatalogRow makeRow(const Cursor& row, Contents& out);
    void place(int slot);
    void unplace(int slot);
    bool matchesReadings(const CatalogRow& row, QStringView typed) const;

    Database& m_db;
    Contents m_c;
    std::vector<int> m_freeSlots;
    std::future<Reading> m_reading; // the background read, until the first search takes it over
    QString m_session; // the notes' session token when the table was read
    qint64 m_notesSeen = 0; // every note up to this number is applied (or given up)
    qint64 m_notesTop = 0; // the highest note number applied
    QSet<qint64> m_applied; // numbers above m_notesSeen applied
    QHash<qint64, qint64> m_gaps; // numbers above m_notesSeen not seen yet -> when first missed (ms)
    QSet<qint64> m_late; // numbers waited for too long: the table was read whole, their notes still count
    bool m_readWhole = false; // a number was waited for too long
    qint64 m_lateLooked = 0; // when the late numbers were last looked for (ms)
    qint64 m_gapWaitMs = 60000;
    qint64 m_lateLookMs = 5000;
    std::unique_ptr<CatalogListener> m_listener;
    std::unique_ptr<QTimer> m_poll;
    QElapsedTimer m_pollRest; // running after a failed poll
    bool m_serverAway = false; // the last look found the practice's server gone
    std::function<void()> m_changed;
    bool m_loaded = false;
    int m_loads = 0;
    int m_rowsRefreshed = 0;
    int m_versionTold = 0; // the version the changed callback last heard of
};

// Negative, zero or positive as a sorts before, with or after b in the store's text order (UTF-8 bytes).
int compareInStoreOrder(QStringView a, QStringView b);

} // namespace qv
