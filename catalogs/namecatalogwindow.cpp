#include "catalogs/namecatalogwindow.h"
#include "pinyin/searchcode.h"
#include "platform/services.h"
#include "platform/windowframe.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qv {

NameCatalogWindow::NameCatalogWindow(Services& services, NameCatalog catalog, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_catalog(catalog)
{
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    const QString captions[2]
        = { catalog == NameCatalog::Diagnoses ? QStringLiteral("诊断名称：") : QStringLiteral("动物种类："),
              QStringLiteral("拼音代码：") };
    for (int i = 0; i < 2; ++i) {
        Label1[i] = new QLabel(captions[i], this);
        Label1[i]->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        Label1[i]->adjustSize();
    }
    Text3 = new QLineEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text5 = new QLineEdit(this);
    Text5->setObjectName(QStringLiteral("Text5"));
    Command2 = new QPushButton(QStringLiteral("保  存"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1 = new QPushButton(QStringLiteral("删  除"), this);
    Command1->setObjectName(QStringLiteral("Command1"));

    // Opening the window, first time or again, puts the keyboard in the name field.
    setFocusProxy(Text3);
    Text3->installEventFilter(this);
    connect(Text3, &QLineEdit::textChanged, this,
        [this](const QString& name) { Text5->setText(searchCode(name.trimmed())); });
    connect(Command2, &QPushButton::clicked, this, &NameCatalogWindow::saveName);
    connect(Command1, &QPushButton::clicked, this, &NameCatalogWindow::deleteSelected);
}

bool NameCatalogWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the name field is the window's main action; the key goes no further.
    if (watched == Text3 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            saveName();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void NameCatalogWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(this);
    }
}

void NameCatalogWindow::fillList()
{
    List1->clear();
    for (const NameEntry& entry : listNames(*m_services.db, m_catalog, searchText())) {
        auto* item = new QListWidgetItem(entry.name, List1);
        item->setData(Qt::UserRole, entry.key);
    }
}

void NameCatalogWindow::saveName()
{
    // A name of blanks only is not empty: it is stored as typed.
    if (Text3->text().isEmpty())
        return;
    clearSearch();
    const NameSave save = addName(*m_services.db, m_catalog, Text3->text(), Text5->text());
    if (save.outcome == NameSave::Outcome::Failed)
        m_services.messages->inform(
            QStringLiteral("没有保存！\n%1").arg(save.error), Messages::Icon::Warning);
    fillList();
}

void NameCatalogWindow::deleteSelected()
{
    const QList<QListWidgetItem*> chosen = List1->selectedItems();
    if (chosen.isEmpty())
        return;
    const Result deleted
        = deleteName(*m_services.db, m_catalog, chosen.first()->data(Qt::UserRole).toString());
    if (!deleted)
        m_services.messages->inform(
            QStringLiteral("没有删除！\n%1").arg(deleted.error), Messages::Icon::Warning);
    fillList();
}

} // namespace qv
