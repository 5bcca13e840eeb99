#pragma once
// One write transaction on the program's connection, rolled back unless
// committed. On the file it holds the write lock from the start, so no other
// writer comes between its statements.
#include <QString>

#include <functional>

namespace brenvoll {

class WriteTransaction
{
public:
    explicit WriteTransaction(QString* error = nullptr);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool isOpen() const { return m_open; }
    bool commit(QString* error = nullptr);

    // Keeps every other transaction from writing `table` until the commit,
    // for a write that depends on what the whole table holds (the first
    // account of a database). On the file the write lock already does.
    bool lockTable(const QString& table, QString* error = nullptr);

    // Runs `part` so that its failure undoes its own statements alone and the
    // transaction goes on; false with the part's reason when it failed. A
    // failure that ends the whole transaction (the engine rolled it back, the
    // connection broke) ends it here too: the transaction is then no longer
    // open and the caller commits nothing.
    bool attempt(const std::function<bool(QString*)>& part, QString* error = nullptr);

    // What ends a select that must hold the rows it reads until the commit:
    // a server lets other transactions change a row between two statements
    // of this one; on the file the write lock already keeps them out (empty).
    static QString rowLock();

private:
    bool m_open = false;
};

} // namespace brenvoll
