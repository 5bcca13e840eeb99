// Operator input of every shape into everything that reaches the database:
// the search filters and dates, every sheet box on save, the settings' folder,
// margins and password, the phrases. Nothing crashes, no input acts as SQL,
// every table keeps its rows, and a text saved comes back as it was typed.
#include "Fuzz.h"
#include "StampedRecord.h"
#include "TestSupport.h"
#include "app/Clock.h"
#include "app/Database.h"
#include "app/MessageBox.h"
#include "app/SettingsStore.h"
#include "mainwindow/Form1.h"
#include "phrases/PhraseStore.h"
#include "record/DateRules.h"
#include "record/RecordStore.h"
#include "record/SheetView.h"

#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

#include <cmath>
#include <map>

using namespace brenvoll;

namespace {
// Counts are bounded so the whole test stays within a minute; the seeds are
// fixed so a failure names an input that can be replayed.
constexpr int kSearches = 5000;
constexpr int kRecords = 500;
constexpr int kSheets = 40;
constexpr int kWindowInputs = 400;
constexpr int kSettings = 1000;
constexpr int kPhrases = 400;

// A record with every box from the fuzzer, the date one a save would store.
ExamRecord fuzzedRecord(test::FuzzText& fuzz, int maxLength)
{
    ExamRecord record;
    for (int i = 0; i < FieldMap::kText5Count; ++i) {
        record.text5[i] = fuzz.next(maxLength);
    }
    record.text5[3] = dateForSaving(fuzz.nextDate()).value_or(QStringLiteral("2026-05-07"));
    for (auto& text : record.text6) {
        text = fuzz.next(maxLength);
    }
    return record;
}

ExamRecord storedForm(ExamRecord record)
{
    for (auto& text : record.text5) {
        text = test::storedForm(text);
    }
    for (auto& text : record.text6) {
        text = test::storedForm(text);
    }
    return record;
}

QString firstDifference(const ExamRecord& got, const ExamRecord& want)
{
    for (const BoxDef& box : FieldMap::boxes()) {
        if (got.at(box.set, box.index) != want.at(box.set, box.index)) {
            return box.column + QStringLiteral(": got ") + test::describeText(got.at(box.set, box.index)) +
                   QStringLiteral(" want ") + test::describeText(want.at(box.set, box.index));
        }
    }
    return {};
}
} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    test::TableState m_before;

