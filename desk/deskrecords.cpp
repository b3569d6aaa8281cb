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
    connect(Command2, &QPushButton::clicked, this, &PrescriptionDesk::showTodaysArchive);
    connect(Command5, &QPushButton::clicked, this, [this] { stepArchiveDay(-1); });
    connect(Command6, &QPushButton::clicked, this, [this] { stepArchiveDay(1); });
    connect(Text2, &QLineEdit::textChanged, this, [this](const QString& owner) {
        // A typed name widens the range to ten years; the list waits for "查   询".
        if (owner.trimmed().isEmpty())
            return;
        const ArchiveRange range = ownerTypingRange(m_services.clock->now().date());
        Text3->setText(range.start);
        Text4->setText(range.end);
    });
    connect(List2, &ArchiveList::lineClicked, this, &PrescriptionDesk::loadArchiveLine);
    connect(Label9[0], &ClickLabel::clicked, this, &PrescriptionDesk::deleteShownRecord);
    connect(Label9[1], &ClickLabel::clicked, Picture6, &QWidget::hide);
    for (QObject* watched : { static_cast<QObject*>(Text2), static_cast<QObject*>(Command2),
             static_cast<QObject*>(List2->viewport()), static_cast<QObject*>(Label9[0]),
             static_cast<QObject*>(Label9[1]) })
        watched->installEventFilter(this);
    for (ClickLabel* entry : Label9) {
        entry->setAutoFillBackground(true);
        setEntryColours(entry, Qt::black, Qt::white);
    }
}

bool PrescriptionDesk::archiveEvent(QObject* watched, QEvent* event)
{
    if (watched == Text2 && isEnter(event)) {
        Command2->setFocus();
        return true;
    }
    if (watched == Command2 && isEnter(event)) {
        Command2->click();
        return true;
    }
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == List2->viewport() && (press || event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (press && mouse->button() == Qt::LeftButton)
            Picture6->hide();
        if (!press && mouse->button() == Qt::RightButton)
            rightClickArchiveLine(mouse->position().toPoint());
        // The right press selects nothing by itself: the release first loads the line it hit.
        return press && mouse->button() == Qt::RightButton;
    }
    for (int i = 0; i < int(Label9.size()); ++i) {
        if (watched == Label9[i] && event->type() == QEvent::Enter)
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
    for (FieldEdit* field : Text5)
        field->clear();
    Text5[kArchiveNumberField]->setText(keyTime(m_services.clock->now()));
    Text5[kDateField]->setText(todayText(*m_services.clock));
    Label4->setText(key);
    m_seen.clear();
    R1->clear();
    Text5[0]->setFocus();
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
    Text5[kVeterinarianField]->setText(settingsValue(&SettingsReaders::veterinarian));
    Text5[kPractisingNumberField]->setText(settingsValue(&SettingsReaders::practisingNumber));
    Text5[kDispenserField]->setText(settingsValue(&SettingsReaders::dispenser));
    markSettled();
}

void PrescriptionDesk::continuePrescription()
{
    if (!settleUnsavedWork())
        return;
    // Same owner and patient: only the number, the date, the key and the body start again.
    Text5[kArchiveNumberField]->setText(keyTime(m_services.clock->now()));
    Text5[kDateField]->setText(todayText(*m_services.clock));
    Label4->setText(m_keys.nextTagged(m_services.clock->now()));
    m_seen.clear();
    R1->clear();
    markSettled();
    Text1->setFocus();
}

PrescriptionRecord PrescriptionDesk::currentRecord() const
{
    PrescriptionRecord record;
    for (int i = 0; i < kFieldCount; ++i)
        record.fields[i] = Text5[i]->text();
    record.body = bodyText();
    record.key = recordKey();
    record.seen = m_seen;
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
        saved = saveRecordFromDesk(*m_services.db, record);
    }
    if (!saved.result) {
        const QString reason
            = saved.result.error.isEmpty() ? QStringLiteral("数据库未打开。") : saved.result.error;
        m_services.messages->inform(notSavedMessage(reason), Messages::Icon::Warning);
        return false;
    }
    // A new prescription whose key another desk took meanwhile was stored under the next free one.
    Label4->setText(saved.key);
    m_seen = saved.seen;
    markSettled();
    runArchiveQuery();
    return true;
}

