#pragma once
// The index that finds a person's records by name (复制上次体检, 历年对比):
// `trim(姓名)`, as those searches compare names. A database made before it
// existed gets it once; without it the searches still work, reading every
// record.
#include <QString>

namespace brenvoll {

class NameIndex
{
public:
    // Adds the index to the open database when it lacks it, in one
    // statement: added whole or not at all. False with the engine's reason
    // when it could not be added (a read-only file, a server user who does
    // not own the table).
    static bool ensure(QString* error = nullptr);
};

} // namespace brenvoll
