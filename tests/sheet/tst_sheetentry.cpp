// Enter, the insertion target and the date default on the real main window.
#include "MainWindowFixture.h"
#include "record/DateRules.h"
#include "sheet/SheetEntry.h"
#include "sheet/SheetView.h"

#include <QLineEdit>
#include <QTest>

using namespace brenvoll;

class SheetEntryTest : public QObject
{
    Q_OBJECT
private:
    test::MainWindowFixture m_main;

    QLineEdit* box(Field field) const { return m_main.form->box(field); }
    bool isSheetBox(QWidget* widget) const
    {
        for (const BoxDef& def : FieldMap::boxes()) {
            if (box(def.field) == widget) {
                return true;
            }
        }
        return false;
    }
    // Puts the focus into `edit` as Tab would, and lets queued work run.
    static void focus(QLineEdit* edit)
    {
        edit->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() { QVERIFY(m_main.start()); }
    void cleanupTestCase() { m_main.form.reset(); }

    void nameBoxHasTheFocusAtStart()
    {
        QCOMPARE(QApplication::focusWidget(), box(Field::Name));
        QCOMPARE(test::entry(*m_main.form)->target(), box(Field::Name));
    }

    void enterWalksTheDesignedOrder_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void enterWalksTheDesignedOrder()
    {
        QFETCH(int, key);
        const auto order = FieldMap::tabOrder();
        // A date keeps the date box's text as it is while passing through.
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-07"));
        for (qsizetype i = 0; i + 1 < order.size(); ++i) {
            QLineEdit* from = box(order[i]->field);
            QLineEdit* to = box(order[i + 1]->field);
            from->setText(QStringLiteral("值") + QString::number(i));
            focus(from);
            const QString before = from->text();
            QTest::keyClick(from, Qt::Key(key));
            QCoreApplication::processEvents();
            QVERIFY2(QApplication::focusWidget() == to, qPrintable(from->objectName()));
            QCOMPARE(from->text(), before);
            QCOMPARE(test::entry(*m_main.form)->target(), to);
        }
    }

    void enterAtTheNamedSteps_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("44 to 6") << 44 << 6;
        QTest::newRow("42 to 45") << 42 << 45;
        QTest::newRow("5 to 44") << 5 << 44;
    }
    void enterAtTheNamedSteps()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QLineEdit* start = box(fieldOf(BoxSet::Finding, from));
        start->clear();
        focus(start);
        QTest::keyClick(start, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), box(fieldOf(BoxSet::Finding, to)));
        QCOMPARE(start->text(), QString());
    }

    void enterAfterTheLastBoxLeavesTheSheet()
    {
        QLineEdit* last = box(Field::Doctor);
        last->setText(QStringLiteral("张医生"));
        focus(last);
        QTest::keyClick(last, Qt::Key_Return);
        QWidget* next = QApplication::focusWidget();
        QVERIFY(next);
        QVERIFY(next != last);
        QVERIFY2(!isSheetBox(next), qPrintable(next->objectName()));
        QVERIFY(m_main.form->isAncestorOf(next));
        QCOMPARE(last->text(), QStringLiteral("张医生"));
        // The sheet box stays the insertion target.
        QCOMPARE(test::entry(*m_main.form)->target(), last);
    }

    void dateDefault_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("byMouse");
        const QList<std::pair<QString, bool>> cases = {
            {QString(), true},
            {QStringLiteral("2016/05/07"), true},
            {QStringLiteral("2016-5-7"), true},
            {QStringLiteral("  "), true},
            {QStringLiteral(" 2016-05-07 "), false},
            {QStringLiteral("abcd-efghi"), false},
            {QStringLiteral("2016-05-07"), false},
        };
        for (const auto& [text, replaced] : cases) {
            QTest::addRow("Enter '%s'", qPrintable(text)) << text << replaced << false;
            QTest::addRow("click '%s'", qPrintable(text)) << text << replaced << true;
        }
    }
    void dateDefault()
    {
        QFETCH(QString, text);
        QFETCH(bool, replaced);
        QFETCH(bool, byMouse);
        QLineEdit* date = box(Field::ExamDate);
        date->setText(text);
        QLineEdit* age = box(Field::Age);
        focus(age);
        if (byMouse) {
            QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(2, date->height() / 2));
        } else {
            QTest::keyClick(age, Qt::Key_Return);
        }
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), date);
        if (replaced) {
            QCOMPARE(date->text(), formatDate(test::MainWindowFixture::today()));
            QCOMPARE(date->selectedText(), date->text());
            // Typing another date replaces the one filled in.
            test::MainWindowFixture::typeText(date, QStringLiteral("2016-05-08"));
            QCOMPARE(date->text(), QStringLiteral("2016-05-08"));
        } else {
            QCOMPARE(date->text(), text);
        }
    }

    void dateKeptWhenTheFocusOnlyComesBack_data()
    {
        QTest::addColumn<int>("reason");
        QTest::newRow("window activated again") << int(Qt::ActiveWindowFocusReason);
        QTest::newRow("context menu closed") << int(Qt::PopupFocusReason);
    }
    void dateKeptWhenTheFocusOnlyComesBack()
    {
        QFETCH(int, reason);
        QLineEdit* date = box(Field::ExamDate);
        focus(date);
        date->setText(QStringLiteral("2016-0"));
        QFocusEvent back(QEvent::FocusIn, Qt::FocusReason(reason));
        QCoreApplication::sendEvent(date, &back);
        QCoreApplication::processEvents();
        QCOMPARE(date->text(), QStringLiteral("2016-0"));
        QCOMPARE(test::entry(*m_main.form)->target(), date);
    }

    void targetSurvivesFocusOnTheList()
    {
        QLineEdit* spine = box(Field::Spine);
        QTest::mouseClick(spine, Qt::LeftButton, {}, QPoint(5, spine->height() / 2));
        QCOMPARE(QApplication::focusWidget(), spine);
        test::phraseList(*m_main.form)->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), test::phraseList(*m_main.form));
        QCOMPARE(test::entry(*m_main.form)->target(), spine);
        test::nameFilter(*m_main.form)->setFocus(Qt::MouseFocusReason);
        QCOMPARE(test::entry(*m_main.form)->target(), spine);
    }

    void newRecordMakesTheNameTheTarget()
    {
        focus(box(Field::SurfaceAntibody));
        m_main.form->newRecord();
        QCOMPARE(test::entry(*m_main.form)->target(), box(Field::Name));
    }
};

QTEST_MAIN(SheetEntryTest)
#include "tst_sheetentry.moc"
