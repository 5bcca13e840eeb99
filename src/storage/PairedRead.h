#pragma once
// One state of the database read on two connections at the same time: the
// program's own and the storage layer's second, read-only one, each with its
// own page cache. A long read split in two parts takes both processor cores.
#include "Database.h"

#include <QStringList>

#include <functional>

struct sqlite3;

namespace brenvoll {

class PairedRead
{
public:
    // A statement, its parameters (bound as storable text) and what to do at
    // each row, as Database::readRows() takes them.
    struct Part
    {
        const char* sql;
        QStringList params;
        std::function<bool(const Database::Row&)> row;
    };

    // Begins a read on the program's connection and takes its lock, then on
    // the second connection, which shares that lock: while the object lives
    // no writer can commit, so both read one state. isPaired() is false, with
    // nothing held, when the second connection cannot read that state at
    // once: it cannot be opened, a lock is not free, the journal is a
    // write-ahead log (whose readers each keep a state of their own), the
    // program's connection is inside a transaction, or the engine failed.
    PairedRead();
    ~PairedRead(); // ends both reads
    PairedRead(const PairedRead&) = delete;
    PairedRead& operator=(const PairedRead&) = delete;

    bool isPaired() const { return m_second != nullptr; }
    // Reads `first` on the program's connection and `second` on the second
    // connection, on a thread of its own, at the same time. False when either
    // failed or the read is not paired: what the parts' rows were handed is
    // then not the whole, and no reason is kept, as the caller reads again on
    // the program's connection alone, which reports a failure as ever.
    bool read(const Part& first, const Part& second);

    // Reads `part` on the second connection, outside any paired read and
    // without waiting for a lock: a cheap look before deciding to pair. False
    // when it cannot be read now.
    static bool peek(const Part& part);

    // Paired reads that read both parts since the program started.
    static int completed();

private:
    ::sqlite3* m_first = nullptr;
    ::sqlite3* m_second = nullptr;
};

} // namespace brenvoll
