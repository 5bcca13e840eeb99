#pragma once
// Drafts of sheets that were typed and not saved, kept in a small SQLite file
// of their own beside the database ("数据库.drafts"), never in the records
// database. A draft holds the texts of every box, the key among them, the
// time it was last typed, and the stored record the typing began on. The
// file keeps the newest 50 drafts, and a draft older than 30 days goes when
// the file is opened.
//
// The drafts file is used only as a plain file of its own: a link at its name
// (or at the name of the engine's files beside it), or a file with a second
// name, is refused, and nothing is written through it.
//
// Runs. Every run that opens the file is marked in it, and holds a slot of
// the lock file beside it ("数据库.drafts-lock") for as long as it lives; a
// draft belongs to the run that wrote it last. A marked run whose slot nobody
// holds ended without a clean close (a crash, a power cut, a kill). A run
// that closes cleanly unmarks itself and the runs it found ended so when it
// started. The rule, with one copy of the program or several on one file:
// - the drafts of another copy that is still running are neither listed nor
//   counted: that copy keeps them;
// - a run is told (leftOpen()) when drafts were left by marked runs that are
//   no longer running: every run that ended uncleanly since a run that found
//   it closed cleanly. After two unclean ends in a row both runs' drafts are
//   told, and one copy's clean close never hides another copy's crash;
// - the count told is every draft list() shows, which the drafts window
//   lists, drafts kept at earlier clean closes among them: the question at
//   start-up and the window agree on the number;
// - among them, the drafts left by runs that ended uncleanly are counted
//   apart and marked as such in list() (Draft::left), the same drafts the
//   window marks: the question tells that number too.
#include "base/FileSystem.h"
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
    Draft() = default;
    // A draft typed on a new sheet.
    Draft(qint64 id, const QDateTime& typedAt, const ExamRecord& record)
        : id(id), typedAt(typedAt), record(record)
    {
    }

    qint64 id = 0; // 0: not written yet
    QDateTime typedAt;
    ExamRecord record;
    // The stored record the typing began on, as the sheet loaded or saved
    // it: saving the draft updates that record while it is still stored that
    // way. None for a new sheet, which is saved as a new record.
    std::optional<ExamRecord> typedOver;
    // A draft written before drafts kept what they were typed over.
    bool typedOverUnknown = false;
    // Which run left it, as list() and read() find it: this run, one that
    // closed cleanly (or ended uncleanly and was told of at a start whose run
    // then closed cleanly), or one that ended without a clean close and was
    // not yet told of so.
    enum class Left
    {
        ThisRun,
        AtCleanClose,
        ByUncleanEnd,
    };
    Left left = Left::ThisRun;
    bool operator==(const Draft&) const = default;
};

// What runs that ended without a clean close left behind: the number of
// drafts to offer (see above), how many of them those runs left, and the
// newest of them all.
struct DraftsLeftOpen
{
    int count = 0;
    int byUncleanEnd = 0;
    Draft newest;

    // The question asked at start-up: "发现 3 份未保存的表格（最近：张三
    // 2026-05-07 09:15），其中 2 份是程序意外结束时留下的。是否现在查看？"
    // (without "其中…" when every one of them was).
    QString question() const;
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
    // its owner only when it is missing, marks this run in it, and drops
    // every draft typed more than 30 days before `now`. What runs that ended
    // uncleanly left is told by leftOpen() from then on. False with an
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
    // Every draft but those of another copy still running, the one typed
    // last first.
    bool list(std::vector<Draft>& drafts, QString* error = nullptr) const;

    // The end of a run that closes cleanly: neither its drafts nor those of
    // the runs leftOpen() told of count as left open any more, and the file
    // is closed whole in itself (no log beside it, unless another copy still
    // has it open), ready to be copied.
    void closeCleanly();

private:
    bool openPlainFile(QString* error);
    bool setUp(const QDateTime& now, QString* error);
    bool addMissingColumns(QString* error);
    bool markRun(const QDateTime& now, QString* error);
    bool findLeftOpen(QString* error);
    bool otherRuns(std::vector<qint64>& live, std::vector<qint64>& ended, QString* error) const;
    Draft::Left leftBy(qint64 run, const std::vector<qint64>& ended) const;
    bool prepare(sqlite3_stmt*& statement, const QString& sql, QString* error);
    bool run(const char* sql, QString* error);
    void close();
    QString reason() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    RunSlots m_slots;
    qint64 m_run = 0;                // this run's mark
    std::vector<qint64> m_endedRuns; // the runs that leftOpen() tells of
    DraftsLeftOpen m_leftOpen;
    sqlite3_stmt* m_write = nullptr;
    sqlite3_stmt* m_prune = nullptr;
    sqlite3_stmt* m_remove = nullptr;
    sqlite3_stmt* m_read = nullptr;
    sqlite3_stmt* m_list = nullptr;
    sqlite3_stmt* m_runs = nullptr;
};

// What a draft changes against the record stored under its key: "新记录"
// when none is stored, else the operator names of the first `few` boxes that
// differ, in the order the sheet is typed ("收缩压、体检结论、心电图 等 4 项"),
// empty when none does.
QString draftChanges(const ExamRecord& draft, int few = 3);
// The same for a draft as saving it would store it: "新记录" for one typed on
// a new sheet.
QString draftChanges(const Draft& draft, int few = 3);

} // namespace brenvoll
