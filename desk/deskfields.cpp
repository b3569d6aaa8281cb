// PrescriptionDesk: the header fields of the paper and their species and diagnosis completion lists.
#include "desk/prescriptiondesk.h"

#include "desk/deskwidgets.h"
#include "desk/paperlayout.h"
#include "platform/units.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>

namespace qv {

void PrescriptionDesk::connectHeaderField(int i)
{
    FieldEdit* field = fieldEdits[i];
    connect(field, &FieldEdit::focusEntered, this, [this, i] { headerFieldFocused(i); });
    connect(field, &FieldEdit::focusLeft, this, &PrescriptionDesk::headerFieldLeft);
    connect(field, &QLineEdit::textChanged, this, [this, i] { headerFieldChanged(i); });
    if (i == kSexField)
        connect(field, &FieldEdit::clicked, this, &PrescriptionDesk::sexFieldClicked);
    field->installEventFilter(this);
}

void PrescriptionDesk::headerFieldFocused(int i)
{
    if (isDiagnosisField(i)) {
        m_pickerSuppressed = false;
        m_currentDiagnosisField = i;
        // The list opens just under the focused line.
        const QRectF box = qv::fieldBoxes()[i].box;
        diagnosisList->setGeometry(twipsRect(900, box.top() + box.height(), 2055, 1290));
        speciesList->hide();
        openCompletionList(i, fieldEdits[i]->text());
    } else if (i == kSpeciesField) {
        m_pickerSuppressed = false;
        diagnosisList->hide();
        openCompletionList(i, fieldEdits[i]->text());
    } else {
        hideCompletionLists();
    }
}

QListWidget* PrescriptionDesk::fillCompletionList(int field, const QString& typed)
{
    const bool species = field == kSpeciesField;
    QListWidget* list = species ? speciesList : diagnosisList;
    list->clear();
    list->hide();
    if (m_services.db)
        list->addItems(completionNames(
            *m_services.db, species ? CompletionCatalog::Species : CompletionCatalog::Diagnoses, typed));
    return list;
}

void PrescriptionDesk::openCompletionList(int field, const QString& typed)
{
    QListWidget* list = fillCompletionList(field, typed);
    if (list->count() > 0)
        showCompletionList(list);
    else
        hideCompletionLists();
}

void PrescriptionDesk::showCompletionList(QListWidget* list)
{
    list->show();
    list->raise();
}

void PrescriptionDesk::headerFieldLeft() { m_pickerSuppressed = true; }

void PrescriptionDesk::headerFieldChanged(int i)
{
    FieldEdit* field = fieldEdits[i];
    if (i == kSexField) {
        if (field->text() == QStringLiteral("1"))
            field->setText(QStringLiteral("公"));
        else if (field->text() == QStringLiteral("2"))
            field->setText(QStringLiteral("母"));
        field->end(false);
        return;
    }
    if (m_pickerSuppressed || !(i == kSpeciesField || isDiagnosisField(i)))
        return;
    // While typing the text is matched without its outer blanks; a list without a match stays hidden.
    QListWidget* list = fillCompletionList(i, trimBlanks(field->text()));
    if (list->count() > 0 && !m_pickerSuppressed)
        showCompletionList(list);
}

void PrescriptionDesk::sexFieldClicked()
{
    FieldEdit* field = fieldEdits[kSexField];
    field->setText(field->text() == QStringLiteral("公") ? QStringLiteral("母") : QStringLiteral("公"));
    field->end(false);
}

bool PrescriptionDesk::headerFieldKey(int i, int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        focusNextPrevChild(true);
        return true;
    }
    if (key != Qt::Key_Down)
        return false;
    QListWidget* list = i == kSpeciesField ? speciesList : isDiagnosisField(i) ? diagnosisList : nullptr;
    // A hidden or empty list takes no focus; the key is consumed all the same.
    if (list && list->isVisible() && list->count() > 0) {
        list->setFocus();
        list->setCurrentRow(0);
    }
    return true;
}

void PrescriptionDesk::pickSpecies() { pickCompletion(speciesList, kSpeciesField); }

void PrescriptionDesk::pickDiagnosis()
{
    // Only a diagnosis line that had the focus receives a pick (never the owner field of index 0).
    if (isDiagnosisField(m_currentDiagnosisField))
        pickCompletion(diagnosisList, m_currentDiagnosisField);
}

void PrescriptionDesk::pickCompletion(QListWidget* list, int field)
{
    QListWidgetItem* item = list->currentItem();
    if (!item || !item->isSelected())
        return;
    // The list holds the focus, so the field's lost-focus step has suppressed a new search for this write.
    fieldEdits[field]->setText(item->text());
    fieldEdits[field]->end(false);
    fieldEdits[field]->setFocus();
    list->hide();
    focusNextPrevChild(true);
}

void PrescriptionDesk::hideCompletionLists()
{
    diagnosisList->hide();
    speciesList->hide();
}

bool PrescriptionDesk::eventFilter(QObject* watched, QEvent* event)
{
    if (archiveEvent(watched, event))
        return true;
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        for (int i = 0; i < kFieldCount; ++i) {
            if (watched == fieldEdits[i])
                return headerFieldKey(i, key);
        }
        if (watched == searchBox)
            return searchBoxKey(key);
        if (enter && watched == resultList) {
            addChosenRow();
            return true;
        }
        if (enter && watched == diagnosisList) {
            pickDiagnosis();
            return true;
        }
        if (enter && watched == speciesList) {
            pickSpecies();
            return true;
        }
    } else if (type == QEvent::FocusIn && watched == searchBox) {
        hideCompletionLists();
    } else if (type == QEvent::MouseButtonPress) {
        if (watched == paper || watched == body->viewport()) {
            hideCompletionLists();
            deletePanel->hide();
        } else if (watched == resultList->viewport()) {
            deletePanel->hide();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PrescriptionDesk::mousePressEvent(QMouseEvent* event)
{
    deletePanel->hide();
    QWidget::mousePressEvent(event);
}

} // namespace qv
