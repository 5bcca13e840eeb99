#pragma once
// The tables that keep the records' earlier versions, 档案版本 and 档案恢复
// (data/history.sql), beside the designed tables, which they never alter:
// whether the database in use has them, and adding them to one that lacks
// them. A write transaction of the program's connection, for a change and
// its version together.
#include <QString>

namespace brenvoll {

class HistoryTables
{
public:
    // Whether the open database holds both tables; asked of the engine once
    // per connection.
    static bool present();
    // Adds both tables to the open database in one transaction: all of them
    // or, with a reason, nothing.
    static bool create(QString* error = nullptr);
};

// One write transaction on the program's connection, rolled back unless
// committed. On the file it holds the write lock from the start, so no other
// writer comes between its statements.
class WriteTransaction
{
public:
    explicit WriteTransaction(QString* error = nullptr);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool isOpen() const { return m_open; }
    bool commit(QString* error = nullptr);

    // What ends a select that must hold the rows it reads until the commit:
    // a server lets other transactions change a row between two statements
    // of this one; on the file the write lock already keeps them out (empty).
    static QString rowLock();

private:
    bool m_open = false;
};

} // namespace brenvoll
