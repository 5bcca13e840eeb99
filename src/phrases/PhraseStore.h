#pragma once
// The phrase library (table 词库). Phrases are not unique and have no key of
// their own: every list shows them in the table's stable row order (rowid), and
// a phrase is addressed by its position in that order.
#include <QString>
#include <QStringList>

namespace brenvoll {

class PhraseStore
{
public:
    // Every phrase, in row order.
    static bool all(QStringList& phrases, QString* error = nullptr);
    // The phrases containing `part`, in row order. `part` is bound as the
    // middle of a LIKE pattern: an apostrophe is an ordinary character, while
    // "%" and "_" act as wildcards. A part too long for the engine's patterns
    // is refused with a reason.
    static bool matching(const QString& part, QStringList& phrases, QString* error = nullptr);
    // Stores `phrase` as the last row, as Database::storable() gives it.
    static bool add(const QString& phrase, QString* error = nullptr);
    // Removes the phrase at `position` of the row order, and only that row,
    // also when equal phrases stand before or after it.
    static bool removeAt(int position, QString* error = nullptr);
};

} // namespace brenvoll
