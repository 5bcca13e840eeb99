#pragma once
// Reading and writing examination records (table 档案). Every operation binds
// the operator's text as parameters and reports failure with a reason.
#include "FieldMap.h"
#include "RecordSearch.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace brenvoll {

// The one door to the records table 档案; reading lists of records is
// RecordSearch's part of it.
class RecordStore : public RecordSearch
{
public:
    // Reads the record with `key`. False when it is not there or cannot be read
    // (`error` then says which).
    static bool load(const QString& key, ExamRecord& record, QString* error = nullptr);
    // Adds the record, or overwrites the stored one with the same key.
    static bool save(const ExamRecord& record, QString* error = nullptr);

    // Saving with several workstations (or programs) on one database.
    enum class SaveResult
    {
        Saved,
        KeyTaken,         // insert(): another record holds the key; nothing written
        ChangedElsewhere, // update(): the stored record is no longer the loaded one
        DeletedElsewhere, // update(): the record is no longer stored
        Failed,           // `error` says why
    };
    // Adds a new sheet's record; never overwrites a stored one.
    static SaveResult insert(const ExamRecord& record, QString* error = nullptr);
    // Overwrites the stored record by its key, but only while it still is
    // exactly `loaded` (as load() read it): the check and the write are one
    // statement, so no other save can come between them.
    static SaveResult update(const ExamRecord& loaded, const ExamRecord& record, QString* error = nullptr);
    // The record as load() reads it back once saved.
    static ExamRecord asStored(const ExamRecord& record);
    // Removes the record with `key`; a key that is not stored is no error.
    static bool remove(const QString& key, QString* error = nullptr);
    // Whether a record with `key` is stored; nothing when the table cannot be
    // read (`error` then says why).
    static std::optional<bool> isStored(const QString& key, QString* error = nullptr);
    // As isStored(), a table that cannot be read counting as "not stored".
    static bool exists(const QString& key);
    // Number of stored records, -1 when the table cannot be read.
    static qint64 count();
};

// Reads records one after another as RecordStore::load() does, through one
// prepared query: a batch of a thousand records is read in a fraction of the
// time that as many load() calls take.
class RecordReader
{
public:
    RecordReader();
    ~RecordReader();
    bool read(const QString& key, ExamRecord& record, QString* error = nullptr);

private:
    std::unique_ptr<QSqlQuery> m_query;
    std::vector<int> m_columns; // the result column of every box, in Field order
};

} // namespace brenvoll
