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
    nameList = new QListWidget(this);
    nameList->setObjectName(QStringLiteral("List1"));
    nameCaption = new QLabel(
        catalog == NameCatalog::Diagnoses ? QStringLiteral("诊断名称：") : QStringLiteral("动物种类："),
        this);
    nameCaption->setObjectName(QStringLiteral("Label1(0)"));
    nameCaption->adjustSize();
    codeCaption = new QLabel(QStringLiteral("拼音代码："), this);
    codeCaption->setObjectName(QStringLiteral("Label1(1)"));
    codeCaption->adjustSize();
    nameBox = new QLineEdit(this);
    nameBox->setObjectName(QStringLiteral("Text3"));
    codeBox = new QLineEdit(this);
    codeBox->setObjectName(QStringLiteral("Text5"));
    saveButton = new QPushButton(QStringLiteral("保  存"), this);
    saveButton->setObjectName(QStringLiteral("Command2"));
    deleteButton = new QPushButton(QStringLiteral("删  除"), this);
    deleteButton->setObjectName(QStringLiteral("Command1"));

    // Opening the window, first time or again, puts the keyboard in the name field.
    setFocusProxy(nameBox);
    nameBox->installEventFilter(this);
    connect(nameBox, &QLineEdit::textChanged, this,
        [this](const QString& name) { codeBox->setText(searchCode(name.trimmed())); });
    connect(saveButton, &QPushButton::clicked, this, &NameCatalogWindow::saveName);
    connect(deleteButton, &QPushButton::clicked, this, &NameCatalogWindow::deleteSelected);
}

bool NameCatalogWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the name field is the window's main action; the key goes no further.
    if (watched == nameBox && event->type() == QEvent::KeyPress) {
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
    nameList->clear();
    for (const NameEntry& entry : listNames(*m_services.db, m_catalog, searchText())) {
        auto* item = new QListWidgetItem(entry.name, nameList);
        item->setData(Qt::UserRole, entry.key);
    }
}

void NameCatalogWindow::saveName()
{
    // A name of blanks only is not empty: it is stored as typed.
    if (nameBox->text().isEmpty())
        return;
    clearSearch();
    const NameSave save = addName(*m_services.db, m_catalog, nameBox->text(), codeBox->text());
    if (save.outcome == NameSave::Outcome::Failed)
        m_services.messages->inform(
            QStringLiteral("没有保存！\n%1").arg(save.error), Messages::Icon::Warning);
    fillList();
}

void NameCatalogWindow::deleteSelected()
{
    const QList<QListWidgetItem*> chosen = nameList->selectedItems();
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
