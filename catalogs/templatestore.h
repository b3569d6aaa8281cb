#pragma once
// Reading and writing the templates of table 个人模板: named blocks of prescription text in two categories.
// A template is found by its key (序号) within its category (分类); the same key may stand once in each
// category.

#include "store/database.h"
#include "store/sharedwrites.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace qv {

inline const QString kPersonalSets = QStringLiteral("个人组套");
inline const QString kHerbalFormulas = QStringLiteral("中药方剂");

struct TemplateRecord {
    QString key; // 序号: creation time "yyyymmddhhmmss"
    QString name; // 名称
    QString code; // 拼音
    QString body; // 内容
    QString category; // 分类
    // A new template (in this category): stored under the first key from `key` on that no template of the
    // category holds, even when another desk took `key` meanwhile.
    bool fresh = false;
    // The row as the window loaded or last saved it (名称, 拼音, 内容); when given, the row is rewritten only
    // while it is still so.
    QStringList seen;
};

// What a window saw of a stored template, for TemplateRecord::seen.
QStringList templateSeen(const TemplateRecord& record);

// One entry of the template list: what is shown and the key it stands for.
struct TemplateEntry {
    QString key;
    QString name;
};

// The templates of a category, newest key first. A failing read gives the rows read so far (none).
QList<TemplateEntry> listTemplates(Database& db, const QString& category);

// The template with this key in this category, if there is one.
std::optional<TemplateRecord> loadTemplate(Database& db, const QString& key, const QString& category);

// The key of a new template: the time "yyyymmddhhmmss", moved on by whole seconds while that key is already
// taken in 个人模板, so two templates made within one second never share a key.
QString newTemplateKey(Database& db, const QDateTime& now);

struct TemplateSave {
    enum class Outcome { Added, Changed, NameMissing, Failed };
    Outcome outcome = Outcome::Failed;
    QString error; // the store's reason when Failed
    RowConflict conflict = RowConflict::None; // Failed because another desk changed or deleted the template
    QString key; // the key the template is stored under
    // Failed at the commit, and whether the server stored it could not be learned: key is the one the save
    // wrote under, so that saving again under it (not as a new template) changes that row or adds it.
    bool outcomeUnknown = false;
};

// The question the templates window asks when its save met a conflict.
QString templateConflictQuestion(RowConflict conflict);

// Saves the record: changes the row with its key in its category, or adds one. A new row needs a name that is
// not blank (NameMissing); an existing row accepts any name. 查询 is stored as the name followed by the code.
TemplateSave saveTemplate(Database& db, const TemplateRecord& record);

// Bodies are stored with CR LF between lines (as the desk writes them) and edited with plain line feeds.
QString bodyForEditing(const QString& stored);
QString bodyForStoring(const QString& edited);

// Deletes the template with this key in this category; deleting a template that is not stored changes
// nothing.
Result deleteTemplate(Database& db, const QString& key, const QString& category);

} // namespace qv
