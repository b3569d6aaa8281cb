#pragma once
// The progress bar of a backup: a backup of the practice's server copies the whole archive, which takes a few
// seconds; the bar shows once it has taken longer than a second. Cancel stops the backup, which then leaves
// no file. The bar is gone before any message about the backup is shown: its owner ends it first.

#include "store/database.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace qv {

class BackupProgress {
public:
    explicit BackupProgress(QWidget* parent = nullptr)
        : m_dialog(QStringLiteral("正在备份数据库…"), QStringLiteral("取消"), 0, kSteps, parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("备份"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(1000);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    // What the copy calls as it goes; false once the user cancelled.
    Database::Progress callback()
    {
        return [this](qint64 done, qint64 total) {
            m_dialog.setValue(total > 0 ? int(qMin(done, total) * kSteps / total) : 0);
            // Waiting for another program's backup moves nothing: the bar and its Cancel still answer.
            if (total <= 0)
                QCoreApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }

private:
    static constexpr int kSteps = 1000;
    QProgressDialog m_dialog;
};

} // namespace qv
