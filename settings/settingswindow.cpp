#include "settings/settingswindow.h"
#include "platform/windowframe.h"

#include "platform/services.h"
#include "platform/units.h"
#include "print/printeraccess.h"
#include "settings/deskconfig.h"
#include "settings/settingsstore.h"
#include "store/database.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

namespace qv {

namespace {

    // Layout in twips.
    constexpr int kWidth = 5520;
    constexpr int kHeight = 6240;
    constexpr int kFrameWidth = 5040;
    constexpr int kSettingsFrameHeight = 3480; // the printer rows lie below this and are never seen
    constexpr int kRowStep = 500;

    QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& text, int maxLength)
    {
        auto* box = new QLineEdit(text, parent);
        box->setObjectName(QLatin1String(name));
        box->setMaxLength(maxLength);
        return box;
    }

    QLabel* caption(QWidget* parent, const char* name, const QString& text)
    {
        auto* label = new QLabel(text, parent);
        label->setObjectName(QLatin1String(name));
        return label;
    }

    QPushButton* button(QWidget* parent, const char* name, const QString& text)
    {
        auto* b = new QPushButton(text, parent);
        b->setObjectName(QLatin1String(name));
        return b;
    }

    // One caption + box row of the settings frame, row 0 at the top.
    void placeRow(QWidget* label, QWidget* box, int row)
    {
        const int top = 360 + row * kRowStep;
        label->setGeometry(twipsRect(240, top + 40, 1560, 255));
        box->setGeometry(twipsRect(1860, top, 2940, 315));
    }

    QLineEdit* settingsBox(QWidget* frame, int row, QLabel*& label, const char* labelName,
        const QString& text, const char* boxName, const QString& designText, int maxLength)
    {
        label = caption(frame, labelName, text);
        QLineEdit* box = lineEdit(frame, boxName, designText, maxLength);
        placeRow(label, box, row);
        return box;
    }

    // A printer row: loaded and saved like the others, but below the visible part of the frame and hidden.
    QComboBox* hiddenPrinterList(QWidget* frame, int row, QLabel*& label, const char* labelName,
        const QString& text, const char* listName)
    {
        label = caption(frame, labelName, text);
        auto* list = new QComboBox(frame);
        list->setObjectName(QLatin1String(listName));
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        list->lineEdit()->setMaxLength(50);
        placeRow(label, list, row);
        label->setVisible(false);
        list->setVisible(false);
        return list;
    }

    void setIfStored(QLineEdit* box, const std::optional<QString>& value)
    {
        if (value)
            box->setText(*value);
    }

} // namespace

