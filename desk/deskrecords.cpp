// PrescriptionDesk: the prescription as a stored record (the toolbar's new, continue, save, print, copy,
// paste and save as set) and the archive browser that finds, reopens and deletes stored prescriptions.
#include "desk/prescriptiondesk.h"

#include "desk/archive.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptionprint.h"
#include "platform/units.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qv {

namespace {

    enum ToolbarAction {
        NewAction = 0,
        ContinueAction = 1,
        SaveAction = 2,
        PrintAction = 3,
        LogAction = 4,
        SaveAsSetAction = 5,
        VideoAction = 6,
        StatisticsAction = 7,
        HelpAction = 8,
        CopyAction = 9,
        PasteAction = 10,
    };

    QString todayText(const Clock& clock) { return isoDate(clock.now().date()); }

    const QString kUnsavedWorkQuestion = QStringLiteral("当前处方已修改，是否先保存？");

    bool isEnter(QEvent* event)
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }

    void setEntryColours(QLabel* entry, const QColor& text, const QColor& background)
    {
        QPalette p = entry->palette();
        p.setColor(QPalette::WindowText, text);
        p.setColor(QPalette::Window, background);
        entry->setPalette(p);
    }

} // namespace

void PrescriptionDesk::connectRecordControls()
{
    connect(todayButton, &QPushButton::clicked, this, &PrescriptionDesk::showTodaysArchive);
    connect(previousDayButton, &QPushButton::clicked, this, [this] { stepArchiveDay(-1); });
    connect(nextDayButton, &QPushButton::clicked, this, [this] { stepArchiveDay(1); });
    connect(ownerFilter, &QLineEdit::textChanged, this, [this](const QString& owner) {
        // A typed name widens the range to ten years; the list waits for "查   询".
        if (owner.trimmed().isEmpty())
            return;
        const ArchiveRange range = ownerTypingRange(m_services.clock->now().date());
        fromDate->setText(range.start);
        toDate->setText(range.end);
    });
    connect(archiveList, &ArchiveList::lineClicked, this, &PrescriptionDesk::loadArchiveLine);
    connect(deletePanelEntries[0], &ClickLabel::clicked, this, &PrescriptionDesk::deleteShownRecord);
    connect(deletePanelEntries[1], &ClickLabel::clicked, deletePanel, &QWidget::hide);
    for (QObject* watched : { static_cast<QObject*>(ownerFilter), static_cast<QObject*>(todayButton),
             static_cast<QObject*>(archiveList->viewport()), static_cast<QObject*>(deletePanelEntries[0]),
             static_cast<QObject*>(deletePanelEntries[1]) })
        watched->installEventFilter(this);
    for (ClickLabel* entry : deletePanelEntries) {
        entry->setAutoFillBackground(true);
        setEntryColours(entry, Qt::black, Qt::white);
    }
}

bool PrescriptionDesk::archiveEvent(QObject* watched, QEvent* event)
{
    if (watched == ownerFilter && isEnter(event)) {
        todayButton->setFocus();
        return true;
    }
    if (watched == todayButton && isEnter(event)) {
        todayButton->click();
        return true;
    }
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == archiveList->viewport() && (press || event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (press && mouse->button() == Qt::LeftButton)
            deletePanel->hide();
        if (!press && mouse->button() == Qt::RightButton)
            rightClickArchiveLine(mouse->position().toPoint());
        // The right press selects nothing by itself: the release first loads the line it hit.
        return press && mouse->button() == Qt::RightButton;
    }
    for (int i = 0; i < int(deletePanelEntries.size()); ++i) {
        if (watched == deletePanelEntries[i] && event->type() == QEvent::Enter)
            highlightPanelEntry(i);
    }
    return false;
}

