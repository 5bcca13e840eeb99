#pragma once
// Reading lists of examination records: the search of the main window, the
// records of one day, and everyone of one name.
#include "base/PackedTexts.h"

#include <QString>
#include <QStringList>

#include <iterator>
#include <vector>

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
// that are of one person (samePerson, Reexamination.h).
struct LatestExam
{
    QString address; // without surrounding blanks
    QString sex;     // without surrounding blanks
    QString age;     // at that examination, without surrounding blanks
    QString date;    // yyyy-mm-dd
    QString key;
};

// One person of a name: the latest examination, and the keys of all of
// that person's records, the latest first.
struct PersonRecords
{
    LatestExam latest;
    QStringList keys;
};

struct SearchFilter
{
    QString name;    // substring of 姓名; "%" and "_" act as wildcards
    QString address; // substring of 地址
    QString from;    // first day, as typed
    QString to;      // last day, as typed
};

class RecordSearch
{
public:
    enum class SearchError
    {
        None,
        BadDate,  // a date box does not hold a date
        Database, // the database could not be read
    };

    // Records whose name and address contain the filters (a missing name or
    // address is the empty one) and whose date lies in the range (both ends
    // included), newest key first. A filter too long for
    // the engine's patterns is a Database error with a reason.
    static SearchError search(const SearchFilter& filter, ResultLines& lines, QString* error = nullptr);
    // Every record of one day, newest key first (the list after a save).
    static bool listDay(const QString& date, ResultLines& lines, QString* error = nullptr);

    // Everyone called `name`: for each person, the latest record (by 日期,
    // then 序列号), the newest first. Records are one person's while they
    // agree on the address and do not tell apart by sex or year of birth
    // (samePerson), so that a father and his son of one name at one address
    // are two people. Names match without their surrounding blanks, as a
    // name may be stored padded; an empty name matches no one.
    static bool latestByPerson(const QString& name, std::vector<LatestExam>& people,
                               QString* error = nullptr);
    // The same people, each with the keys of all of that person's records.
    static bool recordsByPerson(const QString& name, std::vector<PersonRecords>& people,
                                QString* error = nullptr);
};

} // namespace brenvoll
