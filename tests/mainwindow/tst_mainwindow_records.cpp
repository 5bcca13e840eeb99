// Searching, opening, saving, starting and deleting records in the main window.
#include "MainWindowParts.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "drafts/DraftStore.h"
#include "drafts/DraftsWindow.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "record/DateRules.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "sheet/PersonChooser.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTest>
#include <QTreeWidget>

#include <sqlite3.h>

using namespace brenvoll;

namespace {
const QString kSaveDate = QStringLiteral("请填写正确体检日期格式！日期格式为“2016-01-03”。");
const QString kSearchDate = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");
const QString kQuestion = QStringLiteral("删除记录后将无法恢复，确定要删除该记录吗？");

QStringList texts(const QList<MessageBox::Shown>& shown)
{
    QStringList list;
    for (const auto& s : shown) {
        list << s.text;
    }
    return list;
}

// Refuses every select, so that a list cannot be read while writes still go through.
int refuseSelects(void*, int action, const char*, const char*, const char*, const char*)
{
    return action == SQLITE_SELECT ? SQLITE_DENY : SQLITE_OK;
}
} // namespace

class MainWindowRecordsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    std::unique_ptr<MainWindow> m_form;

    MainWindow& form() { return *m_form; }
    QLineEdit* box(Field field) { return m_form->box(field); }
    void store(const char* key, const char16_t* name, const char* date, const char16_t* address = u"东街")
    {
        QVERIFY(RecordStore::save(test::makeRecord(QString::fromLatin1(key), QString::fromUtf16(name),
                                                   QString::fromLatin1(date), QString::fromUtf16(address))));
    }
    // A record of 张三 with the sex and age given.
    void storePerson(const char* key, const char16_t* sex, const char16_t* age, const char* date,
                     const char16_t* address)
    {
        ExamRecord record = test::makeRecord(QString::fromLatin1(key), QStringLiteral("张三"),
                                             QString::fromLatin1(date), QString::fromUtf16(address));
        record[Field::Sex] = QString::fromUtf16(sex);
        record[Field::Age] = QString::fromUtf16(age);
        QVERIFY(RecordStore::save(record));
    }
    QStringList listed()
    {
        QStringList lines;
        for (int k = 0; k < form().lineCount(); ++k) {
            lines << form().results()->textAt(k);
        }
        return lines;
    }
    // The names on the drafts, the one typed last first.
    QStringList drafted()
    {
        QStringList names;
        for (const Draft& draft : m_form->drafts()->list()) {
            names << draft.record[Field::Name];
        }
        return names;
    }
    // Puts the draft of the sheet with `key` back on the sheet.
    void restore(const QString& key)
    {
        for (const Draft& draft : m_form->drafts()->list()) {
            if (draft.record.key() == key) {
                test::draftCommands(*m_form).restoreDraft(draft.id);
                QCOMPARE(box(Field::Key)->text(), key);
                return;
            }
        }
        QFAIL("no draft of that key");
    }
    QString storedText(const QString& key, Field field)
    {
        ExamRecord stored;
        return RecordStore::load(key, stored) ? stored[field] : QStringLiteral("(none)");
    }
    void load(const QDateTime& now)
    {
        Clock::setFixed(now);
        m_form = std::make_unique<MainWindow>();
        m_form->loadOnStart();
    }