void PrescriptionDesk::runToolbarAction(int index)
{
    switch (index) {
    case NewAction:
        newPrescription();
        break;
    case ContinueAction:
        continuePrescription();
        break;
    case SaveAction:
        savePrescription();
        break;
    case PrintAction:
        printShownPrescription();
        break;
    case CopyAction:
        copyBody();
        break;
    case PasteAction:
        pasteBody();
        break;
    case SaveAsSetAction:
        saveBodyAsTemplate();
        break;
    case LogAction:
        if (m_services.windows)
            m_services.windows->openLog();
        break;
    case StatisticsAction:
        if (m_services.windows)
            m_services.windows->openStatistics();
        break;
    case HelpAction:
        emit helpPageRequested();
        break;
    case VideoAction:
        emit videoPageRequested();
        break;
    default:
        break;
    }
}

void PrescriptionDesk::showEmptyPrescription(const QString& key)
{
    m_pickerSuppressed = true;
    for (FieldEdit* field : fieldEdits)
        field->clear();
    fieldEdits[kArchiveNumberField]->setText(keyTime(m_services.clock->now()));
    fieldEdits[kDateField]->setText(todayText(*m_services.clock));
    recordKeyLabel->setText(key);
    m_seen.clear();
    m_unconfirmed.clear();
    body->clear();
    fieldEdits[0]->setFocus();
}

bool PrescriptionDesk::hasUnsavedWork() const
{
    const PrescriptionRecord shown = currentRecord();
    return shown.fields != m_settled.fields || shown.body != m_settled.body;
}

void PrescriptionDesk::markSettled() { m_settled = currentRecord(); }

bool PrescriptionDesk::settleUnsavedWork()
{
    if (!hasUnsavedWork())
        return true;
    switch (m_services.messages->askYesNoCancel(kUnsavedWorkQuestion, Messages::Icon::Question)) {
    case Messages::Answer::Yes:
        // A refused save has said why; the work stays on screen.
        return savePrescription();
    case Messages::Answer::No:
        return true;
    case Messages::Answer::Cancel:
        break;
    }
    return false;
}

void PrescriptionDesk::closeEvent(QCloseEvent* event)
{
    if (settleUnsavedWork())
        event->accept();
    else
        event->ignore();
}

void PrescriptionDesk::newPrescription()
{
    if (!settleUnsavedWork())
        return;
    showEmptyPrescription(m_keys.nextTagged(m_services.clock->now()));
    // A practice name saved at another desk heads this prescription, on screen and on paper.
    if (m_services.settings)
        m_services.settings->reread();
    paperCaptions[0]->setText(settingsValue(&SettingsReaders::practiceName));
    centreTitle();
    fieldEdits[kVeterinarianField]->setText(settingsValue(&SettingsReaders::veterinarian));
    fieldEdits[kPractisingNumberField]->setText(settingsValue(&SettingsReaders::practisingNumber));
    fieldEdits[kDispenserField]->setText(settingsValue(&SettingsReaders::dispenser));
    markSettled();
}

void PrescriptionDesk::continuePrescription()
{
    if (!settleUnsavedWork())
        return;
    // Same owner and patient: only the number, the date, the key and the body start again.
    fieldEdits[kArchiveNumberField]->setText(keyTime(m_services.clock->now()));
    fieldEdits[kDateField]->setText(todayText(*m_services.clock));
    recordKeyLabel->setText(m_keys.nextTagged(m_services.clock->now()));
    m_seen.clear();
    m_unconfirmed.clear();
    body->clear();
    markSettled();
    searchBox->setFocus();
}

PrescriptionRecord PrescriptionDesk::currentRecord() const
{
    PrescriptionRecord record;
    for (int i = 0; i < kFieldCount; ++i)
        record.fields[i] = fieldEdits[i]->text();
    record.body = bodyText();
    record.key = recordKey();
    record.seen = m_seen;
    record.unconfirmed = m_unconfirmed;
    return record;
}

