#include "app/loginwindow.h"
#include "app/appicon.h"
#include "platform/services.h"
#include "platform/units.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace qv {

bool passwordMatches(const QString& typed, const QString& held)
{
    return typed.trimmed().toLower() == held.trimmed().toLower();
}

LoginWindow::LoginWindow(const QString& heldPassword, Messages& messages, QWidget* parent)
    : QDialog(parent)
    , m_held(heldPassword)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("登录"));
    setWindowIcon(appIcon());
    setFixedSize(twipsSize(4515, 2880));

    auto* picture = new QLabel(this);
    picture->setPixmap(appIcon().pixmap(twips(480), twips(480)));
    picture->setGeometry(twipsRect(300, 240, 480, 480));

    auto* title = new QLabel(QStringLiteral("Quorvela"), this);
    title->setObjectName(QStringLiteral("Label2"));
    QFont titleFont = title->font();
    titleFont.setPointSize(18);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setGeometry(twipsRect(900, 300, 3375, 360 + 120));

    auto* prompt = new QLabel(QStringLiteral("请输入登录密码"), this);
    prompt->setObjectName(QStringLiteral("lblVersion"));
    prompt->setGeometry(twipsRect(300, 1080 - 60, 1260 + 200, 180 + 120));

    passwordHint = new QLabel(QStringLiteral("(原始密码：947)"), this);
    passwordHint->setObjectName(QStringLiteral("Label1"));
    passwordHint->setGeometry(twipsRect(1620, 1080 - 60, 1350 + 400, 180 + 120));
    // The hint shows only while the factory password is in force, compared exactly.
    passwordHint->setVisible(m_held == QStringLiteral("947"));

    passwordBox = new QLineEdit(this);
    passwordBox->setObjectName(QStringLiteral("Text1"));
    passwordBox->setMaxLength(15);
    passwordBox->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", not as the style's dot.
    passwordBox->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    passwordBox->setGeometry(twipsRect(300, 1440, 3855, 315));
    passwordBox->installEventFilter(this);

    okButton = new QPushButton(QStringLiteral("确  定"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    okButton->setGeometry(twipsRect(1740, 2040, 1155, 375));
    okButton->setAutoDefault(false);
    cancelButton = new QPushButton(QStringLiteral("取  消"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    cancelButton->setGeometry(twipsRect(3000, 2040, 1155, 375));
    cancelButton->setAutoDefault(false);

    connect(okButton, &QPushButton::clicked, this, &LoginWindow::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void LoginWindow::confirm()
{
    if (passwordMatches(passwordBox->text(), m_held))
        accept();
    else
        m_messages.inform(QStringLiteral("密码错误！"), Messages::Icon::None);
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == passwordBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            confirm();
            return true; // swallowed: no beep, no default button
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qv
