// PrescriptionDesk: the drug picker and what a chosen row writes into the prescription body.
#include "desk/prescriptiondesk.h"

#include "catalogs/catalogindex.h"
#include "desk/bodylayout.h"
#include "desk/deskwidgets.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

namespace qv {

void PrescriptionDesk::switchCategory(int category)
{
    if (category < 0 || category >= kDrugCategoryCount)
        return;
    markCategoryButton(category);
    // Emptying the box runs the search of the old category when it held text; the fill below replaces it.
    searchBox->clear();
    m_currentCategory = category;
    fillResultList(categoryListQuery(category, searchBox->text()));
    // The next keys typed are a search in the chosen category, not presses of its button.
    searchBox->setFocus(Qt::OtherFocusReason);
}

void PrescriptionDesk::markCategoryButton(int category)
{
    for (int i = 0; i < kDrugCategoryCount; ++i) {
        QFont f = categoryButtons[i]->font();
        f.setBold(i == category);
        categoryButtons[i]->setFont(f);
    }
}

void PrescriptionDesk::runSearch()
{
    fillResultList(searchListQuery(m_currentCategory, searchBox->text()));
    hideCompletionLists();
}

void PrescriptionDesk::fillResultList(const PickerQuery& query)
{
    resultList->clear();
    // A fill that fails leaves the list empty; nothing typed is lost by that.
    if (!m_services.db)
        return;
    const PickerRows result
        = query.isTemplate ? fetchPickerRows(*m_services.db, query) : fetchCatalogRows(*m_catalog, query);
    for (const PickerRow& row : result.rows) {
        auto* item = new QListWidgetItem(row.text);
        item->setData(Qt::UserRole, row.rowId);
        resultList->addItem(item);
    }
}

bool PrescriptionDesk::searchBoxKey(int key)
{
    if (key == Qt::Key_Down) {
        resultList->setFocus();
        if (resultList->count() > 0)
            resultList->setCurrentRow(0);
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Only an unambiguous search is added straight from the box.
        if (resultList->count() == 1) {
            resultList->setCurrentRow(0);
            addChosenRow();
        }
        return true;
    }
    return false;
}

void PrescriptionDesk::addChosenRow()
{
    QListWidgetItem* item = resultList->currentItem();
    // With no row chosen there is nothing to add.
    if (resultList->count() == 0 || !item || !item->isSelected())
        return;
    const QString row = item->text();
    switch (m_currentCategory) {
    case Western:
    case Other:
    case Usage:
        appendAtEnd(drugRowAppendText(row));
        break;
    case Herbs:
        insertAtCaret(herbInsertText(row, bodyCaretColumn()));
        break;
    default:
        insertTemplate(item->data(Qt::UserRole).toLongLong(), m_currentCategory);
        break;
    }
    finishAdding();
}

void PrescriptionDesk::insertTemplate(qint64 rowId, int category)
{
    QString content;
    // A template deleted since the list was filled adds nothing.
    if (!m_services.db || !templateContent(*m_services.db, rowId, &content))
        return;
    content = bodyFromStored(content);
    appendAtEnd(category == Formulas ? content : prescriptionSetInsertText(content, bodyCaretColumnAtEnd()));
}

void PrescriptionDesk::finishAdding()
{
    searchBox->clear();
    searchBox->setFocus();
    resultList->setCurrentItem(nullptr);
    resultList->clearSelection();
    hideCompletionLists();
}

void PrescriptionDesk::quickInsert(int index)
{
    if (index < 0 || index >= kQuickInsertCount || !quickInsertLabels[index])
        return;
    body->setFocus();
    insertAtCaret(quickInsertText(quickInsertLabels[index]->text()));
    searchBox->setFocus();
}

int PrescriptionDesk::bodyCaretColumn() const
{
    // The caret is the end of the selection; its column is counted within its own line.
    const int position = body->textCursor().selectionEnd();
    const QTextBlock line = body->document()->findBlock(position);
    return caretColumn(line.text(), position - line.position());
}

int PrescriptionDesk::bodyCaretColumnAtEnd() const
{
    const QTextBlock last = body->document()->lastBlock();
    return caretColumn(last.text(), int(last.text().size()));
}

void PrescriptionDesk::insertAtCaret(const QString& text)
{
    QTextCursor cursor = body->textCursor();
    cursor.insertText(text);
    body->setTextCursor(cursor);
}

void PrescriptionDesk::appendAtEnd(const QString& text)
{
    QTextCursor cursor = body->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    body->setTextCursor(cursor);
}

QString PrescriptionDesk::recordKey() const { return recordKeyLabel->text(); }

QString PrescriptionDesk::bodyText() const { return bodyToStored(body->toPlainText()); }

void PrescriptionDesk::setBodyText(const QString& storedText)
{
    body->setPlainText(bodyFromStored(storedText));
}

} // namespace qv
