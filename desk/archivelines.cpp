#include "desk/archivelines.h"

namespace qv {

QString ArchiveLines::text(int line) const { return decoded(m_lines[size_t(line)].text); }

QString ArchiveLines::key(int line) const { return decoded(m_lines[size_t(line)].key); }

int ArchiveLines::indexOfKey(const QString& key) const
{
    const QByteArray wanted = key.toUtf8();
    for (int i = 0; i < size(); ++i) {
        const Span span = m_lines[size_t(i)].key;
        if (QByteArrayView(m_bytes.constData() + span.start, span.length) == wanted)
            return i;
    }
    return -1;
}

void ArchiveLines::append(QByteArrayView key, std::initializer_list<QByteArrayView> textPieces)
{
    const Span keySpan = add(key);
    Span textSpan { m_bytes.size(), 0 };
    for (QByteArrayView piece : textPieces)
        m_bytes.append(piece);
    textSpan.length = m_bytes.size() - textSpan.start;
    m_lines.push_back({ keySpan, textSpan });
}

void ArchiveLines::append(const QString& key, const QString& text) { insert(size(), key, text); }

void ArchiveLines::insert(int line, const QString& key, const QString& text)
{
    const Span keySpan = add(key.toUtf8());
    const Span textSpan = add(text.toUtf8());
    m_lines.insert(m_lines.begin() + line, { keySpan, textSpan });
}

// The line's bytes stay in the buffer until the lines are replaced: a list loses a line only on a deletion.
void ArchiveLines::remove(int line) { m_lines.erase(m_lines.begin() + line); }

ArchiveLines::Span ArchiveLines::add(QByteArrayView bytes)
{
    const Span span { m_bytes.size(), bytes.size() };
    m_bytes.append(bytes);
    return span;
}

QString ArchiveLines::decoded(Span span) const
{
    return QString::fromUtf8(m_bytes.constData() + span.start, span.length);
}

} // namespace qv
