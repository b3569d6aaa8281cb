#pragma once
// The progress bar of an import of the Windows program's database, with "取消": a ten-year archive takes
// half a minute. Cancel rolls the import back, which then leaves everything as it was.

#include <QCoreApplication>
#include <QProgressDialog>

#include <functional>
#include <memory>

namespace qv {

class ImportProgress {
public:
    explicit ImportProgress(QWidget* parent = nullptr)
        : m_dialog(QStringLiteral("正在导入旧版数据库…"), QStringLiteral("取消"), 0, kSteps, parent)
    {
        m_dialog.setObjectName(QStringLiteral("ImportProgress"));
        m_dialog.setWindowTitle(QStringLiteral("导入"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    // False once the user cancelled.
    bool update(qint64 done, qint64 total)
    {
        m_dialog.setValue(total > 0 ? int(qMin(done, total) * kSteps / total) : 0);
        // The dialog is modal and repaints itself only on setValue's steps; the events of the cancel button
        // must come through between them too.
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

    // A bar for one import, closed when the last copy of the callback goes.
    static std::function<bool(qint64, qint64)> start(QWidget* parent = nullptr)
    {
        auto bar = std::make_shared<ImportProgress>(parent);
        return [bar](qint64 done, qint64 total) { return bar->update(done, total); };
    }

private:
    static constexpr int kSteps = 1000;
    QProgressDialog m_dialog;
};

} // namespace qv