PrescriptionPaper PrescriptionDesk::currentPaper() const
{
    // The paper as the screen lays it out: the labels have sized themselves to their texts.
    PrescriptionPaper paper;
    paper.title = Label2[0]->text();
    paper.titleWidth = pixelsToTwips(Label2[0]->width());
    for (int i = 0; i < kFieldCount; ++i) {
        paper.values[i] = Text5[i]->text();
        paper.captionWidths[i] = Label3[i]->text().isEmpty() ? 0 : pixelsToTwips(Label3[i]->width());
    }
    paper.body = bodyText();
    return paper;
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
        List2->clear();
        return;
    }
    ArchiveResult result = queryArchive(*m_services.db, Text2->text(), Text3->text(), Text4->text());
    if (result.storeFailed) {
        // The store did not answer (the practice's server went away): the list keeps what it showed, so the
        // desk goes on with what is on screen, and the user learns why the list did not change.
        m_services.messages->inform(
            QStringLiteral("档案列表没有更新。\n%1").arg(result.error), Messages::Icon::Warning);
        return;
    }
    List2->showLines(std::move(result.lines));
    if (!result.ok)
        m_services.messages->inform(archiveDateMessage(), Messages::Icon::Warning);
}

void PrescriptionDesk::showTodaysArchive()
{
    const ArchiveRange range = todayRange(m_services.clock->now().date());
    Text3->setText(range.start);
    Text4->setText(range.end);
    Text2->clear();
    runArchiveQuery();
}

void PrescriptionDesk::stepArchiveDay(int days)
{
    const ArchiveRange range = steppedDayRange(Text3->text(), Text4->text(), days);
    Text3->setText(range.start);
    Text4->setText(range.end);
    Text2->clear();
    runArchiveQuery();
}

void PrescriptionDesk::showRecord(const PrescriptionRecord& record)
{
    // Filling the fields must not open the completion lists.
    m_pickerSuppressed = true;
    for (int i = 0; i < kFieldCount; ++i)
        Text5[i]->setText(record.fields[i]);
    setBodyText(record.body);
    Label4->setText(record.key);
    m_seen = record.seen;
    markSettled();
    hideCompletionLists();
}

bool PrescriptionDesk::loadArchiveLine(int line)
{
    // The line's own key, whatever the filters say now.
    return line >= 0 && line < List2->count() && loadStoredPrescription(List2->key(line));
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
    const int line = List2->lineAt(inViewport);
    // Away from the lines there is nothing to act on.
    if (line < 0)
        return;
    // The panel deletes the prescription the desk shows, so the clicked line is loaded first: the user sees
    // what the deletion would remove. Changed work on screen is settled before it is replaced.
    const QString key = List2->key(line);
    if (!settleUnsavedWork() || !loadStoredPrescription(key))
        return;
    // Settling may have saved and so refilled the list: the line is found again by its key.
    if (const int found = List2->lineOf(key); found >= 0)
        List2->setCurrentRow(found);
    openDeletePanel(List2->viewport()->mapTo(List2, inViewport));
}

void PrescriptionDesk::openDeletePanel(const QPoint& mouse)
{
    if (List2->count() == 0)
        return;
    const QPointF listCorner(pixelsToTwips(List2->x()), pixelsToTwips(List2->y()));
    const QPointF at
        = deletePanelPosition(listCorner, QPointF(pixelsToTwips(mouse.x()), pixelsToTwips(mouse.y())));
    Picture6->move(twips(at.x()), twips(at.y()));
    Picture6->show();
    Picture6->raise();
}

void PrescriptionDesk::highlightPanelEntry(int index)
{
    for (int i = 0; i < int(Label9.size()); ++i) {
        if (i == index)
            setEntryColours(Label9[i], Qt::white, palette().color(QPalette::Highlight));
        else
            setEntryColours(Label9[i], Qt::black, Qt::white);
    }
}

void PrescriptionDesk::deleteShownRecord()
{
    Picture6->hide();
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
    List2->removeLinesOf(key);
    // A fresh, empty prescription; the veterinarian's fields stay empty until New.
    showEmptyPrescription(m_keys.nextPlain(m_services.clock->now()));
    markSettled();
}

} // namespace qv
