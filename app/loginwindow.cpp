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

    Label1 = new QLabel(QStringLiteral("(原始密码：947)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(1620, 1080 - 60, 1350 + 400, 180 + 120));
    // The hint shows only while the factory password is in force, compared exactly.
    Label1->setVisible(m_held == QStringLiteral("947"));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaxLength(15);
    Text1->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", not as the style's dot.
    Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Text1->setGeometry(twipsRect(300, 1440, 3855, 315));
    Text1->installEventFilter(this);

    Command1 = new QPushButton(QStringLiteral("确  定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(1740, 2040, 1155, 375));
    Command1->setAutoDefault(false);
    Command2 = new QPushButton(QStringLiteral("取  消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twipsRect(3000, 2040, 1155, 375));
    Command2->setAutoDefault(false);

    connect(Command1, &QPushButton::clicked, this, &LoginWindow::confirm);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void LoginWindow::confirm()
{
    if (passwordMatches(Text1->text(), m_held))
        accept();
    else
        m_messages.inform(QStringLiteral("密码错误！"), Messages::Icon::None);
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            confirm();
            return true; // swallowed: no beep, no default button
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qv
