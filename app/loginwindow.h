#pragma once
// The login window: the practice's one password, compared blind to case and surrounding blanks.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

// True when the typed entry opens the program for the held password.
bool passwordMatches(const QString& typed, const QString& held);

class Messages;

class LoginWindow : public QDialog {
    Q_OBJECT
public:
    LoginWindow(const QString& heldPassword, Messages& messages, QWidget* parent = nullptr);

    // Confirms the typed entry: accepts the dialog on a match, otherwise shows "密码错误！".
    void confirm();

    QLabel* passwordHint = nullptr;
    QLineEdit* passwordBox = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_held;
    Messages& m_messages;
};

} // namespace qv
