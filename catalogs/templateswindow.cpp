#include "catalogs/templateswindow.h"
#include "catalogs/templatestore.h"
#include "pinyin/searchcode.h"
#include "platform/controls.h"
#include "platform/services.h"
#include "platform/units.h"
#include "platform/windowframe.h"
#include "store/database.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qv {

namespace {

    QFont songti(double points)
    {
        QFont font(QStringLiteral("宋体"));
        font.setPointSizeF(points);
        return font;
    }

} // namespace

TemplatesWindow::TemplatesWindow(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("模板维护"));
    setFixedSize(twipsSize(8970, 5250));

    templateList = placed<QListWidget>(this, QStringLiteral("List1"), 120, 120, 2835, 4380);
    nameCaption = caption(this, QStringLiteral("Label2"), QStringLiteral("名称"), 3120, 180);
    nameBox = placed<QLineEdit>(this, QStringLiteral("Text1"), 3600, 120, 3075, 315);
    codeCaption = caption(this, QStringLiteral("Label1"), QStringLiteral("拼音"), 6840, 180);
    codeBox = placed<QLineEdit>(this, QStringLiteral("Text3"), 7380, 120, 1455, 315);
    bodyBox = placed<QPlainTextEdit>(this, QStringLiteral("text2"), 3060, 540, 5775, 3975);
    // Opening the window, first time or again, puts the keyboard in the name field.
    setFocusProxy(nameBox);
    nameBox->setFont(songti(10.5));
    codeBox->setFont(songti(10.5));
    bodyBox->setFont(songti(12));

    const QString categories[2] = { kPersonalSets, kHerbalFormulas };
    const double optionLeft[2] = { 120, 1380 };
    for (int i = 0; i < 2; ++i) {
        categoryOptions[i] = new QRadioButton(categories[i], this);
        categoryOptions[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        categoryOptions[i]->move(twipsRect(optionLeft[i], 4680, 0, 0).topLeft());
        categoryOptions[i]->adjustSize();
        connect(categoryOptions[i], &QRadioButton::clicked, this, [this, i] { chooseCategory(i); });
    }
    categoryOptions[0]->setChecked(true);

    addButton = placed<QPushButton>(this, QStringLiteral("Command1"), 4740, 4680, 1000, 375);
    addButton->setText(QStringLiteral("添  加"));
    saveButton = placed<QPushButton>(this, QStringLiteral("Command5"), 5760, 4680, 1000, 375);
    saveButton->setText(QStringLiteral("保  存"));
    deleteButton = placed<QPushButton>(this, QStringLiteral("Command4"), 6780, 4680, 1000, 375);
    deleteButton->setText(QStringLiteral("删  除"));
    exitButton = placed<QPushButton>(this, QStringLiteral("Command2"), 7800, 4680, 1000, 375);
    exitButton->setText(QStringLiteral("退 出"));

    keyLabel = new QLabel(this);
    keyLabel->setObjectName(QStringLiteral("Label3"));
    keyLabel->hide();
    categoryLabel = new QLabel(this);
    categoryLabel->setObjectName(QStringLiteral("Label4"));
    categoryLabel->hide();

    connect(nameBox, &QLineEdit::textChanged, this, &TemplatesWindow::nameTyped);
    // Selection, not the current row: tabbing into the list makes a row current without choosing it.
    connect(templateList, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = templateList->selectedItems();
        if (!chosen.isEmpty())
            selectTemplate(templateList->row(chosen.first()));
    });
    connect(addButton, &QPushButton::clicked, this, &TemplatesWindow::newTemplate);
    connect(saveButton, &QPushButton::clicked, this, &TemplatesWindow::saveRecord);
    connect(deleteButton, &QPushButton::clicked, this, &TemplatesWindow::deleteRecord);
    connect(exitButton, &QPushButton::clicked, this, [this] { closeWindowFrame(this); });

    categoryLabel->setText(categoryOptions[0]->text());
    newTemplate();
    fillList();
}

void TemplatesWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        placeAsChildWindow(this);
    }
}

QString TemplatesWindow::currentKey() const { return keyLabel->text(); }

QString TemplatesWindow::currentCategory() const { return categoryLabel->text(); }

void TemplatesWindow::presetFromDesk(const QString& category, const QString& body)
{
    // A fresh key, so the desk's body can never overwrite a template that happened to be open here.
    newTemplate();
    const int index = category == kHerbalFormulas ? 1 : 0;
    categoryOptions[index]->setChecked(true);
    chooseCategory(index);
    bodyBox->setPlainText(bodyForEditing(body));
}

