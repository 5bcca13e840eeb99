#pragma once
// Saving the sheet's record with several workstations (or programs) on one
// database: a record loaded from the table is updated only while it is still
// what was loaded, and a new sheet is added under a key no other record
// holds. The window asks the operator; the saver decides.
#include "FieldMap.h"
#include "RecordKey.h"

#include <QString>

#include <functional>
#include <optional>

namespace brenvoll {

class RecordSaver
{
public:
    // The questions a save may put to the operator; true goes on.
    enum class Question
    {
        ChangedElsewhere, // the stored record changed since it was loaded: overwrite?
        DeletedElsewhere, // the stored record was deleted since: store it again?
    };
    using Ask = std::function<bool(Question)>;

    enum class Status
    {
        Saved,    // stored() is the record as stored, under its key
        Declined, // the operator answered no; nothing written
        NoKey,    // no free key could be found for a new sheet (`error` says why)
        Failed,   // `error` says why; nothing written
    };
    struct Outcome
    {
        Status status = Status::Failed;
        QString error;
    };

    // A key for a blank sheet: neither stored nor handed out before in this
    // run, the clock's second or the next free one. Nothing when the table
    // could not tell a key free (`error` then says why).
    std::optional<QString> issueKey(QString* error = nullptr);

    // Asked ChangedElsewhere: the boxes the other workstation changed, the
    // stored record now against the one loaded (empty when it could not be
    // read). Answered yes, the other workstation's record is kept as a
    // version before this one is stored.
    const QList<Field>& changedElsewhere() const { return m_changedElsewhere; }

    // The stored record as the sheet last loaded or saved it.
    const std::optional<ExamRecord>& stored() const { return m_stored; }
    void setLoaded(const ExamRecord& record) { m_stored = record; }
    // The sheet is a new one: the next save adds a record.
    void setNew() { m_stored.reset(); }

    // Saves `record`: an update of the stored record when it carries that
    // record's key, else a new record. A new record whose key another
    // workstation took meanwhile gets the next free key; stored() tells the
    // key it was saved under. After a failed save the next one first looks
    // whether the failed one was stored after all (its commit done, the
    // answer lost with the connection), so that it is never stored twice.
    Outcome save(const ExamRecord& record, const Ask& ask);

private:
    void adoptUnconfirmed(ExamRecord& saving);

    KeyIssuer m_keys;
    std::optional<ExamRecord> m_stored;
    // The records of the saves that failed since the sheet's key was last
    // known stored or not: any of them may have been committed.
    QList<ExamRecord> m_unconfirmed;
    QList<Field> m_changedElsewhere;
};

} // namespace brenvoll
