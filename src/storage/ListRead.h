#pragma once
// Long lists (a search's result, the records of a day) read straight from the
// engine. Whether a list is worth reading in two halves at the same time, on
// the program's connection and on the second one (PairedRead), is decided
// here, so that a caller enters the storage layer once per list.
#include "Database.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace brenvoll {

// The rows of `table` that meet `conditions` and whose `dayColumn` (a date
// stored as yyyy-mm-dd) lies in [from, to], in the order `order`.
struct ListQuery
{
    QByteArray columns;    // e.g. "姓名, 日期, 序列号"
    QByteArray table;      // e.g. "档案"
    QByteArray conditions; // conditions each ending in " and ", or nothing
    QStringList params;    // the conditions' parameters, bound as storable text
    QByteArray dayColumn;  // e.g. "日期"
    QString from;          // first day, yyyy-mm-dd
    QString to;            // last day, yyyy-mm-dd
    QByteArray order;      // e.g. "序列号 desc"
};

class ListRead
{
public:
    using Visit = std::function<bool(const Database::Row&)>;
    // Where the rows go. The rows of a list read whole all go to `first`;
    // a list read in two halves hands the earlier days' rows to `first` and
    // the later days' to `second`, each half in the list's order, and the
    // caller merges them. `restart` forgets every row handed over so far: it
    // is called before a list is read again whole after its halves failed.
    struct Sink
    {
        Visit first;
        Visit second;
        std::function<void()> restart;
    };
    enum class Parts
    {
        Failed, // `error` says why; what was handed over is not the whole
        Whole,  // every row went to `first`
        Halves, // the rows went to `first` and `second`
    };
    static Parts read(const ListQuery& query, const Sink& sink, QString* error = nullptr);

    // Reads `query` into `list` (which has clear() and merge(List&&), the
    // latter keeping the order), each row appended by `append`. False with a
    // reason when it could not be read; `list` is then empty.
    template <class List, class Append>
    static bool into(const ListQuery& query, List& list, Append append, QString* error = nullptr)
    {
        list.clear();
        List later;
        const Parts parts = read(query,
                                 {[&list, &append](const Database::Row& row) { return append(list, row); },
                                  [&later, &append](const Database::Row& row) { return append(later, row); },
                                  [&list, &later] {
                                      list.clear();
                                      later.clear();
                                  }},
                                 error);
        if (parts == Parts::Failed) {
            list.clear();
            return false;
        }
        if (parts == Parts::Halves) {
            list.merge(std::move(later));
        }
        return true;
    }
};

} // namespace brenvoll