private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup()
    {
        m_form.reset();
        m_folder.reset();
        Clock::reset();
    }

    void startUpShowsTheLastYear_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("from");
        QTest::newRow("ordinary") << QDate(2016, 5, 7) << "2015-05-07";
        QTest::newRow("leap day") << QDate(2016, 2, 29) << "2015-02-28";
    }
    void startUpShowsTheLastYear()
    {
        QFETCH(QDate, today);
        QFETCH(QString, from);
        const QDate first = QDate::fromString(from, QStringLiteral("yyyy-MM-dd"));
        QVERIFY(RecordStore::save(test::makeRecord(QStringLiteral("20150101000000"), QStringLiteral("太早"),
                                                   formatDate(first.addDays(-1)))));
        QVERIFY(RecordStore::save(
            test::makeRecord(QStringLiteral("20150101000001"), QStringLiteral("第一天"), formatDate(first))));
        QVERIFY(RecordStore::save(
            test::makeRecord(QStringLiteral("20150101000002"), QStringLiteral("今天"), formatDate(today))));
        load(QDateTime(today, QTime(9, 15, 0)));
        QCOMPARE(test::fromDate(form())->text(), from);
        QCOMPARE(test::toDate(form())->text(), today.toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(box(Field::Key)->text(),
                 today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("091500"));
        QVERIFY(test::countLabel(form())->text().startsWith(QStringLiteral("计录数：")));
        QCOMPARE(listed(), (QStringList{QStringLiteral("今天[") + formatDate(today) + u']',
                                        QStringLiteral("第一天[") + from + u']'}));
        QCOMPARE(box(Field::Number)->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(box(Field::Number)->text(), QString());
    }

    void searchListsNewestFirstWithKeysAlongside()
    {
        store("20160507080000", u"张三", "2016-05-07");
        store("20160507090000", u"小张", "2016-05-07");
        store("20160508080000", u"王五", "2016-05-08");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        QCOMPARE(listed(),
                 (QStringList{QStringLiteral("王五[2016-05-08]"), QStringLiteral("小张[2016-05-07]"),
                              QStringLiteral("张三[2016-05-07]")}));
        QCOMPARE(test::countLabel(form())->text(), QStringLiteral("计录数：3"));
        for (int k = 0; k < form().lineCount(); ++k) {
            ExamRecord record;
            QVERIFY(RecordStore::load(form().keyOfLine(k), record));
            QCOMPARE(record[Field::Name] + u'[' + record.date() + u']', form().results()->textAt(k));
        }

        test::nameFilter(form())->setText(QStringLiteral("O'Neil"));
        QTest::mouseClick(test::searchButton(form()), Qt::LeftButton);
        QCOMPARE(form().lineCount(), 0);
        QCOMPARE(test::countLabel(form())->text(), QStringLiteral("计录数：0"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        test::nameFilter(form())->setText(QStringLiteral("小"));
        QVERIFY(test::pressEnterOn(test::searchButton(form()))); // Enter on the focused button
        QCOMPARE(listed(), QStringList{QStringLiteral("小张[2016-05-07]")});

        test::nameFilter(form())->clear();
        test::fromDate(form())->setText(QStringLiteral("2016-13-45"));
        form().search();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{kSearchDate});
        QCOMPARE(form().lineCount(), 0);
    }

    void selectingALineLoadsEveryBoxWithoutMovingFocusOrPage()
    {
        ExamRecord record = test::makeRecord(QStringLiteral("20160507080000"), QStringLiteral("张三"),
                                             QStringLiteral("2016-05-07"));
        record[Field::SignatureDate] = QStringLiteral("隐藏的日期");
        record[Field::DiastolicPressure] = QStringLiteral("85");
        QVERIFY(RecordStore::save(record));
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
        test::scrollBar(form())->setValue(45);
        const QPoint page = test::page(form())->pos();
        test::addressFilter(form())->setFocus();
        form().selectLine(0);
        QCOMPARE(form().sheet()->record(), record);
        QCOMPARE(box(Field::DiastolicPressure)->text(), QStringLiteral("85"));
        QCOMPARE(box(Field::SignatureDate)->text(), QStringLiteral("隐藏的日期"));
        QCOMPARE(test::page(form())->pos(), page);
        QCOMPARE(QApplication::focusWidget(), test::addressFilter(form()));
    }

    void longTextsComeBackWhole()
    {
        ExamRecord record = test::makeRecord(QStringLiteral("20160507080000"), QStringLiteral("张三"),
                                             QStringLiteral("2016-05-07"), QString(33000, u'街'));
        record[Field::Conclusion] = QString(40000, u'长') + QStringLiteral("完");
        QVERIFY(RecordStore::save(record));
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        form().selectLine(0);
        form().saveRecord();
        ExamRecord stored;
        QVERIFY(RecordStore::load(record.key(), stored));
        QCOMPARE(form().sheet()->record(), record);
        QCOMPARE(stored, record);
    }

    void unreadableRecordIsReportedAndTheSelectionFollowsTheSheet()
    {
        store("20160507080000", u"张三", "2016-05-07");
        store("20160507090000", u"李四", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
        form().selectLine(1); // 张三
        box(Field::Conclusion)->setText(QStringLiteral("刚刚输入"));
        const ExamRecord shown = form().sheet()->record();
        QVERIFY(RecordStore::remove(QStringLiteral("20160507090000"))); // 李四, still listed
        const QRect line = test::resultList(form())->visualRect(form().results()->index(0));
        QTest::mouseClick(test::resultList(form())->viewport(), Qt::LeftButton, {}, line.center());
        QCOMPARE(texts(MessageBox::takeShown()),
                 QStringList{QStringLiteral("无法读取记录：这条记录已不存在。")});
        QCOMPARE(form().selectedLine(), 1);
        QCOMPARE(form().sheet()->record(), shown);
        form().newRecord(); // a new sheet stands on no line
        form().selectLine(0);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(form().selectedLine(), -1);
    }

    void countAlwaysCountsTheLinesShown()
    {
        store("20160507080000", u"张三", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        test::fromDate(form())->setText(QStringLiteral("abc"));
        form().search();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{kSearchDate});
        QCOMPARE(test::countLabel(form())->text(), QStringLiteral("计录数：0"));

        // Saved, but the day's list cannot be read.
        test::fromDate(form())->setText(QStringLiteral("2016-05-07"));
        form().search();
        QCOMPARE(test::countLabel(form())->text(), QStringLiteral("计录数：1"));
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-07"));
        sqlite3_set_authorizer(Database::handle(), refuseSelects, nullptr);
        form().saveRecord();
        sqlite3_set_authorizer(Database::handle(), nullptr, nullptr);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(RecordStore::count(), 2);
        QCOMPARE(form().lineCount(), 0);
        QCOMPARE(test::countLabel(form())->text(), QStringLiteral("计录数：0"));
    }

    void saveAddsThenOverwritesAndShowsTheDay()
    {
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        const QString key = box(Field::Key)->text();
        box(Field::Name)->setText(QStringLiteral("新人"));
        box(Field::ExamDate)->setText(QStringLiteral(" 2016-05.07"));
        box(Field::Address)->setText(QStringLiteral("西街"));
        test::nameFilter(form())->setText(QStringLiteral("x"));
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(RecordStore::count(), 1);
        QCOMPARE(test::nameFilter(form())->text(), QString());
        QCOMPARE(test::fromDate(form())->text(), QStringLiteral("2016-05-07"));
        QCOMPARE(test::toDate(form())->text(), QStringLiteral("2016-05-07"));
        QCOMPARE(listed(), QStringList{QStringLiteral("新人[2016-05-07]")});
        QCOMPARE(form().selectedLine(), -1);
        QCOMPARE(box(Field::Key)->text(), key);

        box(Field::Conclusion)->setText(QStringLiteral("未见异常"));
        form().saveRecord();
        QCOMPARE(RecordStore::count(), 1);
        ExamRecord stored;
        QVERIFY(RecordStore::load(key, stored));
        QCOMPARE(stored[Field::Conclusion], QStringLiteral("未见异常"));
        QCOMPARE(stored.date(), QStringLiteral("2016-05-07"));
    }

    // Another workstation on the same database: a new sheet whose key was
    // taken meanwhile takes the next free one; a loaded record changed or
    // deleted meanwhile is overwritten only when the operator says so.
    void saveNeverOverwritesAnotherWorkstationsRecord()
    {
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        const QString taken = box(Field::Key)->text();
        store("20160509080000", u"别的工作站", "2016-05-09");
        box(Field::Name)->setText(QStringLiteral("新人"));
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-09"));
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(RecordStore::count(), 2);
        QVERIFY(box(Field::Key)->text() != taken);
        ExamRecord stored;
        QVERIFY(RecordStore::load(taken, stored));
        QCOMPARE(stored[Field::Name], QStringLiteral("别的工作站"));

        form().selectLine(form().results()->lineOf(taken));
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("别的工作站"));
        QVERIFY(RecordStore::save(
            test::makeRecord(taken, QStringLiteral("又改了"), QStringLiteral("2016-05-09"))));
        box(Field::Conclusion)->setText(QStringLiteral("本工作站"));
        const QString changed = QStringLiteral("此记录已被其他工作站修改。是否覆盖？");
        MessageBox::queueAnswer(QMessageBox::No);
        form().saveRecord();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{changed});
        QVERIFY(RecordStore::load(taken, stored));
        QCOMPARE(stored[Field::Name], QStringLiteral("又改了"));
        QCOMPARE(box(Field::Conclusion)->text(), QStringLiteral("本工作站"));
        form().saveRecord(); // 是
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{changed});
        QVERIFY(RecordStore::load(taken, stored));
        QCOMPARE(stored[Field::Conclusion], QStringLiteral("本工作站"));
        form().saveRecord(); // unchanged since: no question
        QVERIFY(MessageBox::takeShown().isEmpty());

        const QString deleted = QStringLiteral("此记录已被其他工作站删除。是否重新保存？");
        QVERIFY(RecordStore::remove(taken));
        MessageBox::queueAnswer(QMessageBox::No);
        form().saveRecord();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{deleted});
        QVERIFY(!RecordStore::exists(taken));
        form().saveRecord(); // 是
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{deleted});
        QVERIFY(RecordStore::load(taken, stored));
        QCOMPARE(stored[Field::Conclusion], QStringLiteral("本工作站"));
    }

    void saveRefusesDatesThatAreNotDates_data()
    {
        QTest::addColumn<QString>("date");
        QTest::newRow("empty") << "";
        QTest::newRow("slashes") << "2016/05/07";
        QTest::newRow("short") << "16-05-07";
        QTest::newRow("no such day") << "2016-13-45";
        QTest::newRow("letters") << "abcd-efghi";
    }
    void saveRefusesDatesThatAreNotDates()
    {
        QFETCH(QString, date);
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        box(Field::ExamDate)->setText(date);
        box(Field::Name)->setText(QStringLiteral("某人"));
        const QString from = test::fromDate(form())->text();
        form().saveRecord();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{kSaveDate});
        QCOMPARE(RecordStore::count(), 0);
        QCOMPARE(test::fromDate(form())->text(), from);
        QCOMPARE(box(Field::ExamDate)->text(), date);
    }

    void failedSaveKeepsSheetAndList()
    {
        store("20160507080000", u"张三", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        QSqlQuery(Database::connection()).exec(QStringLiteral("PRAGMA query_only = 1"));
        form().newRecord();
        box(Field::Name)->setText(QStringLiteral("没存上"));
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-08"));
        box(Field::InternalOther)->setText(QStringLiteral("一些发现"));
        const ExamRecord typed = form().sheet()->record();
        form().saveRecord();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("记录没有保存")));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(form().sheet()->record(), typed);
        QCOMPARE(listed(), QStringList{QStringLiteral("张三[2016-05-07]")});
        QCOMPARE(test::fromDate(form())->text(), QStringLiteral("2015-05-09"));
    }

    void newRecordKeepsDateAndAddressAndNeverReusesAKey()
    {
        store("20160509080001", u"已存", "2016-05-09");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0, 0)));
        const QString first = box(Field::Key)->text();
        QCOMPARE(first, QStringLiteral("20160509080000"));
        box(Field::Name)->setText(QStringLiteral("甲"));
        box(Field::Age)->setText(QStringLiteral("45"));
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-09"));
        box(Field::Address)->setText(QStringLiteral("北街"));
        box(Field::DiastolicPressure)->setText(QStringLiteral("90"));
        form().saveRecord();
        test::scrollBar(form())->setValue(90);
        form().newRecord(); // same second on the clock
        QCOMPARE(box(Field::Name)->text(), QString());
        QCOMPARE(box(Field::Age)->text(), QString());
        QCOMPARE(box(Field::DiastolicPressure)->text(), QString());
        QCOMPARE(box(Field::ExamDate)->text(), QStringLiteral("2016-05-09"));
        QCOMPARE(box(Field::Address)->text(), QStringLiteral("北街"));
        QCOMPARE(test::scrollBar(form())->value(), 0);
        const QString second = box(Field::Key)->text();
        QCOMPARE(second, QStringLiteral("20160509080002")); // 00 handed out, 01 stored
        box(Field::Name)->setText(QStringLiteral("乙"));
        form().saveRecord();
        QCOMPARE(RecordStore::count(), 3);
        ExamRecord a;
        QVERIFY(RecordStore::load(first, a));
        QCOMPARE(a[Field::Name], QStringLiteral("甲"));
    }

    void deleteAsksAndActsOnTheSelectedLine()
    {
        store("20160507080000", u"张三", "2016-05-07", u"东街");
        store("20160507090000", u"李四", "2016-05-07", u"东街");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));

        form().deleteRecord(); // nothing selected
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(RecordStore::count(), 2);

        form().selectLine(1); // 张三
        MessageBox::queueAnswer(QMessageBox::No);
        form().deleteRecord();
        auto shown = MessageBox::takeShown();
        QCOMPARE(texts(shown), QStringList{kQuestion});
        QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(RecordStore::count(), 2);
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("张三"));

        form().newRecord(); // the selection decides, not the sheet
        MessageBox::queueAnswer(QMessageBox::Yes);
        form().deleteRecord();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{kQuestion});
        QVERIFY(!RecordStore::exists(QStringLiteral("20160507080000")));
        QCOMPARE(listed(), QStringList{QStringLiteral("李四[2016-05-07]")});
        QCOMPARE(box(Field::ExamDate)->text(), QString());
        QCOMPARE(box(Field::Address)->text(), QString());
        QCOMPARE(box(Field::Key)->text().size(), 14);

        form().selectLine(0);
        form().deleteRecord();
        QCOMPARE(RecordStore::count(), 0);
        QCOMPARE(form().lineCount(), 0);
        QCOMPARE(test::countLabel(form())->text(), QStringLiteral("计录数：0"));
    }

    // Ctrl+R on a loaded record: a fresh, unsaved sheet with the identity of
    // that person's latest record (by date, then key; the name may be stored
    // padded), the age moved on by the whole years since when it is a number.
    void copyLastExaminationStartsFromTheLatest()
    {
        ExamRecord latest = test::makeRecord(QStringLiteral("20200101080000"), QStringLiteral("张三  "),
                                             QStringLiteral("2025-06-01"), QStringLiteral("东街"));
        QVERIFY(RecordStore::save(latest));
        // Newer key, older examination; its age gives the same year of birth.
        storePerson("20260101080000", u"男", u"39", "2019-06-01", u"东街");
        store("20260102080000", u"张三", "2019-07-01", u"西街");
        load(QDateTime(QDate(2026, 6, 1), QTime(9, 0)));
        form().show();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        test::fromDate(form())->setText(QStringLiteral("2000-01-01"));
        form().search();
        form().selectLine(1); // the 2019 record at 东街
        QTest::keyClick(box(Field::Conclusion), Qt::Key_R, Qt::ControlModifier);
        ExamRecord next;
        for (Field f : {Field::Name, Field::Sex, Field::Number, Field::Address, Field::Telephone,
                        Field::MedicalHistory}) {
            next[f] = latest[f];
        }
        next[Field::Age] = QStringLiteral("46");
        next[Field::ExamDate] = QStringLiteral("2026-06-01");
        next[Field::Key] = QStringLiteral("20260601090001"); // ...00 went to the first sheet
        QCOMPARE(form().sheet()->record(), next);
        QCOMPARE(RecordStore::count(), 3);

        const struct
        {
            const char16_t *name, *age, *date, *expected;
        } ages[] = {{u"甲", u"45", u"2025-06-02", u"45"}, // not a whole year yet
                    {u"乙", u"４５", u"2024-02-29", u"47"},
                    {u"丙", u"约45", u"2020-01-01", u"约45"}};
        for (const auto& a : ages) {
            ExamRecord last = test::makeRecord(QStringLiteral("2020010109000") + QString::number(&a - ages),
                                               QString::fromUtf16(a.name), QString::fromUtf16(a.date));
            last[Field::Age] = QString::fromUtf16(a.age);
            QVERIFY(RecordStore::save(last));
            box(Field::Name)->setText(QString::fromUtf16(a.name));
            copyLastExamination(form());
            QCOMPARE(box(Field::Age)->text(), QString::fromUtf16(a.expected));
        }
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // A name typed on a new sheet: several people of it are chosen between,
    // one line per address; no one of it is reported.
    void copyLastExaminationChoosesBetweenNamesakes()
    {
        store("20250101080000", u"张三", "2025-01-01", u"东街");
        store("20250301080000", u"张三", "2025-03-01", u"西街");
        load(QDateTime(QDate(2026, 6, 1), QTime(9, 0)));
        box(Field::Name)->setText(QStringLiteral("李四"));
        copyLastExamination(form());
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("没有找到此人的体检记录。")});
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("李四"));

        box(Field::Name)->setText(QStringLiteral("张三 "));
        const ExamRecord before = form().sheet()->record();
        auto chooser = [this]() -> PersonChooser* {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the last one closed
            copyLastExamination(form());
            auto* dialog = form().findChild<PersonChooser*>();
            return dialog && QTest::qWaitForWindowExposed(dialog) ? dialog : nullptr;
        };
        PersonChooser* dialog = chooser();
        QVERIFY(dialog);
        QCOMPARE(test::itemsOf(dialog->personList()),
                 (QStringList{QStringLiteral("西街，男，45岁[2025-03-01]"),
                              QStringLiteral("东街，男，45岁[2025-01-01]")}));
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("promptLabel"))->text(),
                 QStringLiteral("有多位“张三”的体检记录，请选择此人的地址："));
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        QCOMPARE(form().sheet()->record(), before);

        QVERIFY(dialog = chooser()); // Enter chooses
        dialog->personList()->setCurrentRow(1);
        QTest::keyClick(dialog->personList(), Qt::Key_Return);
        QCOMPARE(box(Field::Address)->text(), QStringLiteral("东街"));
        QVERIFY(box(Field::Key)->text() != before[Field::Key]);

        QVERIFY(dialog = chooser()); // and so does a double-click
        const QListWidget* list = dialog->personList();
        const QPoint first = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first); // a double-click's first press
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(box(Field::Address)->text(), QStringLiteral("西街"));
        QCOMPARE(RecordStore::count(), 2);
    }

    // A father and his son of one name at one address, and a woman of it,
    // are three people: their records disagree on the sex or on the year of
    // birth (age and date) by more than a year. Each gets a line with address,
    // sex, age and date; the person of a record shown comes highlighted, and
    // the choice starts from that person's own latest record.
    void copyLastExaminationTellsApartPeopleAtOneAddress()
    {
        storePerson("20250501080000", u"男", u"70", "2025-05-01", u"东街");  // father, born 1955
        storePerson("20240501080000", u"男", u"68", "2024-05-01", u"东街");  // father, 1956: one year off
        storePerson("20240601080000", u"男", u"40", "2024-06-01", u"东街");  // son, born 1984
        storePerson("20230101080000", u"女", u"40", "2023-01-01", u"东街 "); // born 1983
        storePerson("20220101080000", u"男", u"41", "2022-01-01", u"西街");
        load(QDateTime(QDate(2026, 6, 1), QTime(9, 0)));
        form().show();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        const QStringList lines{
            QStringLiteral("东街，男，70岁[2025-05-01]"), QStringLiteral("东街，男，40岁[2024-06-01]"),
            QStringLiteral("东街，女，40岁[2023-01-01]"), QStringLiteral("西街，男，41岁[2022-01-01]")};
        auto chooser = [this]() -> PersonChooser* {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the last one closed
            copyLastExamination(form());
            auto* dialog = form().findChild<PersonChooser*>();
            return dialog && QTest::qWaitForWindowExposed(dialog) ? dialog : nullptr;
        };

        box(Field::Name)->setText(QStringLiteral("张三")); // typed: everyone of the name
        PersonChooser* dialog = chooser();
        QVERIFY(dialog);
        QCOMPARE(test::itemsOf(dialog->personList()), lines);
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("promptLabel"))->text(),
                 QStringLiteral("有多位“张三”的体检记录，请按地址、性别和年龄选择此人："));
        QCOMPARE(dialog->personList()->currentRow(), 0);
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);

        // The son's record shown: the people of its address, the son highlighted.
        test::fromDate(form())->setText(QStringLiteral("2000-01-01"));
        form().search();
        QCOMPARE(form().results()->textAt(1), QStringLiteral("张三[2024-06-01]"));
        form().selectLine(1);
        QVERIFY(dialog = chooser());
        QCOMPARE(test::itemsOf(dialog->personList()), lines.mid(0, 3));
        QCOMPARE(dialog->personList()->currentRow(), 1);
        QTest::keyClick(dialog->personList(), Qt::Key_Return);
        QCOMPARE(box(Field::Age)->text(), QStringLiteral("42")); // 40 two whole years on
        QCOMPARE(box(Field::Sex)->text(), QStringLiteral("男"));
        QCOMPARE(box(Field::Address)->text(), QStringLiteral("东街"));

        // The father's older record shown: his latest is highlighted.
        form().selectLine(2); // 2024-05-01, aged 68
        QVERIFY(dialog = chooser());
        QCOMPARE(dialog->personList()->currentRow(), 0);
        QTest::keyClick(dialog->personList(), Qt::Key_Return);
        QCOMPARE(box(Field::Age)->text(), QStringLiteral("71"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(RecordStore::count(), 5);
    }

    void failedDeleteIsReportedAndKeepsEverything()
    {
        store("20160507080000", u"张三", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        form().selectLine(0);
        QSqlQuery(Database::connection()).exec(QStringLiteral("PRAGMA query_only = 1"));
        form().deleteRecord();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].text.startsWith(QStringLiteral("记录没有删除")));
        QCOMPARE(RecordStore::count(), 1);
        QCOMPARE(form().lineCount(), 1);
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("张三"));
    }

    void typingIsKeptWhenTheSheetIsReplacedUntilSaved()
    {
        store("20160507080000", u"张三", "2016-05-07");
        store("20160507090000", u"李四", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        QTest::keyClicks(box(Field::Name), "Wang");
        form().selectLine(0); // 李四 replaces the typed new sheet
        QCOMPARE(drafted(), QStringList{QStringLiteral("Wang")});
        box(Field::Conclusion)->setText(QStringLiteral("复查"));
        form().newRecord();
        QCOMPARE(drafted(), (QStringList{QStringLiteral("李四"), QStringLiteral("Wang")}));

        // Once typing pauses the draft is written without a replacement, and
        // typed back to the stored record it goes.
        form().drafts()->setPause(5);
        form().selectLine(1); // 张三
        box(Field::Heart)->setText(QStringLiteral("早搏"));
        QTRY_COMPARE(drafted().size(), 3);
        box(Field::Heart)->setText(QStringLiteral("值8"));
        QTRY_COMPARE(drafted().size(), 2);
        box(Field::Ecg)->setText(QStringLiteral("窦性心律"));
        form().saveRecord();
        QCOMPARE(drafted().size(), 2);
        QVERIFY(MessageBox::takeShown().isEmpty());
        // Deleting the record on the sheet keeps what was typed on it.
        form().selectLine(0); // 李四
        box(Field::Age)->setText(QStringLiteral("61"));
        MessageBox::queueAnswer(QMessageBox::Yes);
        form().deleteRecord();
        QCOMPARE(drafted().size(), 3);
        QCOMPARE(drafted().front(), QStringLiteral("李四"));
        QCOMPARE(draftChanges(form().drafts()->list().front().record), QStringLiteral("新记录"));
    }

    void restoringADraftPutsBackEveryBox()
    {
        store("20160507080000", u"张三", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        for (const BoxDef& def : FieldMap::boxes()) {
            if (def.field != Field::Key) {
                box(def.field)->setText(def.column + QStringLiteral("的内容"));
            }
        }
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-09"));
        const ExamRecord typed = form().sheet()->record();
        form().selectLine(0);
        box(Field::Name)->setText(QStringLiteral("张三丰"));
        form().newRecord();

        DraftsWindow* window = test::draftCommands(form()).showDrafts();
        QTreeWidget* list = window->draftList();
        QCOMPARE(list->topLevelItemCount(), 2);
        const QStringList columns{QStringLiteral("姓名的内容"), typed.key(),
                                  QStringLiteral("2016-05-09 08:00"), QStringLiteral("本次输入"),
                                  QStringLiteral("新记录")};
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(list->topLevelItem(1)->text(column), columns[column]);
        }
        QCOMPARE(list->topLevelItem(0)->text(4), QStringLiteral("姓名"));
        list->setCurrentItem(list->topLevelItem(0));
        QTest::mouseClick(window->deleteButton(), Qt::LeftButton);
        QCOMPARE(drafted(), QStringList{QStringLiteral("姓名的内容")});
        list->setCurrentItem(list->topLevelItem(0));
        QTest::mouseClick(window->restoreButton(), Qt::LeftButton);
        QCOMPARE(form().sheet()->record(), typed);
        QCOMPARE(form().selectedLine(), -1);
        form().saveRecord();
        ExamRecord stored;
        QVERIFY(RecordStore::load(typed.key(), stored));
        QCOMPARE(stored, typed);
        QCOMPARE(drafted(), QStringList());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The question at start-up and the drafts window tell the same: every
    // draft left (kept at a clean close or left by a crash), and among them
    // those that runs ending uncleanly left, which the window marks.
    void draftsLeftByAnUncleanEndAreCountedAsTheWindowMarksThem()
    {
        const QDateTime now(QDate(2016, 5, 9), QTime(8, 0));
        const QString path = draftsPath(m_folder->databaseFile());
        const auto write = [](DraftStore& store, const QString& name, const QDateTime& at) {
            Draft draft{0, at, test::makeRecord(name, name, QString())};
            QVERIFY(store.write(draft));
        };
        {
            DraftStore closed;
            QVERIFY(closed.open(path, now.addSecs(-7200)));
            write(closed, QStringLiteral("甲"), now.addSecs(-7000));
            closed.closeCleanly();
            DraftStore crashed;
            QVERIFY(crashed.open(path, now.addSecs(-3600)));
            write(crashed, QStringLiteral("乙"), now.addSecs(-3500));
            write(crashed, QStringLiteral("丙"), now.addSecs(-3400));
        } // ends without a clean close
        load(now);
        const DraftsLeftOpen left = form().drafts()->takeLeftOpen();
        QCOMPARE(left.question(), QStringLiteral("发现 3 份未保存的表格（最近：丙 2016-05-09 07:03），"
                                                 "其中 2 份是程序意外结束时留下的。是否现在查看？"));
        QCOMPARE(form().drafts()->takeLeftOpen().count, 0); // told once

        const auto marked = [this](const QString& mark) {
            QStringList names;
            QTreeWidget* list = DraftsWindow::loaded()->draftList();
            for (int line = 0; line < list->topLevelItemCount(); ++line) {
                if (list->topLevelItem(line)->text(3) == mark) {
                    names << list->topLevelItem(line)->text(0);
                }
            }
            return names;
        };
        DraftsWindow* window = test::draftCommands(form()).showDrafts();
        QCOMPARE(window->draftList()->topLevelItemCount(), left.count);
        QCOMPARE(marked(QStringLiteral("程序意外结束时留下")),
                 (QStringList{QStringLiteral("丙"), QStringLiteral("乙")}));
        QCOMPARE(marked(QStringLiteral("关闭程序时保留")), QStringList{QStringLiteral("甲")});
        QVERIFY(
            window->findChild<QLabel*>(QStringLiteral("hint"))->text().contains(QStringLiteral("其中 2 份")));
        // What this run types is listed as its own, never as left by a crash.
        box(Field::Name)->setText(QStringLiteral("丁"));
        form().drafts()->keep();
        QCOMPARE(marked(QStringLiteral("本次输入")), QStringList{QStringLiteral("丁")});
        QCOMPARE(marked(QStringLiteral("程序意外结束时留下")).size(), left.byUncleanEnd);
        delete window;
    }

    // A restored draft saves as the sheet it was typed on would have: over
    // the stored record it was typed over (asking first when another
    // workstation changed it meanwhile), or as a new record for a new sheet;
    // in the same run, after a crash, and from a drafts file of an earlier
    // version.
    void restoredDraftSavesOverTheRecordItWasTypedOn()
    {
        const QString k1 = QStringLiteral("20160507080000");
        const QString k2 = QStringLiteral("20160507090000");
        store("20160507080000", u"张三", "2016-05-07");
        store("20160507090000", u"李四", "2016-05-07");
        load(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        const auto select = [this](const QString& key) {
            form().search();
            form().selectLine(form().results()->lineOf(key));
            QCOMPARE(box(Field::Key)->text(), key);
        };
        select(k1);
        box(Field::Conclusion)->setText(QStringLiteral("复查"));
        select(k2); // keeps the typing on 张三
        restore(k1);
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(box(Field::Key)->text(), k1);
        QCOMPARE(RecordStore::count(), 2);
        QCOMPARE(storedText(k1, Field::Conclusion), QStringLiteral("复查"));

        // The run ends without closing; another workstation changes the
        // record meanwhile.
        select(k2);
        box(Field::Conclusion)->setText(QStringLiteral("随访"));
        form().newRecord();
        m_form.reset();
        QVERIFY(
            RecordStore::save(test::makeRecord(k2, QStringLiteral("李四改"), QStringLiteral("2016-05-07"))));
        load(QDateTime(QDate(2016, 5, 9), QTime(9, 0)));
        restore(k2);
        MessageBox::queueAnswer(QMessageBox::No);
        form().saveRecord();
        QCOMPARE(texts(MessageBox::takeShown()),
                 QStringList{QStringLiteral("此记录已被其他工作站修改。是否覆盖？")});
        QCOMPARE(storedText(k2, Field::Name), QStringLiteral("李四改"));
        form().saveRecord(); // 是
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(box(Field::Key)->text(), k2);
        QCOMPARE(RecordStore::count(), 2);
        QCOMPARE(storedText(k2, Field::Conclusion), QStringLiteral("随访"));

        // A new sheet whose key another workstation took meanwhile stays a
        // new record, even with that workstation's record loaded.
        form().newRecord();
        const QString fresh = box(Field::Key)->text();
        box(Field::Name)->setText(QStringLiteral("新人"));
        QVERIFY(
            RecordStore::save(test::makeRecord(fresh, QStringLiteral("别人"), QStringLiteral("2016-05-07"))));
        select(fresh);
        QCOMPARE(form().drafts()->list().size(), size_t(1));
        QCOMPARE(draftChanges(form().drafts()->list().front()), QStringLiteral("新记录"));
        restore(fresh);
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(box(Field::Key)->text() != fresh);
        QCOMPARE(storedText(fresh, Field::Name), QStringLiteral("别人"));
        QCOMPARE(storedText(box(Field::Key)->text(), Field::Name), QStringLiteral("新人"));
        QCOMPARE(RecordStore::count(), 4);

        // A draft of an earlier version is taken as typed over the record
        // stored under its key.
        m_form.reset();
        {
            DraftStore earlier;
            QVERIFY(earlier.open(draftsPath(m_folder->databaseFile()),
                                 QDateTime(QDate(2016, 5, 9), QTime(9, 30))));
            Draft draft{0, QDateTime(QDate(2016, 5, 9), QTime(9, 30)),
                        test::makeRecord(k1, QStringLiteral("张三"), QStringLiteral("2016-05-07"))};
            draft.record[Field::Conclusion] = QStringLiteral("旧版草稿");
            draft.typedOverUnknown = true;
            QVERIFY(earlier.write(draft));
        }
        load(QDateTime(QDate(2016, 5, 9), QTime(10, 0)));
        restore(k1);
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(RecordStore::count(), 4);
        QCOMPARE(storedText(k1, Field::Conclusion), QStringLiteral("旧版草稿"));
    }
};

QTEST_MAIN(MainWindowRecordsTest)
#include "tst_mainwindow_records.moc"
