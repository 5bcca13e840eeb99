#include "HistoryTables.h"

#include "Database.h"
#include "DatabaseState.h"
#include "SchemaSteps.h"

namespace brenvoll {

using namespace database;

bool HistoryTables::present()
{
    if (g_historyTables < 0 && Database::isOpen()) {
        const std::optional<bool> has = SchemaSteps::present(SchemaSteps::kVersions);
        if (has) {
            g_historyTables = *has ? 1 : 0;
        }
    }
    return g_historyTables == 1;
}

bool HistoryTables::create(QString* error)
{
    return SchemaSteps::apply(SchemaSteps::kVersions, error);
}

} // namespace brenvoll