private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(RecordStore::save(robust::stampedRecord(robust::poolKey(i), QStringLiteral("kept"))));
        }
        m_before = test::tableState();
    }
    void cleanup()
    {
        m_folder.reset();
        Clock::reset();
        MessageBox::takeShown();
    }
    void cleanupTestCase() { qInfo("bad input: %lld inputs tried", test::fuzzInputsTried()); }

    void engineSensitiveTextKeepsItsNeighbours_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        const QChar high(char16_t(0xD83D));
        const QChar low(char16_t(0xDE00));
        const QChar fffd = QChar::ReplacementCharacter;
        QTest::newRow("high then letter") << (u'a' + QString(high) + u'b') << (u'a' + QString(fffd) + u'b');
        QTest::newRow("low alone") << (QString(low) + u'体') << (QString(fffd) + u'体');
        QTest::newRow("reversed pair") << (QString(low) + high + u'检') << (QString(fffd) + fffd + u'检');
        QTest::newRow("high at the end")
            << (QStringLiteral("检查") + high) << (QStringLiteral("检查") + fffd);
        QTest::newRow("whole pair") << (QString(high) + low) << (QString(high) + low);
        // Leading U+FFFE would make the engine read the text as big-endian UTF-16.
        QTest::newRow("leading U+FFFE")
            << (QChar(char16_t(0xFFFE)) + QStringLiteral("AB")) << (QString(fffd) + QStringLiteral("AB"));
        QTest::newRow("U+FFFF inside")
            << (QStringLiteral("A") + QChar(char16_t(0xFFFF)) + QStringLiteral("B"))
            << (QStringLiteral("A") + fffd + QStringLiteral("B"));
        QTest::newRow("leading byte order marks")
            << (QString(2, QChar::ByteOrderMark) + QStringLiteral("正常")) << QStringLiteral("正常");
        QTest::newRow("byte order mark inside")
            << (QStringLiteral("正") + QChar::ByteOrderMark + QStringLiteral("常"))
            << (QStringLiteral("正") + QChar::ByteOrderMark + QStringLiteral("常"));
    }
    void engineSensitiveTextKeepsItsNeighbours()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        ExamRecord record = robust::stampedRecord(robust::poolKey(7), QStringLiteral("s"));
        record.text6[41] = typed;
        record.text5[0] = typed;
        QVERIFY(RecordStore::save(record));
        ExamRecord back;
        QVERIFY(RecordStore::load(record.key(), back));
        QCOMPARE(back.text6[41], stored);
        QCOMPARE(back.text5[0], stored);
        // The stored name is found by the same typed text.
        std::vector<ResultLine> lines;
        QCOMPARE(RecordStore::search({typed, {}, QStringLiteral("1900-01-01"), QStringLiteral("2999-12-31")},
                                     lines),
                 RecordStore::SearchError::None);
        QCOMPARE(int(lines.size()), 1);
        QCOMPARE(lines[0].key, record.key());
    }

    void searchFiltersAndDatesAreOnlyData()
    {
        // Records whose names and addresses are themselves hostile.
        std::vector<ExamRecord> stored;
        test::fuzzInputs(11, 40, [&](test::FuzzText& fuzz, int i) {
            ExamRecord record = robust::stampedRecord(robust::poolKey(100 + i), QStringLiteral("f"));
            record.text5[0] = fuzz.next(300);
            record.text5[4] = fuzz.next(300);
            QVERIFY(RecordStore::save(record));
            stored.push_back(storedForm(record));
        });
        const auto before = test::tableState();
        int found = 0;
        test::fuzzInputs(12, kSearches, [&](test::FuzzText& fuzz, int i) {
            SearchFilter filter{fuzz.next(), fuzz.bounded(3) ? QString() : fuzz.next(), fuzz.nextDate(),
                                fuzz.nextDate()};
            test::countFuzzInputs(3);
            const ExamRecord* target = nullptr;
            if (i % 2 == 0) { // look for a stored record by its own hostile texts
                target = &stored[size_t(i / 2) % stored.size()];
                filter = {target->text5[0], target->text5[4], target->date(), target->date()};
            }
            std::vector<ResultLine> lines;
            QString error;
            const auto result = RecordStore::search(filter, lines, &error);
            QVERIFY2(result != RecordStore::SearchError::Database || !error.isEmpty(),
                     "failure without a reason");
            if (result == RecordStore::SearchError::Database) {
                // Only a filter too long for the engine's patterns may fail.
                QVERIFY2(filter.name.size() + filter.address.size() > 10000, qPrintable(error));
                QVERIFY2(error.contains(QStringLiteral("查询条件太长")), qPrintable(error));
                QVERIFY(!target);
                return;
            }
            if (target) {
                QCOMPARE(result, RecordStore::SearchError::None);
                const bool hit = std::any_of(lines.begin(), lines.end(), [&](const ResultLine& line) {
                    return line.key == target->key();
                });
                QVERIFY2(hit, qPrintable(test::describeText(filter.name)));
                ++found;
            }
            for (const ResultLine& line : lines) {
                QVERIFY(RecordStore::exists(line.key));
            }
        });
        QCOMPARE(found, kSearches / 2);
        QVERIFY(test::tableState() == before);
    }

    void sheetBoxesComeBackAsTyped()
    {
        std::map<QString, ExamRecord> expected;
        test::fuzzInputs(21, kRecords, [&](test::FuzzText& fuzz, int) {
            const ExamRecord record = fuzzedRecord(fuzz, 40000);
            QString error;
            QVERIFY2(RecordStore::save(record, &error), qPrintable(error));
            test::countFuzzInputs(FieldMap::kText5Count + FieldMap::kText6Count - 1);
            ExamRecord back;
            QVERIFY2(RecordStore::load(record.key(), back, &error), qPrintable(error));
            const ExamRecord want = storedForm(record);
            QVERIFY2(back == want, qPrintable(firstDifference(back, want)));
            expected[want.key()] = want;
        });
        // Later saves did not disturb earlier ones; no table gained or lost rows
        // beyond the records saved.
        for (const auto& [key, want] : expected) {
            ExamRecord back;
            QVERIFY(RecordStore::load(key, back));
            QVERIFY2(back == want, qPrintable(firstDifference(back, want)));
        }
        auto state = test::tableState();
        QCOMPARE(state.rows[QStringLiteral("档案")],
                 m_before.rows[QStringLiteral("档案")] + qint64(expected.size()));
        state.rows = m_before.rows;
        QVERIFY(state == m_before);
    }

    void sheetTypedIntoTheWindowComesBack()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 31), QTime(9, 0)));
        Form1 form;
        form.Form_Load();
        test::fuzzInputs(31, kSheets, [&](test::FuzzText& fuzz, int) {
            form.newRecord();
            for (const BoxDef& box : FieldMap::boxes()) {
                if (box.set == BoxSet::Text5 && (box.index == 3 || box.index == 5)) {
                    continue; // date below; the key is the one the window issued
                }
                form.box(box.set, box.index)->setText(fuzz.next(30000));
            }
            form.box(BoxSet::Text5, 3)
                ->setText(dateForSaving(fuzz.nextDate()).value_or(QStringLiteral("2026-05-07")));
            const ExamRecord typed = form.sheet()->record();
            form.saveRecord();
            QVERIFY(MessageBox::takeShown().isEmpty());
            int line = -1;
            for (int k = 0; k < form.lineCount(); ++k) {
                if (form.keyOfLine(k) == typed.key()) {
                    line = k;
                }
            }
            QVERIFY(line >= 0);
            form.newRecord();
            form.selectLine(line);
            const ExamRecord want = storedForm(typed);
            QVERIFY2(form.sheet()->record() == want,
                     qPrintable(firstDifference(form.sheet()->record(), want)));
        });
        QCOMPARE(RecordStore::count(), m_before.rows[QStringLiteral("档案")] + kSheets);
    }

    void searchPanelAndDateBoxTakeAnything()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 31), QTime(9, 0)));
        Form1 form;
        form.Form_Load();
        const QString searchDate = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");
        const QString saveDate = QStringLiteral("请填写正确体检日期格式！日期格式为“2016-01-03”。");
        test::fuzzInputs(32, kWindowInputs, [&](test::FuzzText& fuzz, int) {
            form.Text1->setText(fuzz.next(30000));
            form.Text2->setText(fuzz.bounded(2) ? QString() : fuzz.next(30000));
            form.Text3->setText(fuzz.nextDate());
            form.Text4->setText(fuzz.nextDate());
            test::countFuzzInputs(4); // five texts in all with the date box below
            form.Command1_Click();
            for (const auto& shown : MessageBox::takeShown()) {
                QVERIFY2(shown.text == searchDate ||
                             shown.text ==
                                 QStringLiteral("无法查询记录：查询条件太长，请输入较短的姓名或地址。"),
                         qPrintable(shown.text));
            }
            // A date box holding anything: a real date is stored as such,
            // anything else is refused with the date message.
            form.newRecord();
            const QString typedDate = fuzz.nextDate();
            form.box(BoxSet::Text5, 3)->setText(typedDate);
            const QString key = form.box(BoxSet::Text5, 5)->text();
            form.saveRecord();
            const auto shown = MessageBox::takeShown();
            const auto date = dateForSaving(form.box(BoxSet::Text5, 3)->text());
            ExamRecord stored;
            if (date) {
                QVERIFY(shown.isEmpty());
                QVERIFY(RecordStore::load(key, stored));
                QCOMPARE(stored.date(), *date);
                QVERIFY(QDate::fromString(stored.date(), QStringLiteral("yyyy-MM-dd")).isValid());
            } else {
                QCOMPARE(shown.size(), 1);
                QCOMPARE(shown[0].text, saveDate);
                QVERIFY(!RecordStore::exists(key));
            }
        });
        QVERIFY(test::tableState().schema == m_before.schema);
    }

    void settingsKeepWhatWasTyped()
    {
        test::fuzzInputs(41, kSettings, [&](test::FuzzText& fuzz, int) {
            const QString folder = fuzz.next(5000);
            const QString left = fuzz.bounded(2) ? fuzz.nextDate() : fuzz.next(5000);
            const QString top = fuzz.next(400);
            const QString password = fuzz.next(2000);
            test::countFuzzInputs(3);
            QString error;
            QVERIFY2(SettingsStore::writeFolderAndMargins(folder, left, top, &error), qPrintable(error));
            QVERIFY2(SettingsStore::writePassword(password, &error), qPrintable(error));
            Settings back;
            QVERIFY(SettingsStore::read(back));
            QCOMPARE(back.folder, test::storedForm(folder));
            QCOMPARE(back.leftMargin, test::storedForm(left));
            QCOMPARE(back.topMargin, test::storedForm(top));
            QCOMPARE(back.password, test::storedForm(password));
            for (const QString& margin : {left, top, folder}) {
                const double millimetres = SettingsStore::marginMillimetres(margin);
                const double twips = SettingsStore::marginTwips(margin);
                QVERIFY2(std::isfinite(millimetres) && std::isfinite(twips),
                         qPrintable(test::describeText(margin)));
            }
        });
        QVERIFY(test::tableState() == m_before);
    }

    void marginsAreAlwaysANumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("millimetres");
        QTest::newRow("ordinary") << QStringLiteral(" 12.5 mm") << 12.5;
        QTest::newRow("four hundred nines") << QString(400, u'9') << 0.0;
        QTest::newRow("exponent") << QStringLiteral("1e999") << 1.0;
        QTest::newRow("sign only") << QStringLiteral("-") << 0.0;
        QTest::newRow("point only") << QStringLiteral(".") << 0.0;
        QTest::newRow("two points") << QStringLiteral("1.2.3") << 1.2;
        QTest::newRow("nan") << QStringLiteral("nan") << 0.0;
        QTest::newRow("infinity") << QStringLiteral("inf") << 0.0;
        QTest::newRow("full-width digits") << QStringLiteral("１２") << 0.0;
        QTest::newRow("NUL inside") << (QStringLiteral("5") + QChar(0) + QStringLiteral("7")) << 5.0;
    }
    void marginsAreAlwaysANumber()
    {
        QFETCH(QString, typed);
        QFETCH(double, millimetres);
        const double parsed = SettingsStore::marginMillimetres(typed);
        QVERIFY2(std::isfinite(parsed) && std::isfinite(SettingsStore::marginTwips(typed)),
                 qPrintable(QString::number(parsed)));
        QCOMPARE(parsed, millimetres);
    }

    void phrasesListedAsStored()
    {
        QStringList before;
        QVERIFY(PhraseStore::all(before));
        QStringList expected = before;
        test::fuzzInputs(51, kPhrases, [&](test::FuzzText& fuzz, int) {
            const QString phrase = fuzz.next(3000);
            QSqlQuery insert = Database::prepare(QStringLiteral("insert into 词库 (常用语) values (?)"));
            Database::bindText(insert, phrase);
            QVERIFY(Database::exec(insert));
            expected << test::storedForm(phrase);
        });
        QStringList phrases;
        QVERIFY(PhraseStore::all(phrases));
        QCOMPARE(phrases.size(), expected.size());
        for (qsizetype i = 0; i < phrases.size(); ++i) {
            QVERIFY2(phrases[i] == expected[i], qPrintable(test::describeText(phrases[i])));
        }
        auto state = test::tableState();
        QCOMPARE(state.rows[QStringLiteral("词库")], m_before.rows[QStringLiteral("词库")] + kPhrases);
        state.rows[QStringLiteral("词库")] = m_before.rows[QStringLiteral("词库")];
        QVERIFY(state == m_before);
    }
};

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
