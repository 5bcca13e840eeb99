#include "RecordSaver.h"

#include "RecordHistory.h"
#include "RecordStore.h"
#include "base/Clock.h"

namespace brenvoll {

std::optional<QString> RecordSaver::issueKey(QString* error)
{
    return m_keys.tryIssue(Clock::now(), &RecordStore::isStored, error);
}

void RecordSaver::adoptUnconfirmed(ExamRecord& saving)
{
    // A new sheet's failed save may have gone under the next free key.
    for (const ExamRecord& unconfirmed : std::as_const(m_unconfirmed)) {
        ExamRecord now;
        if (!RecordStore::load(unconfirmed.key(), now)) {
            const std::optional<bool> stored = RecordStore::isStored(unconfirmed.key());
            if (!stored || *stored) {
                return; // cannot tell yet: this save fails too, and the next one looks again
            }
            continue; // not stored: that save was not committed
        }
        // The stored row is exactly what a failed save wrote: that save was
        // committed, and the sheet goes on from it as from a save reported done.
        if (now == RecordStore::asStored(unconfirmed)) {
            m_stored = now;
            saving[Field::Key] = now.key();
            break;
        }
    }
    m_unconfirmed.clear();
}

RecordSaver::Outcome RecordSaver::save(const ExamRecord& record, const Ask& ask)
{
    using Result = RecordStore::SaveResult;
    Outcome outcome;
    ExamRecord saving = record;
    Result result = Result::Failed;
    adoptUnconfirmed(saving);
    if (m_stored && m_stored->key() == saving.key()) {
        result = RecordStore::update(*m_stored, saving, &outcome.error);
        m_changedElsewhere.clear();
        if (result == Result::ChangedElsewhere) {
            ExamRecord now;
            if (RecordStore::load(saving.key(), now)) {
                m_changedElsewhere = RecordHistory::differences(*m_stored, now);
            }
        }
        if (result == Result::ChangedElsewhere || result == Result::DeletedElsewhere) {
            if (!ask(result == Result::ChangedElsewhere ? Question::ChangedElsewhere
                                                        : Question::DeletedElsewhere)) {
                outcome.status = Status::Declined;
                return outcome;
            }
            result = RecordStore::save(saving, &outcome.error) ? Result::Saved : Result::Failed;
        }
    } else {
        // Another workstation may have stored a record under this key since
        // it was issued: the record takes the next free one.
        while ((result = RecordStore::insert(saving, &outcome.error)) == Result::KeyTaken) {
            const std::optional<QString> key = issueKey(&outcome.error);
            if (!key) {
                outcome.status = Status::NoKey;
                return outcome;
            }
            saving[Field::Key] = *key;
        }
    }
    if (result != Result::Saved) {
        m_unconfirmed << saving;
        outcome.status = Status::Failed;
        return outcome;
    }
    m_unconfirmed.clear();
    m_stored = RecordStore::asStored(saving);
    outcome.status = Status::Saved;
    outcome.error.clear();
    return outcome;
}

} // namespace brenvoll
