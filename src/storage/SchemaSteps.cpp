#include "SchemaSteps.h"

#include "Database.h"
#include "DatabaseState.h"
#include "SchemaText.h"

#include <iterator>

namespace brenvoll {

using namespace database;

namespace {
const schema::StepText& textOf(int step)
{
    return schema::kSteps[step];
}

const char* statementsOf(int step)
{
    return Database::engine() == Database::Engine::SQLite ? textOf(step).sqlite : textOf(step).postgresql;
}
} // namespace

int SchemaSteps::count()
{
    return int(std::size(schema::kSteps));
}

bool SchemaSteps::optional(int step)
{
    return textOf(step).optional;
}

std::optional<bool> SchemaSteps::present(int step, QString* error)
{
    const schema::StepText& text = textOf(step);
    return text.index ? Database::hasIndex(QString::fromUtf8(text.index), error)
                      : Database::hasTables(QString::fromUtf8(text.tables).split(u' '), error);
}

bool SchemaSteps::apply(int step, QString* error)
{
    // Asked again after the step, whether or not its transaction keeps it.
    g_historyTables = -1;
    return Database::runScript(statementsOf(step), error);
}

} // namespace brenvoll
