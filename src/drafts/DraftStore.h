#pragma once
// Drafts of sheets that were typed and not saved, kept in a small SQLite file
// of their own beside the database ("数据库.drafts"), never in the records
// database. A draft holds the texts of every box, the key among them, and the
// time it was last typed. The file keeps the newest 50 drafts, and a draft
// older than 30 days goes when the file is opened.
#include "record/FieldMap.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace brenvoll {

struct Draft
{
    qint64 id = 0; // 0: not written yet
    QDateTime typedAt;
    ExamRecord record;
    bool operator==(const Draft&) const = default;
};

// What a run that ended without a clean close left behind: the number of its
// drafts and the newest of them.
struct DraftsLeftOpen
{
    int count = 0;
    Draft newest;
};

class DraftStore
{
public:
    static constexpr int kMaxDrafts = 50;
    static constexpr int kMaxAgeDays = 30;

    DraftStore();
    ~DraftStore();
    DraftStore(const DraftStore&) = delete;
    DraftStore& operator=(const DraftStore&) = delete;

    // Opens the drafts file at `path`, creating it readable and writable by
    // its owner only when it is missing, and drops every draft typed more
    // than 30 days before `now`. The drafts written after the last clean
    // close are told by leftOpen() from then on. False with an
    // operator-readable reason when the file cannot be used.
    bool open(const QString& path, const QDateTime& now, QString* error = nullptr);
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    const DraftsLeftOpen& leftOpen() const { return m_leftOpen; }

    // Writes `draft` in one transaction: a new one when its id is 0 (the id
    // is then set), else over the draft of that id. Only the newest 50 stay.
    bool write(Draft& draft, QString* error = nullptr);
    bool remove(qint64 id, QString* error = nullptr);
    std::optional<Draft> read(qint64 id, QString* error = nullptr) const;
    // Every draft, the one typed last first.
    bool list(std::vector<Draft>& drafts, QString* error = nullptr) const;

    // The end of a run that closes cleanly: its drafts no longer count as
    // left open, and the file is closed whole in itself (no log beside it),
    // ready to be copied.
    void closeCleanly();

private:
    bool setUp(const QDateTime& now, QString* error);
    bool prepare(sqlite3_stmt*& statement, const QString& sql, QString* error);
    bool run(const char* sql, QString* error);
    void close();
    QString reason() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    DraftsLeftOpen m_leftOpen;
    sqlite3_stmt* m_write = nullptr;
    sqlite3_stmt* m_prune = nullptr;
    sqlite3_stmt* m_remove = nullptr;
    sqlite3_stmt* m_read = nullptr;
    sqlite3_stmt* m_list = nullptr;
};

// The caption of a box as an operator names it ("姓名", "白细胞", "体检结论"):
// the caption that stands nearest to its left on the sheet.
QString boxCaption(Field field);

// What a draft changes against the record stored under its key: "新记录"
// when none is stored, else the captions of the first `few` boxes that
// differ ("血压、体检结论等"), empty when none does.
QString draftChanges(const ExamRecord& draft, int few = 3);

} // namespace brenvoll
