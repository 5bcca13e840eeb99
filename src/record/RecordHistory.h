#pragma once
// The kept versions of the records (tables 档案版本 and 档案恢复): every
// save that changes a stored record and every delete first keeps the stored
// row as it was (RecordStore does so in the change's own transaction); here
// they are read back, compared, and a deleted record is stored again.
#include "FieldMap.h"
#include "VersionStamp.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace brenvoll {

struct RecordVersion
{
    qint64 id = 0;
    VersionStamp stamp;
    ExamRecord record; // the row as it was, read as RecordStore::load() reads one
};

// A record whose last version is a delete and which was not stored again.
struct DeletedRecord
{
    qint64 id = 0; // its 删除 version
    QString name;
    QString key;
    QString date;
    VersionStamp stamp;
};

class RecordHistory
{
public:
    // Whether the database keeps versions (it has the tables).
    static bool isKept();

    // The versions of the record `key`, newest first.
    static bool versions(const QString& key, std::vector<RecordVersion>& out, QString* error = nullptr);
    // The deleted records not stored again, newest first.
    static bool deleted(std::vector<DeletedRecord>& out, QString* error = nullptr);
    // Stores the record of the 删除 version `id` again, under its key or,
    // when a record holds that key now, under the first key `nextKey` gives
    // that is free; notes it as stored again, all in one transaction. The
    // key it was stored under, or nothing (`error` says why).
    using NextKey = std::function<std::optional<QString>(QString* error)>;
    static std::optional<QString> restoreDeleted(qint64 id, const NextKey& nextKey, QString* error = nullptr);

    // The boxes whose texts differ between `a` and `b`, in Field order.
    static QList<Field> differences(const ExamRecord& a, const ExamRecord& b);
    // The operator names of `fields`, at most `most` of them, then "等 N
    // 项" with N the number of all (FieldMap::operatorNameList).
    static QString captionList(const QList<Field>& fields, int most);
};

} // namespace brenvoll
