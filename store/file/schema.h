#pragma once
// The six tables of 数据库.dat, with columns in their stored order (the order select * returns).

#include "store/database.h"

namespace qv {

// SQLite keeps index names per database, so each unique index carries its table in its name
// ("商品.ID号", "档案.ID号", "诊断.序号", "动物种类.序号").
QString schemaScript();
Result createSchema(Database& db);

} // namespace qv