bool PrescriptionDesk::savePrescription()
{
    if (!m_services.db) {
        m_services.messages->inform(
            notSavedMessage(QStringLiteral("数据库未打开。")), Messages::Icon::Warning);
        return false;
    }
    PrescriptionRecord record = currentRecord();
    DeskSave saved = saveRecordFromDesk(*m_services.db, record);
    if (saved.conflict != RowConflict::None) {
        // Another desk changed or deleted it since it was loaded here: nothing was written, and nothing is
        // overwritten unless the user says so.
        const Messages::Answer answer = saved.conflict == RowConflict::Deleted
            ? (m_services.messages->askYesNo(conflictQuestion(saved.conflict), Messages::Icon::Warning)
                    ? Messages::Answer::No
                    : Messages::Answer::Cancel)
            : m_services.messages->askYesNoCancel(conflictQuestion(saved.conflict), Messages::Icon::Warning);
        if (answer == Messages::Answer::Yes) {
            loadStoredPrescription(record.key);
            runArchiveQuery();
            return false;
        }
        if (answer == Messages::Answer::Cancel)
            return false;
        record.key = m_keys.nextTagged(m_services.clock->now());
        record.seen.clear();
        record.unconfirmed.clear();
        saved = saveRecordFromDesk(*m_services.db, record);
    }
    if (!saved.result) {
        const QString reason
            = saved.result.error.isEmpty() ? QStringLiteral("数据库未打开。") : saved.result.error;
        // Whether a save whose connection broke at the last step was stored could not be learned: say so,
        // and keep what it sent, so that saving again changes that row or adds it, never a second one.
        if (saved.result.outcomeUnknown) {
            recordKeyLabel->setText(saved.key);
            m_unconfirmed = saved.unconfirmed;
        }
        m_services.messages->inform(
            saved.result.outcomeUnknown ? reason : notSavedMessage(reason), Messages::Icon::Warning);
        return false;
    }
    // A new prescription whose key another desk took meanwhile was stored under the next free one.
    recordKeyLabel->setText(saved.key);
    m_seen = saved.seen;
    m_unconfirmed.clear();
    markSettled();
    runArchiveQuery();
    return true;
}

PrescriptionPaper PrescriptionDesk::currentPaper() const
{
    // The paper as the screen lays it out: the labels have sized themselves to their texts.
    PrescriptionPaper printed;
    printed.title = paperCaptions[0]->text();
    printed.titleWidth = pixelsToTwips(paperCaptions[0]->width());
    for (int i = 0; i < kFieldCount; ++i) {
        printed.values[i] = fieldEdits[i]->text();
        printed.captionWidths[i]
            = fieldCaptions[i]->text().isEmpty() ? 0 : pixelsToTwips(fieldCaptions[i]->width());
    }
    printed.body = bodyText();
    return printed;
}

bool PrescriptionDesk::printShownPrescription()
{
    return printPrescription(m_services, currentPaper(), this);
}

void PrescriptionDesk::copyBody()
{
    m_services.clipboard->clear();
    m_services.clipboard->setText(bodyText());
}

void PrescriptionDesk::pasteBody()
{
    // The whole body is replaced, not added to at the caret.
    setBodyText(m_services.clipboard->text());
}

void PrescriptionDesk::saveBodyAsTemplate()
{
    if (!m_services.windows)
        return;
    const bool herbal = m_currentCategory == Herbs || m_currentCategory == Formulas;
    m_services.windows->openTemplates(
        herbal ? drugCategoryCaption(Formulas) : drugCategoryCaption(PrescriptionSets), bodyText(), true);
}

void PrescriptionDesk::runArchiveQuery()
{
    if (!m_services.db) {
        archiveList->clear();
        return;
    }
    ArchiveResult result
        = queryArchive(*m_services.db, ownerFilter->text(), fromDate->text(), toDate->text());
    if (result.storeFailed) {
        // The store did not answer (the practice's server went away): the list keeps what it showed, so the
        // desk goes on with what is on screen, and the user learns why the list did not change.
        m_services.messages->inform(
            QStringLiteral("档案列表没有更新。\n%1").arg(result.error), Messages::Icon::Warning);
        return;
    }
    archiveList->showLines(std::move(result.lines));
    if (!result.ok)
        m_services.messages->inform(archiveDateMessage(), Messages::Icon::Warning);
}

void PrescriptionDesk::showTodaysArchive()
{
    const ArchiveRange range = todayRange(m_services.clock->now().date());
    fromDate->setText(range.start);
    toDate->setText(range.end);
    ownerFilter->clear();
    runArchiveQuery();
}

