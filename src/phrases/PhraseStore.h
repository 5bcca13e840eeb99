#pragma once
// The phrase library (table 词库), listed in the table's stable row order.
#include <QString>
#include <QStringList>

namespace brenvoll {

class PhraseStore
{
public:
    // Every phrase, in row order.
    static bool all(QStringList& phrases, QString* error = nullptr);
};

} // namespace brenvoll
