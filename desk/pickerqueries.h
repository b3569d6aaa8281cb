#pragma once
// The queries behind the desk's pickers: the drug / template result list and the species and diagnosis
// completion lists. Typed text always reaches SQL as a bound LIKE pattern, so an apostrophe, "%" or "_"
// is searched for literally.

#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace qv {

class CatalogIndex;

// Indexes of the category buttons; the index, not the screen order, selects the behaviour.
enum DrugCategory { Herbs = 0, Western = 1, Other = 2, Usage = 3, PrescriptionSets = 4, Formulas = 5 };
inline constexpr int kDrugCategoryCount = 6;
// At most this many catalog rows are listed by one fill; the user narrows the search instead.
inline constexpr int kPickerRowLimit = 200;

// The button caption, which is also the stored 分类 value.
QString drugCategoryCaption(int category);
// Categories above "用法" list templates ("个人模板") instead of catalog rows ("商品").
inline bool isTemplateCategory(int category) { return category > Usage; }

struct PickerQuery {
    QString sql;
    QVariantList params;
    bool isTemplate = false;
    // What the query asks for, so that the catalog index (catalogs/catalogindex.h) can answer a catalog query
    // without SQL, and so that rows can also be found by their names' everyday readings: rows whose 分类
    // equals category (or, with excludeCategory, is another category) and whose 查询 contains typed.
    QString category;
    bool excludeCategory = false;
    QString typed;
};

// The category button: its own category only, matched against the (empty) search text.
PickerQuery categoryListQuery(int category, const QString& searchText);
// The search box: "中药" searches herbs, "西药", "其他" and "用法" search every row that is not a herb,
// a template category searches its own templates.
PickerQuery searchListQuery(int category, const QString& searchText);

// The text without leading and trailing blanks (other white space is kept).
QString trimBlanks(const QString& text);

// A result-list line of a catalog row: the name, or name\usage when the usage holds more than blanks.
QString drugRowText(const QString& name, const QString& usage);

// One result-list line and the store's id of the row it came from.
struct PickerRow {
    QString text;
    qint64 rowId = 0;
};

struct PickerRows {
    bool ok = false;
    QString error;
    QList<PickerRow> rows;
};

// The rows of a query from the store: those the statement finds, then, for a search of typed initials, the
// rows of the same category whose names' readings match them (pinyin/readings.h), in the same order.
PickerRows fetchPickerRows(Database& db, const PickerQuery& query);
// The same rows of a catalog (not template) query, answered by the catalog index.
PickerRows fetchCatalogRows(CatalogIndex& index, const PickerQuery& query);

// The body of the template with the given row id, or a failure when it is gone.
Result templateContent(Database& db, qint64 rowId, QString* content);

// The completion catalogs of the header fields.
enum class CompletionCatalog { Species, Diagnoses };

// The names whose lookup column contains typed, in store order, then those whose readings match typed
// initials; empty when the query fails.
QStringList completionNames(Database& db, CompletionCatalog catalog, const QString& typed);

} // namespace qv
