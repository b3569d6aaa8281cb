#pragma once
// Fakes for the seams of platform/services.h: a clock the test sets, messages whose answers are scripted and
// whose texts are recorded, the next file name of a save dialog, an in-memory clipboard, recorded web
// addresses, drive roots in temporary folders.

#include "platform/services.h"

#include <QList>
#include <QStringList>

namespace qv::test {

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t = QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0)))
        : m_now(t)
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceSeconds(int s) { m_now = m_now.addSecs(s); }

private:
    QDateTime m_now;
};

class ScriptedMessages final : public Messages {
public:
    struct Shown {
        QString text;
        Icon icon;
        QString kind; // "inform", "yesno", "okcancel", "yesnocancel"
    };
    void inform(const QString& text, Icon icon) override
    {
        m_shown.append({ text, icon, QStringLiteral("inform") });
    }
    bool askYesNo(const QString& text, Icon icon) override
    {
        m_shown.append({ text, icon, QStringLiteral("yesno") });
        return nextAnswer();
    }
    bool askOkCancel(const QString& text, Icon icon) override
    {
        m_shown.append({ text, icon, QStringLiteral("okcancel") });
        return nextAnswer();
    }
    Answer askYesNoCancel(const QString& text, Icon icon) override
    {
        m_shown.append({ text, icon, QStringLiteral("yesnocancel") });
        return m_choices.isEmpty() ? Answer::Cancel : m_choices.takeFirst();
    }
    // Answers for the coming two-way questions, in order; unscripted ones are answered "no" / "cancel".
    void setNextAnswers(const QList<bool>& answers) { m_answers = answers; }
    // Answers for the coming Yes/No/Cancel questions, in order; unscripted ones are answered Cancel.
    void setNextChoices(const QList<Answer>& choices) { m_choices = choices; }
    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const
    {
        QStringList t;
        for (const auto& s : m_shown)
            t << s.text;
        return t;
    }
    QString last() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    void clear() { m_shown.clear(); }

private:
    bool nextAnswer() { return m_answers.isEmpty() ? false : m_answers.takeFirst(); }
    QList<Shown> m_shown;
    QList<bool> m_answers;
    QList<Answer> m_choices;
};

class NextFileName final : public FileDialogs {
public:
    QString saveFileName(
        QWidget*, const QString& title, const QString& directory, const QString& filter) override
    {
        lastTitle = title;
        lastDirectory = directory;
        lastFilter = filter;
        ++asked;
        return next;
    }
    QString openFileName(
        QWidget*, const QString& title, const QString& directory, const QString& filter) override
    {
        return saveFileName(nullptr, title, directory, filter);
    }
    QString existingFolder(QWidget*, const QString& title, const QString& directory) override
    {
        return saveFileName(nullptr, title, directory, QString());
    }
    QString next; // empty: the user cancels
    QString lastTitle, lastDirectory, lastFilter;
    int asked = 0;
};

class MemoryClipboard final : public Clipboard {
public:
    void clear() override { m_text.clear(); }
    void setText(const QString& text) override { m_text = text; }
    QString text() const override { return m_text; }

private:
    QString m_text;
};

class RecordingUrlOpener final : public UrlOpener {
public:
    void open(const QString& address) override { opened << address; }
    QStringList opened;
};

// Drive roots in folders the test owns; an empty D means "no drive D:".
class FolderDrives final : public DriveRoots {
public:
    QString driveC() const override { return c; }
    QString driveD() const override { return d; }
    bool hasVisibleEntries(const QString& root) const override;
    QString c, d;
};

} // namespace qv::test

namespace qv::test {

// Records which windows were asked for.
class RecordingWindowOpener final : public WindowOpener {
public:
    void openSettings() override { opened << QStringLiteral("settings"); }
    void openDrugCatalog() override { opened << QStringLiteral("drugs"); }
    void openTemplates(const QString& category, const QString& body, bool preset) override
    {
        opened << QStringLiteral("templates");
        templateCategory = category;
        templateBody = body;
        templatePreset = preset;
    }
    void openSpecies() override { opened << QStringLiteral("species"); }
    void openDiagnoses() override { opened << QStringLiteral("diagnoses"); }
    void openDesk() override { opened << QStringLiteral("desk"); }
    void openStatistics() override { opened << QStringLiteral("statistics"); }
    void openLog() override { opened << QStringLiteral("log"); }
    QStringList opened;
    QString templateCategory, templateBody;
    bool templatePreset = false;
};

} // namespace qv::test
