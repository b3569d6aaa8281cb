// Qt's own texts in Chinese once its translation is installed, and the sentences a file failure is told in.

#include "platform/failures.h"
#include "platform/qtservices.h"
#include "platform/translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <functional>

using namespace qv;

namespace {

// A text as the user reads it: without the access-key mark "(&Y)" or "&" and without the shortcut after a
// tab.
QString shown(QString text)
{
    text = text.section(QLatin1Char('\t'), 0, 0);
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    text.remove(QLatin1Char('&'));
    return text;
}

// The button texts of the message box that ask() shows; the box is answered with its last button.
QStringList buttonsOfTheBox(const std::function<void()>& ask)
{
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons())
            texts << shown(button->text());
        box->buttons().last()->click();
    });
    ask();
    texts.sort();
    return texts;
}

QStringList shownTexts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions)
        texts << shown(action->text());
    return texts;
}

} // namespace

class ChineseTest final : public QObject {
    Q_OBJECT

private slots:
    // Runs first, before any translation is installed.
    void withoutTheTranslationFileQtStaysEnglish()
    {
        QTemporaryDir empty;
        QVERIFY(!installQtChinese(*qApp, empty.path()));
        BoxMessages messages;
        QCOMPARE(
            buttonsOfTheBox([&] { messages.inform(QStringLiteral("密码错误！"), Messages::Icon::None); }),
            QStringList { "OK" });
    }

    void messageBoxButtonsAreChinese()
    {
        QVERIFY2(
            installQtChinese(*qApp), "qtbase_zh_CN.qm is missing: ./setup.sh installs qt6-translations-l10n");
        BoxMessages messages;
        QCOMPARE(
            buttonsOfTheBox([&] { messages.inform(QStringLiteral("密码错误！"), Messages::Icon::None); }),
            QStringList { "确定" });
        QCOMPARE(buttonsOfTheBox([&] {
            messages.askYesNo(QStringLiteral("该商品已有库存，确认要删除吗!"), Messages::Icon::Warning);
        }),
            (QStringList { "否", "是" }));
        QCOMPARE(buttonsOfTheBox([&] {
            messages.askOkCancel(QStringLiteral("确实要永久删除该档案吗？"), Messages::Icon::Warning);
        }),
            (QStringList { "取消", "确定" }));
    }

    void textFieldMenusAndSaveDialogsAreChinese()
    {
        QLineEdit field;
        const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        const QStringList entries = shownTexts(menu->actions());
        for (const char* entry : { "撤消", "重做", "剪切", "复制", "粘贴", "删除", "全选" })
            QVERIFY2(entries.contains(QString::fromUtf8(entry)), qPrintable(entries.join(" ")));

        // The save dialog of the export and of the PDF fallback, as Qt draws it without a desktop's own.
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            texts << shown(label->text());
        for (const QPushButton* button : dialog.findChildren<QPushButton*>())
            texts << shown(button->text());
        for (const char* text : { "查找范围：", "文件名称：", "保存", "取消" })
            QVERIFY2(texts.contains(QString::fromUtf8(text)), qPrintable(texts.join(" ")));
    }

    void fileFailuresSayWhatHappened_data()
    {
        QTest::addColumn<QString>("target"); // "folder": the path is a folder; "file": a new file's path
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("a folder stands there") << "folder" << 0 << "这个位置上是一个文件夹";
        QTest::newRow("disk full") << "file" << ENOSPC << "磁盘已满";
        QTest::newRow("file too large for the disk") << "file" << EFBIG << "磁盘已满";
        QTest::newRow("no permission")
            << "file" << EACCES << "文件或文件夹是只读的，或者当前用户没有写入的权限";
        QTest::newRow("read-only medium") << "file" << EROFS << "文件或文件夹是只读的";
        QTest::newRow("in use") << "file" << EBUSY << "文件正被其他程序使用";
        QTest::newRow("failing disk") << "file" << EIO << "读写磁盘时出错";
        QTest::newRow("anything else") << "file" << EINVAL << "操作没有完成";
    }

    void fileFailuresSayWhatHappened()
    {
        QFETCH(QString, target);
        QFETCH(int, error);
        QFETCH(QString, sentence);
        QTemporaryDir dir;
        const QString path = target == "folder" ? dir.path() : dir.filePath(QStringLiteral("门诊日志.xls"));
        const QString told = explainFileFailure(path, QStringLiteral("Some technical reason"), error);
        QVERIFY2(told.startsWith(sentence), qPrintable(told));
        // The sentence first, the technical reason after it in brackets.
        QVERIFY2(told.endsWith(QStringLiteral("。（Some technical reason）")), qPrintable(told));
    }

    void aReasonOfTheProgramsOwnIsToldAsItIs()
    {
        QCOMPARE(explainFailure(FailureKind::Stated, QStringLiteral("处方没有档案序号。")),
            QStringLiteral("处方没有档案序号。"));
        QCOMPARE(explainFailure(FailureKind::DiskFull, QString()), failureSentence(FailureKind::DiskFull));
    }
};

QTEST_MAIN(ChineseTest)
#include "tst_chinese.moc"
