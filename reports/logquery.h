#pragma once
// Reading the outpatient log: the saved prescriptions of a date range, oldest key first, as the log window,
// its export and its printed book show them; and the count of the statistics window.

#include "reports/logdates.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace qv {

class Database;

// One prescription as the log shows it. The fields come in the log's column order.
struct LogRecord {
    QString owner; // [0]  动物主人/饲养单位
    QString recordNumber; // [1]  档案号
    QString species; // [2]  动物种类
    QString sex; // [3]  性别
    QString weight; // [4]  体重/数量
    QString age; // [5]  年(日)龄
    QString veterinarian; // [7]  执业兽医
    QString date; // [6]  开具日期, "yyyy-mm-dd"

    static constexpr int kFieldCount = 8;
    // Field i in column order (0 … 7).
    const QString& field(int i) const;
};

// The records of a log query as the store gave them: every field in UTF-8 in one buffer, decoded when it is
// asked for. The window shows 20 of up to 30,000 records at a time, so a query costs no text per field.
class LogRecords {
public:
    size_t size() const { return m_ends.size() / LogRecord::kFieldCount; }
    bool empty() const { return m_ends.empty(); }
    // Field i of a record, in column order.
    QString field(size_t record, int i) const;
    LogRecord at(size_t record) const;

    void append(const std::array<QByteArrayView, LogRecord::kFieldCount>& fields);
    void append(const LogRecord& record);

    // Walks the records decoded, one at a time.
    class Iterator {
    public:
        Iterator(const LogRecords& records, size_t at)
            : m_records(&records)
            , m_at(at)
        {
        }
        LogRecord operator*() const { return m_records->at(m_at); }
        Iterator& operator++()
        {
            ++m_at;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return m_at != other.m_at; }

    private:
        const LogRecords* m_records;
        size_t m_at;
    };
    Iterator begin() const { return { *this, 0 }; }
    Iterator end() const { return { *this, size() }; }

private:
    QByteArray m_bytes;
    // Where each field ends in m_bytes; a field starts where the one before it ends.
    std::vector<qsizetype> m_ends;
};

// The log window shows at most this many records; a larger range is refused.
inline constexpr int kLogViewLimit = 30000;

struct LogQueryResult {
    bool ok = false;
    QString error; // why the store refused the query
    bool overLimit = false; // more records than the limit asked for; records is then empty
    LogRecords records;
};

// The prescriptions whose date lies in the range (both days included), in ascending 序号. limit < 0 reads
// them all; otherwise more than limit records give overLimit and no records.
LogQueryResult queryLog(Database& db, const DateRange& range, int limit = -1);

// How many prescriptions lie in the range (both days included). -1 when the store refused, with *error set.
int countPrescriptions(Database& db, const DateRange& range, QString* error = nullptr);

} // namespace qv
