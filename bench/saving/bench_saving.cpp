// Saving a prescription with a long body, and the archive query over a large archive.

#include "bench/figures.h"
#include "desk/archive.h"
#include "desk/archivelist.h"
#include "desk/prescriptiondesk.h"
#include "desk/prescriptionrecord.h"
#include "store/template/templatedb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace qv;

namespace {

template <typename F> double millis(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

PrescriptionRecord prescription(const QString& key, const QString& date, int bodyLines)
{
    PrescriptionRecord r;
    r.key = key;
    r.fields[0] = QStringLiteral("青禾养殖场");
    r.fields[1] = key.left(14);
    r.fields[2] = QStringLiteral("猪");
    r.fields[3] = QStringLiteral("母");
    r.fields[4] = QStringLiteral("120头");
    r.fields[5] = QStringLiteral("60天");
    r.fields[6] = date;
    r.fields[7] = QStringLiteral("林志远");
    r.fields[10] = QStringLiteral("肺炎");
    QStringList body;
    for (int i = 0; i < bodyLines; ++i)
        body << (i % 2 ? QStringLiteral("    用法：肌肉注射 每日1次")
                       : QStringLiteral("阿莫西林注射液 10ml×10支"));
    r.body = body.join(QStringLiteral("\r\n"));
    return r;
}

// The window's clock and messages; a benchmark that meets a message has failed, so it counts them.
class BenchClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 8), QTime(9, 30)); }
};
class CountedMessages final : public Messages {
public:
    int shown = 0;
    void inform(const QString&, Icon) override { ++shown; }
    bool askYesNo(const QString&, Icon) override { return ++shown, false; }
    bool askOkCancel(const QString&, Icon) override { return ++shown, false; }
    Answer askYesNoCancel(const QString&, Icon) override { return ++shown, Answer::Cancel; }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv(
        "QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("数据库.dat"));
    QString error;
    Database db;
    if (!writeTemplateDatabase(path, &error) || !db.open(path, &error)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return 1;
    }

    std::vector<double> inserts, updates;
    for (int i = 0; i < 41; ++i) {
        PrescriptionRecord r
            = prescription(QStringLiteral("2026120809%1-BENCH").arg(i, 4, 10, QLatin1Char('0')),
                QStringLiteral("2026-12-09"), 200);
        Result saved;
        inserts.push_back(millis([&] { saved = saveRecord(db, r); }));
        r.fields[0] = QStringLiteral("青禾养殖场二场");
        if (saved)
            updates.push_back(millis([&] { saved = saveRecord(db, r); }));
        if (!saved) {
            std::fprintf(stderr, "save: %s\n", qPrintable(saved.error));
            return 1;
        }
    }
    bench::printFigure(QStringLiteral("save with a 200-line body, new row"), QStringLiteral("< 10 ms"),
        bench::median(inserts), QStringLiteral("ms"));
    bench::printFigure(QStringLiteral("save with a 200-line body, changed row"), QStringLiteral("< 10 ms"),
        bench::median(updates), QStringLiteral("ms"));

    // 5,000 stored prescriptions over the month before, written in one go.
    const Result filled = db.transaction([&] {
        Result last;
        last.ok = true;
        const QString body = prescription({}, {}, 6).body;
        for (int i = 0; i < 5000 && last; ++i) {
            const QDate day = QDate(2026, 11, 9).addDays(i % 30);
            const QString key = day.toString(QStringLiteral("yyyyMMdd"))
                + QStringLiteral("%1-ARCHIVE").arg(i, 6, 10, QLatin1Char('0'));
            last = db.run(
                QStringLiteral("insert into \"档案\" (\"0\", \"2\", \"3\", \"5\", \"6\", \"T1\", \"序号\") "
                               "values ('青禾养殖场', '猪', '母', '60天', ?, ?, ?)"),
                { isoDate(day), body, key });
        }
        return last;
    });
    if (!filled) {
        std::fprintf(stderr, "archive: %s\n", qPrintable(filled.error));
        return 1;
    }
    std::vector<double> queries;
    int lines = 0;
    for (int i = 0; i < 11; ++i)
        queries.push_back(millis([&] {
            lines
                = int(queryArchive(db, QString(), QStringLiteral("2026-11-09"), QStringLiteral("2026-12-08"))
                          .lines.size());
        }));
    bench::printFigure(QStringLiteral("archive query returning %1 lines").arg(lines),
        QStringLiteral("< 50 ms"), bench::median(queries), QStringLiteral("ms"));

    // The same through the desk: the query and the list filled with its lines.
    BenchClock clock;
    CountedMessages messages;
    Services services;
    services.clock = &clock;
    services.messages = &messages;
    services.db = &db;
    PrescriptionDesk desk(services);
    desk.fromDate->setText(QStringLiteral("2026-11-09"));
    desk.toDate->setText(QStringLiteral("2026-12-08"));
    std::vector<double> listed;
    for (int i = 0; i < 11; ++i)
        listed.push_back(millis([&] { desk.runArchiveQuery(); }));
    bench::printFigure(QStringLiteral("desk \"查   询\" listing %1 lines").arg(desk.archiveList->count()),
        QStringLiteral("< 50 ms"), bench::median(listed), QStringLiteral("ms"));

    // The desk's Save: the store write and the refreshed list of one day's prescriptions.
    desk.fromDate->setText(QStringLiteral("2026-12-08"));
    desk.setBodyText(prescription({}, {}, 200).body);
    std::vector<double> saves;
    for (int i = 0; i < 21; ++i)
        saves.push_back(millis([&] { desk.savePrescription(); }));
    if (messages.shown > 0) {
        std::fprintf(stderr, "%d messages were shown: the figures are not valid\n", messages.shown);
        return 1;
    }
    bench::printFigure(
        QStringLiteral("desk Save, 200-line body, %1 lines listed").arg(desk.archiveList->count()),
        QStringLiteral("< 10 ms"), bench::median(saves), QStringLiteral("ms"));
    return 0;
}
