#pragma once
// The desk's archive list: one line per stored prescription of the query, newest first. The lines
// stay in the compact form the query read them in (ArchiveLines); the view asks only for the lines it shows.
// Every line knows the key of its row, so a click loads that row whatever the filters say by then.

#include "desk/archivelines.h"

#include <QListView>

namespace qv {

class ArchiveLinesModel;

class ArchiveList final : public QListView {
    Q_OBJECT
public:
    // The role under which a line's index gives the key of its row.
    static constexpr int kKeyRole = Qt::UserRole;

    explicit ArchiveList(QWidget* parent = nullptr);

    int count() const;
    QString text(int line) const;
    QString key(int line) const;
    // The line under a point of the viewport, or -1.
    int lineAt(const QPoint& inViewport) const;
    // Where a line is drawn, in viewport coordinates.
    QRect lineRect(int line) const;
    int currentRow() const;
    void setCurrentRow(int line);

    // The query's lines replace what the list showed, in one change.
    void showLines(ArchiveLines lines);
    void clear();
    void insertLine(int line, const QString& text, const QString& key = {});
    // Removes every line of the row with this key.
    void removeLinesOf(const QString& key);
    // The first line of the row with this key, or -1.
    int lineOf(const QString& key) const;

signals:
    // A left click on a line (not on the empty space below the last one).
    void lineClicked(int line);

private:
    ArchiveLinesModel* m_lines;
};

} // namespace qv
