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
    Text1->clear();
    m_currentCategory = category;
    fillResultList(categoryListQuery(category, Text1->text()));
    // The next keys typed are a search in the chosen category, not presses of its button.
    Text1->setFocus(Qt::OtherFocusReason);
}

void PrescriptionDesk::markCategoryButton(int category)
{
    for (int i = 0; i < kDrugCategoryCount; ++i) {
        QFont f = Command1[i]->font();
        f.setBold(i == category);
        Command1[i]->setFont(f);
    }
}

void PrescriptionDesk::runSearch()
{
    fillResultList(searchListQuery(m_currentCategory, Text1->text()));
    hideCompletionLists();
}

void PrescriptionDesk::fillResultList(const PickerQuery& query)
{
    List1->clear();
    // A fill that fails leaves the list empty; nothing typed is lost by that.
    if (!m_services.db)
        return;
    const PickerRows result
        = query.isTemplate ? fetchPickerRows(*m_services.db, query) : fetchCatalogRows(*m_catalog, query);
    for (const PickerRow& row : result.rows) {
        auto* item = new QListWidgetItem(row.text);
        item->setData(Qt::UserRole, row.rowId);
        List1->addItem(item);
    }
}

bool PrescriptionDesk::searchBoxKey(int key)
{
    if (key == Qt::Key_Down) {
        List1->setFocus();
        if (List1->count() > 0)
            List1->setCurrentRow(0);
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Only an unambiguous search is added straight from the box.
        if (List1->count() == 1) {
            List1->setCurrentRow(0);
            addChosenRow();
        }
        return true;
    }
    return false;
}

void PrescriptionDesk::addChosenRow()
{
    QListWidgetItem* item = List1->currentItem();
    // With no row chosen there is nothing to add.
    if (List1->count() == 0 || !item || !item->isSelected())
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
    Text1->clear();
    Text1->setFocus();
    List1->setCurrentItem(nullptr);
    List1->clearSelection();
    hideCompletionLists();
}

void PrescriptionDesk::quickInsert(int index)
{
    if (index < 0 || index >= kQuickInsertCount || !Label5[index])
        return;
    R1->setFocus();
    insertAtCaret(quickInsertText(Label5[index]->text()));
    Text1->setFocus();
}

int PrescriptionDesk::bodyCaretColumn() const
{
    // The caret is the end of the selection; its column is counted within its own line.
    const int position = R1->textCursor().selectionEnd();
    const QTextBlock line = R1->document()->findBlock(position);
    return caretColumn(line.text(), position - line.position());
}

int PrescriptionDesk::bodyCaretColumnAtEnd() const
{
    const QTextBlock last = R1->document()->lastBlock();
    return caretColumn(last.text(), int(last.text().size()));
}

void PrescriptionDesk::insertAtCaret(const QString& text)
{
    QTextCursor cursor = R1->textCursor();
    cursor.insertText(text);
    R1->setTextCursor(cursor);
}

void PrescriptionDesk::appendAtEnd(const QString& text)
{
    QTextCursor cursor = R1->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    R1->setTextCursor(cursor);
}

QString PrescriptionDesk::recordKey() const { return Label4->text(); }

QString PrescriptionDesk::bodyText() const { return bodyToStored(R1->toPlainText()); }

void PrescriptionDesk::setBodyText(const QString& storedText)
{
    R1->setPlainText(bodyFromStored(storedText));
}

} // namespace qv
