#include "HistoryTables.h"

#include "Database.h"
#include "DatabaseState.h"
#include "SchemaSteps.h"

namespace brenvoll {

using namespace database;

bool HistoryTables::present()
{
    return known().value_or(false);
}

std::optional<bool> HistoryTables::known(QString* error)
{
    if (g_historyTables < 0 && Database::isOpen()) {
        const std::optional<bool> has = SchemaSteps::present(SchemaSteps::kVersions, error);
        if (has) {
            g_historyTables = *has ? 1 : 0;
        }
    }
    if (g_historyTables < 0) {
        if (error && error->isEmpty()) {
            *error = QStringLiteral("数据库没有打开。");
        }
        return std::nullopt;
    }
    return g_historyTables == 1;
}

bool HistoryTables::create(QString* error)
{
    return SchemaSteps::apply(SchemaSteps::kVersions, error);
}

} // namespace brenvoll
