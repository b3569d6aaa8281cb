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
#include <QScopeGuard>

namespace qv {

namespace {

    // Layout in twips.
    constexpr int kWidth = 5520;
    constexpr int kHeight = 7240;
    constexpr int kFrameWidth = 5040;
    constexpr int kSettingsFrameHeight = 4480;
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

    // A printer row: the installed printers after "系统默认打印机", which stands for the empty value.
    QComboBox* printerList(QWidget* frame, int row, QLabel*& label, const char* labelName,
        const QString& text, const char* listName)
    {
        label = caption(frame, labelName, text);
        auto* list = new QComboBox(frame);
        list->setObjectName(QLatin1String(listName));
        placeRow(label, list, row);
        return list;
    }

    // Selects the stored printer. One that is not installed stays, named so, rather than giving way to
    // another: the practice sees what it chose, and a save writes it back unchanged.
    void choosePrinter(QComboBox* list, const QString& stored)
    {
        int index = list->findData(stored);
        if (index < 0) {
            list->addItem(QStringLiteral("%1（没有安装）").arg(stored), stored);
            index = list->count() - 1;
        }
        list->setCurrentIndex(index);
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

    passwordFrame = new QGroupBox(QStringLiteral("修改登录密码"), this);
    passwordFrame->setObjectName(QStringLiteral("Frame1"));
    passwordFrame->setGeometry(twipsRect(240, 120, kFrameWidth, 1335));
    oldPasswordCaption = caption(passwordFrame, "Label1", QStringLiteral("原密码"));
    oldPasswordCaption->setGeometry(twipsRect(240, 400, 720, 255));
    // Both password boxes show what is typed: the user must see the new password before storing it.
    oldPassword = lineEdit(passwordFrame, "Text8", QString(), 15);
    oldPassword->setGeometry(twipsRect(1000, 360, 2200, 315));
    newPasswordCaption = caption(passwordFrame, "Label2", QStringLiteral("新密码"));
    newPasswordCaption->setGeometry(twipsRect(240, 840, 720, 255));
    newPassword = lineEdit(passwordFrame, "Text12", QString(), 15);
    newPassword->setGeometry(twipsRect(1000, 800, 2200, 315));
    changePasswordButton = button(passwordFrame, "Command3", QStringLiteral("修改密码"));
    changePasswordButton->setGeometry(twipsRect(3480, 560, 1215, 435));

    settingsFrame = new QGroupBox(QStringLiteral("综合设置"), this);
    settingsFrame->setObjectName(QStringLiteral("Frame2"));
    settingsFrame->setGeometry(twipsRect(240, 1560, kFrameWidth, kSettingsFrameHeight));
    // Box lengths follow the column widths of "设置", so a save never meets a value the table cannot hold.
    practiceName = settingsBox(settingsFrame, 0, practiceNameCaption, "Label3", QStringLiteral("单位名称"),
        "Text1", QStringLiteral("Text1"), 50);
    // Opening the window, first time or again, puts the keyboard in the first setting (the password boxes
    // above are for the rarer change of password).
    setFocusProxy(practiceName);
    veterinarian = settingsBox(settingsFrame, 1, veterinarianCaption, "Label4", QStringLiteral("执业兽医"),
        "Text2", QStringLiteral("Text1"), 50);
    practisingNumber = settingsBox(settingsFrame, 2, practisingNumberCaption, "Label5",
        QStringLiteral("注 册 号"), "Text3", QStringLiteral("Text1"), 50);
    dispenser = settingsBox(settingsFrame, 3, dispenserCaption, "Label6", QStringLiteral("发 药 人"), "Text6",
        QStringLiteral("Text1"), 50);
    leftMargin = settingsBox(settingsFrame, 4, leftMarginCaption, "Label7", QStringLiteral("处方打印左边距"),
        "Text4", QStringLiteral("120"), 10);
    topMargin = settingsBox(settingsFrame, 5, topMarginCaption, "Label8", QStringLiteral("处方打印上边距"),
        "Text5", QStringLiteral("200"), 10);

    prescriptionPrinter = printerList(
        settingsFrame, 6, prescriptionPrinterCaption, "Label10", QStringLiteral("处方打印机"), "text19");
    prescriptionPrinter->setToolTip(QStringLiteral("打印处方用的打印机"));
    defaultPrinter = printerList(
        settingsFrame, 7, defaultPrinterCaption, "Label9", QStringLiteral("默认打印机"), "text17");
    defaultPrinter->setToolTip(QStringLiteral("打印门诊日志用的打印机"));
    printAfterSave = new QCheckBox(QStringLiteral("保存后直接打印小票"), settingsFrame);
    printAfterSave->setObjectName(QStringLiteral("Check1"));
    printAfterSave->setGeometry(twipsRect(240, 360 + 8 * kRowStep, 2940, 255));
    printAfterSave->setVisible(false);

    // On the practice's server some values are this computer's own: the note says which, the boxes say so
    // when pointed at.
    serverNote = caption(
        this, "Label11", QStringLiteral("执业兽医、注册号、发药人和打印机只用于本机，其余各机共用"));
    serverNote->setGeometry(twipsRect(240, 6070, kFrameWidth, 255));
    serverNote->setVisible(false);

    saveButton = button(this, "Command1", QStringLiteral("保  存"));
    saveButton->setGeometry(twipsRect(1200, 6400, 1215, 435));
    cancelButton = button(this, "Command2", QStringLiteral("取  消"));
    cancelButton->setGeometry(twipsRect(3000, 6400, 1215, 435));

    connect(saveButton, &QPushButton::clicked, this, &SettingsWindow::saveSettings);
    connect(cancelButton, &QPushButton::clicked, this, &SettingsWindow::cancel);
    connect(changePasswordButton, &QPushButton::clicked, this, &SettingsWindow::changePassword);
}

void SettingsWindow::loadSettings()
{
    fillPrinterLists();
    std::optional<QString> slipPrinter, reportPrinter;
    // A null column leaves the design text, as does a store that does not answer (the practice's server went
    // away). The window then knows it read nothing: it refuses to save its texts over the stored values, and
    // the readers do not hand them on.
    QString error;
    bool storeFailed = false;
    const std::optional<StoredSettings> stored
        = m_services.db ? readStoredSettings(*m_services.db, &error, &storeFailed) : std::nullopt;
    m_loaded = stored;
    m_unreadReason = storeFailed ? error : QString();
    // Compared when saving, whatever the boxes held before this read.
    const auto remember = qScopeGuard([this] { m_sharedAsLoaded = sharedTexts(); });
    if (stored) {
        setIfStored(practiceName, stored->practiceName);
        setIfStored(veterinarian, stored->veterinarian);
        setIfStored(practisingNumber, stored->practisingNumber);
        setIfStored(dispenser, stored->dispenser);
        setIfStored(leftMargin, stored->leftMargin);
        setIfStored(topMargin, stored->topMargin);
    }
    // A printer counts as chosen once this computer's user chose it here, and is kept in this computer's own
    // file on either store. The row's printer columns (the new database's sample name, or whatever a
    // database brought from another computer names) choose nothing: the system's default printer is used.
    const DeskValues desk = readDeskValues(deskConfigPath());
    slipPrinter = desk.slipPrinter;
    reportPrinter = desk.defaultPrinter;
    if (onServer()) {
        serverNote->setVisible(true);
        const QString own
            = QStringLiteral("只用于这台电脑（保存在本机）；这台电脑没有自己的值时用各机共用的值");
        const QString shared = QStringLiteral("各台电脑共用（保存在诊所服务器上）");
        for (QWidget* box : { static_cast<QWidget*>(veterinarian), static_cast<QWidget*>(practisingNumber),
                 static_cast<QWidget*>(dispenser), static_cast<QWidget*>(defaultPrinter),
                 static_cast<QWidget*>(prescriptionPrinter) })
            box->setToolTip(own);
        for (QWidget* box : { practiceName, leftMargin, topMargin })
            box->setToolTip(shared);
        setIfStored(veterinarian, desk.veterinarian);
        setIfStored(practisingNumber, desk.practisingNumber);
        setIfStored(dispenser, desk.dispenser);
    }
    choosePrinter(prescriptionPrinter, slipPrinter.value_or(QString()));
    choosePrinter(defaultPrinter, reportPrinter.value_or(QString()));
}

void SettingsWindow::fillPrinterLists()
{
    const QStringList printers
        = m_services.printers ? m_services.printers->installedPrinters() : QStringList();
    for (QComboBox* list : { prescriptionPrinter, defaultPrinter }) {
        list->clear();
        list->addItem(QStringLiteral("系统默认打印机"), QString());
        for (const QString& printer : printers)
            list->addItem(printer, printer);
    }
}

void SettingsWindow::refreshPrinterLists()
{
    // Printers may have been added or removed since the load; the choices stay, a removed one named so.
    const QString slip = prescriptionPrinterChoice();
    const QString report = defaultPrinterChoice();
    fillPrinterLists();
    choosePrinter(prescriptionPrinter, slip);
    choosePrinter(defaultPrinter, report);
}

QString SettingsWindow::defaultPrinterChoice() const { return defaultPrinter->currentData().toString(); }

QString SettingsWindow::prescriptionPrinterChoice() const
{
    return prescriptionPrinter->currentData().toString();
}

void SettingsWindow::saveSettings()
{
    SettingsToSave values { practiceName->text(), veterinarian->text(), practisingNumber->text(),
        dispenser->text(), leftMargin->text(), topMargin->text(), prescriptionPrinterChoice(),
        defaultPrinterChoice() };
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
    // written anywhere. Changing only this computer's own values leaves the shared row alone, so it cannot
    // meet another desk's change of it.
    const bool sharedTyped = sharedTexts() != m_sharedAsLoaded;
    const bool written = m_services.db
        && (onServer()
                ? !sharedTyped || writeSharedSettings(*m_services.db, values, &error, seen, &changedElsewhere)
                : writeSettings(*m_services.db, values, &error, seen, &changedElsewhere));
    if (!written) {
        if (changedElsewhere) {
            settleConflict(error);
            return;
        }
        // The typed values stay in the window, so the user can try again.
        m_services.messages->inform(
            QStringLiteral("保存失败，设置没有保存！\n") + error, Messages::Icon::Warning);
        return;
    }
    // On the file the row holds the veterinarian's values; the printers are this computer's own either way.
    DeskValues desk = readDeskValues(deskConfigPath());
    if (onServer())
        desk = { values.veterinarian, values.practisingNumber, values.dispenser, {}, {} };
    desk.slipPrinter = values.slipPrinter;
    desk.defaultPrinter = values.defaultPrinter;
    if (!writeDeskValues(deskConfigPath(), desk, &error)) {
        m_services.messages->inform(QStringLiteral("本机的设置（%1）没有保存！\n")
                                        .arg(onServer() ? QStringLiteral("执业兽医、注册号、发药人、打印机")
                                                        : QStringLiteral("打印机"))
                + error,
            Messages::Icon::Warning);
        return;
    }
    unload();
}

void SettingsWindow::settleConflict(const QString& why)
{
    // Nothing was written. 是: the stored values replace the typed ones (on the server only the shared
    // ones: this computer's own stay as typed). 否: the typed values stay, and the next "保  存" writes them
    // over what the other desk saved, which the user has now been told of.
    const QString replaced = onServer()
        ? QStringLiteral("单位名称和边距换成另一台电脑保存的，本机的其他修改留在窗口里")
        : QStringLiteral("本窗口的修改不保存");
    if (m_services.messages->askYesNo(
            QStringLiteral("设置没有保存！%1\n\n要载入另一台电脑保存的设置吗？（%2）\n"
                           "选“否”则修改留在窗口里，再按“保  存”就以窗口里的为准。")
                .arg(why, replaced),
            Messages::Icon::Warning)) {
        const QStringList own { veterinarian->text(), practisingNumber->text(), dispenser->text(),
            prescriptionPrinterChoice(), defaultPrinterChoice() };
        loadSettings();
        if (onServer()) {
            veterinarian->setText(own[0]);
            practisingNumber->setText(own[1]);
            dispenser->setText(own[2]);
            choosePrinter(prescriptionPrinter, own[3]);
            choosePrinter(defaultPrinter, own[4]);
        }
        return;
    }
    QString error;
    if (const std::optional<StoredSettings> now = readStoredSettings(*m_services.db, &error))
        m_loaded = now;
}

void SettingsWindow::rereadSharedValues()
{
    // Boxes typed into since the last read keep their texts.
    if (!m_services.db || !m_unreadReason.isEmpty() || sharedTexts() != m_sharedAsLoaded)
        return;
    if (const std::optional<StoredSettings> stored = readStoredSettings(*m_services.db)) {
        setIfStored(practiceName, stored->practiceName);
        setIfStored(leftMargin, stored->leftMargin);
        setIfStored(topMargin, stored->topMargin);
        m_loaded = stored;
        m_sharedAsLoaded = sharedTexts();
    }
}

QStringList SettingsWindow::sharedTexts() const
{
    return { practiceName->text(), leftMargin->text(), topMargin->text() };
}

void SettingsWindow::cancel() { unload(); }

bool SettingsWindow::onServer() const { return m_services.db && m_services.db->kind() == StoreKind::Server; }

void SettingsWindow::changePassword()
{
    if (newPassword->text().trimmed().isEmpty()) {
        m_services.messages->inform(QStringLiteral("请输入新密码！"));
        return;
    }
    // The window steps aside while the store is asked, and comes back unless the change closes it.
    QWidget* frame = windowFrame(this);
    const bool wasShown = frame->isVisible();
    frame->hide();
    QString error = QStringLiteral("没有打开的数据库");
    const PasswordChange outcome = m_services.db
        ? changeStoredPassword(*m_services.db, oldPassword->text(), newPassword->text(), &error)
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
        // Loaded hidden at start for the readers, perhaps long ago: the shared values shown to be edited are
        // those stored now (another desk may have saved since).
        rereadSharedValues();
        refreshPrinterLists();
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
