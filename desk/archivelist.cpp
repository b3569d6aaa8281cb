#include "desk/archivelist.h"

#include <QAbstractListModel>

namespace qv {

class ArchiveLinesModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    const ArchiveLines& lines() const { return m_lines; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_lines.size();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_lines.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_lines.text(index.row());
        if (role == ArchiveList::kKeyRole)
            return m_lines.key(index.row());
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
    }

    void replace(ArchiveLines lines)
    {
        beginResetModel();
        m_lines = std::move(lines);
        endResetModel();
    }

    void insert(int row, const QString& text, const QString& key)
    {
        beginInsertRows({}, row, row);
        m_lines.insert(row, key, text);
        endInsertRows();
    }

    void remove(int row)
    {
        beginRemoveRows({}, row, row);
        m_lines.remove(row);
        endRemoveRows();
    }

private:
    ArchiveLines m_lines;
};

ArchiveList::ArchiveList(QWidget* parent)
    : QListView(parent)
    , m_lines(new ArchiveLinesModel(this))
{
    setModel(m_lines);
    setEditTriggers(NoEditTriggers);
    // Every line has the height of one text line; the list then lays out thousands of lines without measuring
    // each one.
    setUniformItemSizes(true);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit lineClicked(index.row());
    });
}

int ArchiveList::count() const { return m_lines->lines().size(); }

QString ArchiveList::text(int line) const { return m_lines->lines().text(line); }

QString ArchiveList::key(int line) const { return m_lines->lines().key(line); }

int ArchiveList::lineAt(const QPoint& inViewport) const
{
    const QModelIndex index = indexAt(inViewport);
    return index.isValid() ? index.row() : -1;
}

QRect ArchiveList::lineRect(int line) const { return visualRect(m_lines->index(line)); }

int ArchiveList::currentRow() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() : -1;
}

void ArchiveList::setCurrentRow(int line) { setCurrentIndex(m_lines->index(line)); }

void ArchiveList::showLines(ArchiveLines lines) { m_lines->replace(std::move(lines)); }

void ArchiveList::clear() { m_lines->replace({}); }

void ArchiveList::insertLine(int line, const QString& text, const QString& key)
{
    m_lines->insert(line, text, key);
}

void ArchiveList::removeLinesOf(const QString& key)
{
    for (int line = lineOf(key); line >= 0; line = lineOf(key))
        m_lines->remove(line);
}

int ArchiveList::lineOf(const QString& key) const { return m_lines->lines().indexOfKey(key); }

} // namespace qv
