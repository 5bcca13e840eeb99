#pragma once
// Operator input of every shape, for the bad-input tests: arbitrary Unicode
// (lone surrogates, NUL, control characters, characters beyond the BMP), SQL
// metacharacters and injection attempts, date-like texts and very long texts.
// A fixed seed gives the same inputs on every run.
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace brenvoll::test {

class FuzzText
{
public:
    explicit FuzzText(quint32 seed);

    // One text of any shape; now and then a very long one (up to `maxLength`).
    QString next(int maxLength = 120000);
    // A text meant for a date box: mostly date-like, sometimes anything.
    QString nextDate();
    // A whole number in [0, bound).
    int bounded(int bound) { return int(m_rng.bounded(quint32(bound))); }

private:
    QString piece();
    QChar randomUnit();
    QRandomGenerator m_rng;
};

// Feeds `count` inputs from `seed` to `body` (its arguments: the generator to
// draw texts from, and the input's number). Each input counts towards fuzzInputsTried(). Stops at the first
// failed QtTest check inside `body`, naming the input's seed and number.
//
// For another operator input (a phrase filter, a new phrase, a report query),
// with the program's connection open on a test folder:
//
//     const auto before = test::tableState();
//     test::fuzzInputs(61, 2000, [&](test::FuzzText& fuzz, int) {
//         const QString phrase = fuzz.next(3000);
//         QVERIFY(PhraseStore::add(phrase));            // whatever the store offers
//         ... read it back and QCOMPARE with test::storedForm(phrase) ...
//     });
//     ... compare test::tableState() with `before` plus the rows added ...
void fuzzInputs(quint32 seed, int count, const std::function<void(FuzzText& fuzz, int index)>& body);
qint64 fuzzInputsTried();
void countFuzzInputs(qint64 n);

// What a text becomes once stored: the text itself, with unpaired surrogate
// halves and the non-characters U+FFFE, U+FFFF replaced by U+FFFD, leading byte
// order marks U+FEFF dropped.
QString storedForm(const QString& text);

// Row counts of the program's tables and the schema text of the database on
// the program's connection; compare before and after to see that no input
// dropped, added or altered a table.
struct TableState
{
    std::map<QString, qint64> rows; // table name -> rows
    QString schema;
    bool operator==(const TableState&) const = default;
};
TableState tableState();

// A short printable description of a text for failure messages.
QString describeText(const QString& text);

} // namespace brenvoll::test
