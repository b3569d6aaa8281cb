#pragma once
// The lines of the archive list as the query read them: each line's text and the key of its row, kept in
// UTF-8 in one buffer. A month of a busy practice is over 3,000 lines and the list shows about a dozen at a
// time, so a line is decoded only when it is asked for, and filling the list costs no allocation per line.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <initializer_list>
#include <vector>

namespace qv {

class ArchiveLines {
public:
    int size() const { return int(m_lines.size()); }
    bool isEmpty() const { return m_lines.empty(); }
    QString text(int line) const;
    QString key(int line) const; // 序号 of the line's row
    // The first line whose row has this key, or -1.
    int indexOfKey(const QString& key) const;

    // A line at the end, its text the pieces one after the other.
    void append(QByteArrayView key, std::initializer_list<QByteArrayView> textPieces);
    void append(const QString& key, const QString& text);
    void insert(int line, const QString& key, const QString& text);
    void remove(int line);

private:
    struct Span {
        qsizetype start;
        qsizetype length;
    };
    struct Line {
        Span key;
        Span text;
    };
    Span add(QByteArrayView bytes);
    QString decoded(Span span) const;

    QByteArray m_bytes;
    std::vector<Line> m_lines;
};

} // namespace qv
