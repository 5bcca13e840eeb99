#pragma once
// Reading and writing examination records (table 档案). Every operation binds
// the operator's text as parameters and reports failure with a reason.
#include "FieldMap.h"
#include "base/PackedTexts.h"

#include <QString>

#include <iterator>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace brenvoll {

// One line of the result list and the key of its record, kept together.
struct ResultLine
{
    QString text; // 姓名[yyyy-mm-dd]
    QString key;  // 序列号
};

// The lines of a search, as compact as a list of every record needs: name,
// date and key of each as the engine holds them, made into a line when read.
class ResultLines
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ResultLine;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ResultLine;

        const_iterator(const ResultLines* lines, size_t k) : m_lines(lines), m_k(k) {}
        ResultLine operator*() const { return (*m_lines)[m_k]; }
        const_iterator& operator++()
        {
            ++m_k;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++m_k;
            return before;
        }
        bool operator==(const const_iterator& other) const = default;

    private:
        const ResultLines* m_lines;
        size_t m_k;
    };

    // Name, date (a time of day after it is left out) and key of a record.
    void append(QByteArrayView name, QByteArrayView date, QByteArrayView key);
    void clear() { m_texts.clear(); }
    size_t size() const { return size_t(m_texts.size()); }
    bool empty() const { return m_texts.size() == 0; }
    ResultLine operator[](size_t k) const { return {text(k), key(k)}; }
    QString text(size_t k) const; // 姓名[yyyy-mm-dd]
    QString key(size_t k) const { return m_texts.string(qsizetype(k), 2); }
    // Takes over the lines of `other`, which is left empty. Both lists are
    // newest key first (in the engine's byte order of keys), and so is the
    // merged one. No text is copied.
    void merge(ResultLines&& other) { m_texts.mergeDescending(std::move(other.m_texts), 2); }
    // The first line whose key is `key` (UTF-8), or -1.
    qsizetype find(QByteArrayView key) const;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    PackedTexts m_texts;
};

// The latest examination of one person: the newest of the records of a name
// at one address.
struct LatestExam
{
    QString address; // without surrounding blanks
    QString date;    // yyyy-mm-dd
    QString key;
};

struct SearchFilter
{
    QString name;    // substring of 姓名; "%" and "_" act as wildcards
    QString address; // substring of 地址
    QString from;    // first day, as typed
    QString to;      // last day, as typed
};

class RecordStore
{
public:
    enum class SearchError
    {
        None,
        BadDate,  // a date box does not hold a date
        Database, // the database could not be read
    };

    // Records whose name and address contain the filters and whose date lies in
    // the range (both ends included), newest key first. A filter too long for
    // the engine's patterns is a Database error with a reason.
    static SearchError search(const SearchFilter& filter, ResultLines& lines, QString* error = nullptr);
    // Every record of one day, newest key first (the list after a save).
    static bool listDay(const QString& date, ResultLines& lines, QString* error = nullptr);

    // Everyone called `name`, one person per address: for each, the key and
    // date of the latest record (by 日期, then 序列号), the newest first.
    // Names and addresses match without their surrounding blanks, as a name
    // may be stored padded; an empty name matches no one.
    static bool latestByAddress(const QString& name, std::vector<LatestExam>& people,
                                QString* error = nullptr);

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
