#include "platform/qtservices.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace qv {

namespace {

    QMessageBox::Icon boxIcon(Messages::Icon icon)
    {
        switch (icon) {
        case Messages::Icon::Information:
            return QMessageBox::Information;
        case Messages::Icon::Warning:
            return QMessageBox::Warning;
        case Messages::Icon::Question:
            return QMessageBox::Question;
        case Messages::Icon::Critical:
            return QMessageBox::Critical;
        case Messages::Icon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }

    QMessageBox::StandardButton ask(
        const QString& text, Messages::Icon icon, QMessageBox::StandardButtons buttons)
    {
        QMessageBox box(boxIcon(icon), QStringLiteral("提示"), text, buttons, QApplication::activeWindow());
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }

} // namespace

void BoxMessages::inform(const QString& text, Icon icon) { ask(text, icon, QMessageBox::Ok); }

bool BoxMessages::askYesNo(const QString& text, Icon icon)
{
    return ask(text, icon, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool BoxMessages::askOkCancel(const QString& text, Icon icon)
{
    return ask(text, icon, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

Messages::Answer BoxMessages::askYesNoCancel(const QString& text, Icon icon)
{
    switch (ask(text, icon, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

// Qt's own dialogs, which speak the program's Chinese: the desktop's native ones speak its language.
constexpr auto kChineseDialog = QFileDialog::DontUseNativeDialog;

QString QtFileDialogs::saveFileName(
    QWidget* parent, const QString& title, const QString& directory, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, directory, filter, nullptr, kChineseDialog);
}

QString QtFileDialogs::openFileName(
    QWidget* parent, const QString& title, const QString& directory, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, directory, filter, nullptr, kChineseDialog);
}

QString QtFileDialogs::existingFolder(QWidget* parent, const QString& title, const QString& directory)
{
    return QFileDialog::getExistingDirectory(
        parent, title, directory, QFileDialog::ShowDirsOnly | kChineseDialog);
}

void QtClipboard::clear() { QApplication::clipboard()->clear(); }

void QtClipboard::setText(const QString& text) { QApplication::clipboard()->setText(text); }

QString QtClipboard::text() const { return QApplication::clipboard()->text(); }

void DesktopUrlOpener::open(const QString& address)
{
    // The result is ignored: with no browser there is nothing useful to say.
    const QUrl url = QUrl::fromUserInput(address);
    QDesktopServices::openUrl(url);
}

QString HostDriveRoots::driveC() const
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:/");
#else
    const QString overridden = qEnvironmentVariable("QUORVELA_DRIVE_C");
    return overridden.isEmpty() ? QDir::homePath() : overridden;
#endif
}

QString HostDriveRoots::driveD() const
{
#ifdef Q_OS_WIN
    return QStringLiteral("d:/");
#else
    return qEnvironmentVariable("QUORVELA_DRIVE_D");
#endif
}

bool HostDriveRoots::hasVisibleEntries(const QString& root) const
{
    if (root.isEmpty())
        return false;
    const QDir dir(root);
    if (!dir.exists())
        return false;
    // Hidden and system entries are not listed (QDir leaves them out unless asked).
    return !dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace qv
