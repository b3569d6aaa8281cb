#pragma once
// TemplatesWindow, "模板维护": maintains the personal prescription sets and Chinese-medicine formulas of
// "个人模板", one category at a time.

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace qv {

struct Services;

class TemplatesWindow : public QWidget {
    Q_OBJECT
public:
    explicit TemplatesWindow(Services& services, QWidget* parent = nullptr);

    // The desk's "存为组套": a new template in the desk's category ("中药方剂" picks that category, anything
    // else "个人组套") holding the desk's prescription body, ready to be named and saved.
    void presetFromDesk(const QString& category, const QString& body);

    // "添  加": empty fields and a fresh key; nothing is stored until saved.
    void newTemplate();
    // "保  存": changes the template of the current key in the current category, or adds it.
    void saveRecord();
    // Shows the template as stored; false when it is stored no more.
    bool showTemplate(const QString& key, const QString& category);
    // "删  除": deletes the template of the current key in the current category, then starts a new one.
    void deleteRecord();
    // A category option clicked: the list shows that category; fields and key stay.
    void chooseCategory(int index);
    // A list entry chosen: its template is copied into the fields.
    void selectTemplate(int row);
    void fillList();

    QString currentKey() const;
    QString currentCategory() const;

    QListWidget* templateList;
    QLabel* nameCaption;
    QLineEdit* nameBox;
    QLabel* codeCaption;
    QLineEdit* codeBox;
    QPlainTextEdit* bodyBox;
    QRadioButton* categoryOptions[2];
    QPushButton* addButton;
    QPushButton* saveButton;
    QPushButton* deleteButton;
    QPushButton* exitButton;
    QLabel* keyLabel; // hidden: key (序号) of the template being edited
    QLabel* categoryLabel; // hidden: the current category

protected:
    void showEvent(QShowEvent* event) override;

private:
    void nameTyped();

    Services& m_services;
    bool m_loading = false; // set while a stored template is copied into the fields
    bool m_fresh = true; // the fields hold a new template (its key was taken for it)
    QStringList m_seen; // the stored template shown, as loaded or last saved
    QString m_seenCategory; // and its category
    bool m_placed = false;
};

} // namespace qv
