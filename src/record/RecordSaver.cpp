#include "RecordSaver.h"

#include "RecordHistory.h"
#include "RecordStore.h"
#include "base/Clock.h"

namespace brenvoll {

std::optional<QString> RecordSaver::issueKey(QString* error)
{
    return m_keys.tryIssue(Clock::now(), &RecordStore::isStored, error);
}

RecordSaver::Outcome RecordSaver::save(const ExamRecord& record, const Ask& ask)
{
    using Result = RecordStore::SaveResult;
    Outcome outcome;
    ExamRecord saving = record;
    Result result = Result::Failed;
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
        outcome.status = Status::Failed;
        return outcome;
    }
    m_stored = RecordStore::asStored(saving);
    outcome.status = Status::Saved;
    outcome.error.clear();
    return outcome;
}

} // namespace brenvoll