void TemplatesWindow::newTemplate()
{
    nameBox->clear();
    bodyBox->clear();
    codeBox->clear();
    keyLabel->setText(newTemplateKey(*m_services.db, m_services.clock->now()));
    m_fresh = true;
    m_seen.clear();
    nameBox->setFocus();
}

void TemplatesWindow::nameTyped()
{
    if (!m_loading)
        codeBox->setText(searchCode(nameBox->text().trimmed()));
}

void TemplatesWindow::chooseCategory(int index)
{
    categoryLabel->setText(categoryOptions[index]->text());
    fillList();
}

void TemplatesWindow::fillList()
{
    templateList->clear();
    for (const TemplateEntry& entry : listTemplates(*m_services.db, currentCategory())) {
        auto* item = new QListWidgetItem(entry.name, templateList);
        item->setData(Qt::UserRole, entry.key);
    }
}

void TemplatesWindow::selectTemplate(int row)
{
    QListWidgetItem* item = templateList->item(row);
    if (!item)
        return;
    showTemplate(item->data(Qt::UserRole).toString(), currentCategory());
}

bool TemplatesWindow::showTemplate(const QString& key, const QString& category)
{
    const auto record = loadTemplate(*m_services.db, key, category);
    if (!record)
        return false;
    m_loading = true;
    keyLabel->setText(record->key);
    nameBox->setText(record->name);
    codeBox->setText(record->code);
    bodyBox->setPlainText(bodyForEditing(record->body));
    m_loading = false;
    m_fresh = false;
    m_seen = templateSeen(*record);
    m_seenCategory = category;
    return true;
}

void TemplatesWindow::saveRecord()
{
    TemplateRecord record { currentKey(), nameBox->text(), codeBox->text(),
        bodyForStoring(bodyBox->toPlainText()), currentCategory() };
    // A stored template saved under the other category becomes a new one there.
    record.fresh = m_fresh || record.category != m_seenCategory;
    record.seen = m_seen;
    TemplateSave save = saveTemplate(*m_services.db, record);
    if (save.conflict != RowConflict::None) {
        // Another desk changed or deleted it since it was loaded here: nothing was written.
        const Messages::Answer answer = save.conflict == RowConflict::Deleted
            ? (m_services.messages->askYesNo(templateConflictQuestion(save.conflict), Messages::Icon::Warning)
                    ? Messages::Answer::No
                    : Messages::Answer::Cancel)
            : m_services.messages->askYesNoCancel(
                templateConflictQuestion(save.conflict), Messages::Icon::Warning);
        if (answer == Messages::Answer::Cancel)
            return;
        if (answer == Messages::Answer::Yes) {
            showTemplate(record.key, record.category);
            fillList();
            return;
        }
        record.key = newTemplateKey(*m_services.db, m_services.clock->now());
        record.fresh = true;
        save = saveTemplate(*m_services.db, record);
    }
    switch (save.outcome) {
    case TemplateSave::Outcome::NameMissing:
        m_services.messages->inform(QStringLiteral("请输入药物名称！"));
        return;
    case TemplateSave::Outcome::Failed:
        if (save.outcomeUnknown) {
            // Perhaps stored: saving again writes under the same key, never a second template; the message
            // says that it is not known.
            keyLabel->setText(save.key);
            m_fresh = false;
            m_seen.clear();
            m_seenCategory = record.category;
            m_services.messages->inform(save.error, Messages::Icon::Warning);
            return;
        }
        // The fields stay as typed so nothing is lost; the user can try again.
        m_services.messages->inform(
            QStringLiteral("模板没有保存！\n%1").arg(save.error), Messages::Icon::Warning);
        return;
    case TemplateSave::Outcome::Added:
    case TemplateSave::Outcome::Changed:
        // A new template whose key another desk took meanwhile was stored under the next free one.
        keyLabel->setText(save.key);
        m_fresh = false;
        m_seen = templateSeen(record);
        m_seenCategory = record.category;
        fillList();
        return;
    }
}

void TemplatesWindow::deleteRecord()
{
    const Result deleted = deleteTemplate(*m_services.db, currentKey(), currentCategory());
    if (!deleted) {
        m_services.messages->inform(
            QStringLiteral("模板没有删除！\n%1").arg(deleted.error), Messages::Icon::Warning);
        return;
    }
    newTemplate();
    fillList();
}

} // namespace qv
