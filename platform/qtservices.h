#pragma once
// The real implementations of the seams, used by the program (tests use the fakes of tests/support).

#include "platform/services.h"

namespace qv {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class BoxMessages final : public Messages {
public:
    void inform(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text, Icon icon) override;
    bool askOkCancel(const QString& text, Icon icon) override;
    Answer askYesNoCancel(const QString& text, Icon icon) override;
};

class QtFileDialogs final : public FileDialogs {
public:
    QString saveFileName(
        QWidget* parent, const QString& title, const QString& directory, const QString& filter) override;
    QString openFileName(
        QWidget* parent, const QString& title, const QString& directory, const QString& filter) override;
    QString existingFolder(QWidget* parent, const QString& title, const QString& directory) override;
};

class QtClipboard final : public Clipboard {
public:
    void clear() override;
    void setText(const QString& text) override;
    QString text() const override;
};

class DesktopUrlOpener final : public UrlOpener {
public:
    void open(const QString& address) override;
};

// Drive C: is the home folder (or $QUORVELA_DRIVE_C), drive D: the folder named by $QUORVELA_DRIVE_D.
// On Windows they are the real c:\ and d:\.
class HostDriveRoots final : public DriveRoots {
public:
    QString driveC() const override;
    QString driveD() const override;
    bool hasVisibleEntries(const QString& root) const override;
};

} // namespace qv
