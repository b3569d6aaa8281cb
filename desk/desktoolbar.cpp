// PrescriptionDesk: the keyboard route to the toolbar. Each button says what it does in its tooltip, with its
// shortcut key where it has one.
#include "desk/prescriptiondesk.h"

#include "desk/deskwidgets.h"

#include <QAction>
#include <QFrame>
#include <QKeySequence>
#include <QLineEdit>

namespace qv {

namespace {

    struct ToolbarTip {
        int index;
        const char16_t* action;
        const char* key; // as the keyboard names it; empty: no shortcut
    };
    // Copy and paste have no shortcut of their own: Ctrl+C and Ctrl+V belong to the text boxes.
    const ToolbarTip kToolbarTips[] = {
        { 0, u"开始一张新处方", "Ctrl+N" },
        { 1, u"为同一动物续开一张处方", "Ctrl+Shift+N" },
        { 2, u"保存当前处方", "Ctrl+S" },
        { 3, u"打印当前处方", "Ctrl+P" },
        { 9, u"把处方内容复制到剪贴板", "" },
        { 10, u"用剪贴板的文字替换处方内容", "" },
        { 4, u"打开门诊日志", "" },
        { 7, u"打开业务统计", "" },
        { 5, u"把处方内容存为组套", "" },
        { 8, u"打开操作帮助", "F1" },
        { 6, u"打开视频教程", "" },
    };

    QString withKey(const QString& text, const QKeySequence& key)
    {
        return key.isEmpty() ? text
                             : QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText));
    }

} // namespace

void PrescriptionDesk::buildShortcuts()
{
    // The keys work while the focus is anywhere in the desk, and nowhere else: the other windows of the
    // program keep their own keys.
    auto addShortcut = [this](const QKeySequence& key, const std::function<void()>& run) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, run);
        addAction(action);
    };
    for (const ToolbarTip& tip : kToolbarTips) {
        const QKeySequence key = QKeySequence::fromString(QString::fromLatin1(tip.key));
        toolbarButtons[tip.index]->setToolTip(withKey(QString::fromUtf16(tip.action), key));
        if (!key.isEmpty())
            addShortcut(key, [this, i = tip.index] { runToolbarAction(i); });
    }
    const QKeySequence find = QKeySequence::fromString(QStringLiteral("Ctrl+F"));
    searchBox->setToolTip(withKey(QStringLiteral("输入药名或拼音首字母查询"), find));
    addShortcut(find, [this] {
        searchBox->setFocus(Qt::ShortcutFocusReason);
        searchBox->selectAll();
    });
}

} // namespace qv