void PrescriptionDesk::stepArchiveDay(int days)
{
    const ArchiveRange range = steppedDayRange(fromDate->text(), toDate->text(), days);
    fromDate->setText(range.start);
    toDate->setText(range.end);
    ownerFilter->clear();
    runArchiveQuery();
}

void PrescriptionDesk::showRecord(const PrescriptionRecord& record)
{
    // Filling the fields must not open the completion lists.
    m_pickerSuppressed = true;
    for (int i = 0; i < kFieldCount; ++i)
        fieldEdits[i]->setText(record.fields[i]);
    setBodyText(record.body);
    recordKeyLabel->setText(record.key);
    m_seen = record.seen;
    m_unconfirmed.clear();
    markSettled();
    hideCompletionLists();
}

bool PrescriptionDesk::loadArchiveLine(int line)
{
    // The line's own key, whatever the filters say now.
    return line >= 0 && line < archiveList->count() && loadStoredPrescription(archiveList->key(line));
}

bool PrescriptionDesk::loadStoredPrescription(const QString& key)
{
    if (!m_services.db)
        return false;
    QString error;
    const std::optional<PrescriptionRecord> record = loadRecord(*m_services.db, key, &error);
    if (!record) {
        m_services.messages->inform(
            QStringLiteral("没有读到这张处方：%1").arg(error), Messages::Icon::Warning);
        return false;
    }
    showRecord(*record);
    return true;
}

void PrescriptionDesk::rightClickArchiveLine(const QPoint& inViewport)
{
    const int line = archiveList->lineAt(inViewport);
    // Away from the lines there is nothing to act on.
    if (line < 0)
        return;
    // The panel deletes the prescription the desk shows, so the clicked line is loaded first: the user sees
    // what the deletion would remove. Changed work on screen is settled before it is replaced.
    const QString key = archiveList->key(line);
    if (!settleUnsavedWork() || !loadStoredPrescription(key))
        return;
    // Settling may have saved and so refilled the list: the line is found again by its key.
    if (const int found = archiveList->lineOf(key); found >= 0)
        archiveList->setCurrentRow(found);
    openDeletePanel(archiveList->viewport()->mapTo(archiveList, inViewport));
}

void PrescriptionDesk::openDeletePanel(const QPoint& mouse)
{
    if (archiveList->count() == 0)
        return;
    const QPointF listCorner(pixelsToTwips(archiveList->x()), pixelsToTwips(archiveList->y()));
    const QPointF at
        = deletePanelPosition(listCorner, QPointF(pixelsToTwips(mouse.x()), pixelsToTwips(mouse.y())));
    deletePanel->move(twips(at.x()), twips(at.y()));
    deletePanel->show();
    deletePanel->raise();
}

void PrescriptionDesk::highlightPanelEntry(int index)
{
    for (int i = 0; i < int(deletePanelEntries.size()); ++i) {
        if (i == index)
            setEntryColours(deletePanelEntries[i], Qt::white, palette().color(QPalette::Highlight));
        else
            setEntryColours(deletePanelEntries[i], Qt::black, Qt::white);
    }
}

void PrescriptionDesk::deleteShownRecord()
{
    deletePanel->hide();
    if (!m_services.messages->askOkCancel(
            QStringLiteral("确实要永久删除该档案吗？"), Messages::Icon::Warning))
        return;
    const QString key = recordKey();
    const Result deleted = m_services.db ? deleteRecord(*m_services.db, key) : Result {};
    if (!deleted) {
        const QString reason = deleted.error.isEmpty() ? QStringLiteral("数据库未打开。") : deleted.error;
        m_services.messages->inform(
            QStringLiteral("档案没有删除！\n%1").arg(reason), Messages::Icon::Warning);
        return;
    }
    archiveList->removeLinesOf(key);
    // A fresh, empty prescription; the veterinarian's fields stay empty until New.
    showEmptyPrescription(m_keys.nextPlain(m_services.clock->now()));
    markSettled();
}

} // namespace qv