SettingsWindow::SettingsWindow(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("综合设置"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    loadSettings();
}

void SettingsWindow::buildControls()
{
    setFixedSize(twipsSize(kWidth, kHeight));

    Frame1 = new QGroupBox(QStringLiteral("修改登录密码"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(240, 120, kFrameWidth, 1335));
    Label1 = caption(Frame1, "Label1", QStringLiteral("原密码"));
    Label1->setGeometry(twipsRect(240, 400, 720, 255));
    // Both password boxes show what is typed: the user must see the new password before storing it.
    Text8 = lineEdit(Frame1, "Text8", QString(), 15);
    Text8->setGeometry(twipsRect(1000, 360, 2200, 315));
    Label2 = caption(Frame1, "Label2", QStringLiteral("新密码"));
    Label2->setGeometry(twipsRect(240, 840, 720, 255));
    Text12 = lineEdit(Frame1, "Text12", QString(), 15);
    Text12->setGeometry(twipsRect(1000, 800, 2200, 315));
    Command3 = button(Frame1, "Command3", QStringLiteral("修改密码"));
    Command3->setGeometry(twipsRect(3480, 560, 1215, 435));

    Frame2 = new QGroupBox(QStringLiteral("综合设置"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(240, 1560, kFrameWidth, kSettingsFrameHeight));
    // Box lengths follow the column widths of [设置], so a save never meets a value the table cannot hold.
    Text1 = settingsBox(
        Frame2, 0, Label3, "Label3", QStringLiteral("单位名称"), "Text1", QStringLiteral("Text1"), 50);
    // Opening the window, first time or again, puts the keyboard in the first setting (the password boxes
    // above are for the rarer change of password).
    setFocusProxy(Text1);
    Text2 = settingsBox(
        Frame2, 1, Label4, "Label4", QStringLiteral("执业兽医"), "Text2", QStringLiteral("Text1"), 50);
    Text3 = settingsBox(
        Frame2, 2, Label5, "Label5", QStringLiteral("注 册 号"), "Text3", QStringLiteral("Text1"), 50);
    Text6 = settingsBox(
        Frame2, 3, Label6, "Label6", QStringLiteral("发 药 人"), "Text6", QStringLiteral("Text1"), 50);
    Text4 = settingsBox(
        Frame2, 4, Label7, "Label7", QStringLiteral("处方打印左边距"), "Text4", QStringLiteral("120"), 10);
    Text5 = settingsBox(
        Frame2, 5, Label8, "Label8", QStringLiteral("处方打印上边距"), "Text5", QStringLiteral("200"), 10);

    text17 = hiddenPrinterList(Frame2, 7, Label9, "Label9", QStringLiteral("默认打印机"), "text17");
    text19 = hiddenPrinterList(Frame2, 8, Label10, "Label10", QStringLiteral("处方打印机"), "text19");
    Check1 = new QCheckBox(QStringLiteral("保存后直接打印小票"), Frame2);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(twipsRect(240, 360 + 9 * kRowStep, 2940, 255));
    Check1->setVisible(false);

    // On the practice's server some values are this computer's own: the note says which, the boxes say so
    // when pointed at.
    Label11 = caption(this, "Label11", QStringLiteral("执业兽医、注册号、发药人只用于本机，其余各机共用"));
    Label11->setGeometry(twipsRect(240, 5070, kFrameWidth, 255));
    Label11->setVisible(false);

    Command1 = button(this, "Command1", QStringLiteral("保  存"));
    Command1->setGeometry(twipsRect(1200, 5400, 1215, 435));
    Command2 = button(this, "Command2", QStringLiteral("取  消"));
    Command2->setGeometry(twipsRect(3000, 5400, 1215, 435));

    connect(Command1, &QPushButton::clicked, this, &SettingsWindow::saveSettings);
    connect(Command2, &QPushButton::clicked, this, &SettingsWindow::cancel);
    connect(Command3, &QPushButton::clicked, this, &SettingsWindow::changePassword);
}

void SettingsWindow::loadSettings()
{
    // Printers first: adding the first item to an empty list would replace the stored name with that item.
    fillPrinterLists();
    // A null column leaves the design text, as does a store that does not answer (the practice's server went
    // away). The window then knows it read nothing: it refuses to save its texts over the stored values, and
    // the readers do not hand them on.
    QString error;
    bool storeFailed = false;
    const std::optional<StoredSettings> stored
        = m_services.db ? readStoredSettings(*m_services.db, &error, &storeFailed) : std::nullopt;
    m_loaded = stored;
    m_unreadReason = storeFailed ? error : QString();
    if (stored) {
        setIfStored(Text1, stored->practiceName);
        setIfStored(Text2, stored->veterinarian);
        setIfStored(Text3, stored->practisingNumber);
        setIfStored(Text6, stored->dispenser);
        setIfStored(Text4, stored->leftMargin);
        setIfStored(Text5, stored->topMargin);
        if (stored->slipPrinter)
            text19->setEditText(*stored->slipPrinter);
        if (stored->defaultPrinter)
            text17->setEditText(*stored->defaultPrinter);
    }
    if (onServer()) {
        Label11->setVisible(true);
        const QString own
            = QStringLiteral("只用于这台电脑（保存在本机）；这台电脑没有自己的值时用各机共用的值");
        const QString shared = QStringLiteral("各台电脑共用（保存在诊所服务器上）");
        for (QWidget* box : { static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text3),
                 static_cast<QWidget*>(Text6), static_cast<QWidget*>(text17), static_cast<QWidget*>(text19) })
            box->setToolTip(own);
        for (QWidget* box : { Text1, Text4, Text5 })
            box->setToolTip(shared);
        const DeskValues desk = readDeskValues(deskConfigPath());
        setIfStored(Text2, desk.veterinarian);
        setIfStored(Text3, desk.practisingNumber);
        setIfStored(Text6, desk.dispenser);
        if (desk.slipPrinter)
            text19->setEditText(*desk.slipPrinter);
        if (desk.defaultPrinter)
            text17->setEditText(*desk.defaultPrinter);
    }
    const QString defaultPrinter
        = m_services.printers ? m_services.printers->defaultPrinterName() : QString();
    if (text17->currentText().isEmpty())
        text17->setEditText(defaultPrinter);
    if (text19->currentText().isEmpty())
        text19->setEditText(defaultPrinter);
}

void SettingsWindow::fillPrinterLists()
{
    text17->clear();
    text19->clear();
    if (!m_services.printers)
        return;
    const QStringList printers = m_services.printers->installedPrinters();
    text19->addItems(printers);
    text17->addItems(printers);
    text19->setEditText(QString());
    text17->setEditText(QString());
}

void SettingsWindow::saveSettings()
{
    SettingsToSave values { Text1->text(), Text2->text(), Text3->text(), Text6->text(), Text4->text(),
        Text5->text(), text19->currentText(), text17->currentText() };
    if (!m_unreadReason.isEmpty()) {
        m_services.messages->inform(
            QStringLiteral("保存失败，设置没有保存！\n打开这个窗口时没有读到已保存的设置，"
                           "为免覆盖它们，这次不能保存。请关闭窗口，稍后再打开。\n")
                + m_unreadReason,
            Messages::Icon::Warning);
        return;
    }
    QString error = QStringLiteral("没有打开的数据库");
    bool changedElsewhere = false;
    const StoredSettings* seen = m_loaded ? &*m_loaded : nullptr;
    // On the practice's server the shared row is written first: the server may be away, and then nothing is
    // written anywhere.
    const bool written = m_services.db
        && (onServer() ? writeSharedSettings(*m_services.db, values, &error, seen, &changedElsewhere)
                       : writeSettings(*m_services.db, values, &error, seen, &changedElsewhere));
    if (!written) {
        if (changedElsewhere) {
            // Nothing was written; the user chooses between the stored values and keeping the typed ones.
            if (m_services.messages->askYesNo(
                    QStringLiteral("设置没有保存！%1\n\n要载入另一台电脑保存的设置吗？"
                                   "（本窗口的修改不保存）\n"
                                   "选“否”则不保存，修改留在窗口里。")
                        .arg(error),
                    Messages::Icon::Warning))
                loadSettings();
            return;
        }
        // The typed values stay in the window, so the user can try again.
        m_services.messages->inform(
            QStringLiteral("保存失败，设置没有保存！\n") + error, Messages::Icon::Warning);
        return;
    }
    if (onServer()) {
        const DeskValues desk { values.veterinarian, values.practisingNumber, values.dispenser,
            values.slipPrinter, values.defaultPrinter };
        if (!writeDeskValues(deskConfigPath(), desk, &error)) {
            m_services.messages->inform(
                QStringLiteral("本机的设置（执业兽医、注册号、发药人、打印机）没有保存！\n") + error,
                Messages::Icon::Warning);
            return;
        }
    }
    unload();
}

void SettingsWindow::cancel() { unload(); }

bool SettingsWindow::onServer() const { return m_services.db && m_services.db->kind() == StoreKind::Server; }

void SettingsWindow::changePassword()
{
    if (Text12->text().trimmed().isEmpty()) {
        m_services.messages->inform(QStringLiteral("请输入新密码！"));
        return;
    }
    // The window steps aside while the store is asked, and comes back unless the change closes it.
    QWidget* frame = windowFrame(this);
    const bool wasShown = frame->isVisible();
    frame->hide();
    QString error = QStringLiteral("没有打开的数据库");
    const PasswordChange outcome = m_services.db
        ? changeStoredPassword(*m_services.db, Text8->text(), Text12->text(), &error)
        : PasswordChange::NotStored;
    switch (outcome) {
    case PasswordChange::Changed:
        m_services.messages->inform(QStringLiteral("修改密码成功，请牢记新密码！"));
        unload();
        return;
    case PasswordChange::WrongOldPassword:
        m_services.messages->inform(QStringLiteral("原密码不正确，无法修改密码！"));
        break;
    case PasswordChange::NotStored:
        m_services.messages->inform(
            QStringLiteral("修改密码失败，密码没有修改！\n") + error, Messages::Icon::Warning);
        break;
    case PasswordChange::NewPasswordBlank: // checked above
        break;
    }
    if (wasShown)
        frame->show();
}

void SettingsWindow::unload() { windowFrame(this)->close(); }

void SettingsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed && parentWidget()) {
        placeAsChildWindow(this);
        m_placed = true;
    }
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    event->accept();
}

} // namespace qv
