#pragma once
// The tables that keep the records' earlier versions, 档案版本 and 档案恢复
// (data/history.sql), beside the designed tables, which they never alter:
// whether the database in use has them, and adding them to one that lacks
// them (SchemaSteps; the program does so where the database opens).
#include <QString>

namespace brenvoll {

class HistoryTables
{
public:
    // Whether the open database holds both tables; asked of the engine once
    // per connection, and again after SchemaSteps changed the database.
    static bool present();
    // Adds both tables to the open database in one transaction: all of them
    // or, with a reason, nothing.
    static bool create(QString* error = nullptr);
};

} // namespace brenvoll
