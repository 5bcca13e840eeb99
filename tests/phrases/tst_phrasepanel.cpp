// The phrase panel of the real main window: filtering and putting phrases into
// the sheet box the operator last worked in.
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "phrases/PhrasePanel.h"
#include "phrases/PhraseStore.h"
#include "record/DateRules.h"
#include "sheet/SheetEntry.h"
#include "sheet/SheetView.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace brenvoll;
using brenvoll::test::itemsOf;

class PhrasePanelTest : public QObject
{
    Q_OBJECT
private:
    test::MainWindowFixture m_main;
    QStringList m_all;

    QLineEdit* box(Field field) const { return m_main.form->box(field); }
    QListWidget* list() const { return test::phraseList(*m_main.form); }
    QLineEdit* filterBox() const { return test::phrasePanel(*m_main.form)->phraseFilter(); }
    int rowOf(const QString& phrase) const { return int(m_all.indexOf(phrase)); }
    // Clicks into `edit`, leaves it for the phrase list as the mouse would.
    void leaveForList(QLineEdit* edit)
    {
        QCOMPARE(test::entry(*m_main.form)->target(), edit);
        list()->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), list());
    }
    // Whether the caret of `edit`, painted as the screen shows it, lies
    // inside the box: the part of a long text around it is what shows.
    static bool caretShown(QLineEdit* edit)
    {
        edit->repaint();
        const QRect caret = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        return edit->rect().contains(caret.center());
    }

private slots:
    void phraseBeforeAnyBoxHadTheFocusDoesNothing()
    {
        // A window that never came to the screen: no box ever had the focus.
        test::TestFolder folder;
        QVERIFY(folder.open());
        MainWindow hidden;
        hidden.loadOnStart();
        QVERIFY(!test::entry(hidden)->target());
        const ExamRecord before = hidden.sheet()->record();
        QVERIFY(test::phraseList(hidden)->count() > 0);
        test::phrasePanel(hidden)->insertChosenPhrase(0);
        QCOMPARE(hidden.sheet()->record(), before);
    }

    // After the hidden window above, which had a database of its own.
    void startMainWindow()
    {
        QVERIFY(m_main.start());
        QVERIFY(PhraseStore::add(QStringLiteral("患者's 记录")));
        test::phrasePanel(*m_main.form)->showWholeLibrary();
        QVERIFY(PhraseStore::all(m_all));
        QCOMPARE(itemsOf(list()), m_all);
    }

    void panelControls()
    {
        PhrasePanel* panel = test::phrasePanel(*m_main.form);
        QCOMPARE(panel->titleCaption()->objectName(), QStringLiteral("Label31_2"));
        QCOMPARE(panel->titleCaption()->text(), QStringLiteral("插入常用语"));
        QCOMPARE(panel->editLink()->text(), QStringLiteral("编辑词库"));
        QCOMPARE(panel->editLink()->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!panel->titleIcon()->pixmap().isNull());
        QVERIFY(!panel->searchIcon()->pixmap().isNull());
        QCOMPARE(panel->phraseFilter()->parentWidget(), panel->filterFrame());
        QCOMPARE(panel->searchIcon()->parentWidget(), panel->filterFrame());
        // The designed places, in the client area's coordinates.
        QWidget* client = m_main.form->centralWidget();
        QCOMPARE(panel->titleBar()->mapTo(client, QPoint(0, 0)), QPoint(4, 404));
        QCOMPARE(panel->filterFrame()->mapTo(client, QPoint(0, 0)), QPoint(4, 430));
        QCOMPARE(list()->mapTo(client, QPoint(0, 0)).x(), 4);
        QCOMPARE(list()->geometry().topLeft(), list()->mapTo(client, QPoint(0, 0)));
        // The search panel above stays clickable.
        QCOMPARE(client->childAt(test::nameFilter(*m_main.form)->mapTo(client, QPoint(3, 3))),
                 test::nameFilter(*m_main.form));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("one character") << QStringLiteral("肺") << QStringLiteral("肺");
        QTest::newRow("no match") << QStringLiteral("骨折") << QStringLiteral("骨折");
        QTest::newRow("apostrophe") << QStringLiteral("'") << QStringLiteral("'");
        QTest::newRow("six characters at most")
            << QStringLiteral("建议定期复查再查") << QStringLiteral("建议定期复查");
    }
    void filter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        filterBox()->clear();
        QCOMPARE(itemsOf(list()), m_all);
        filterBox()->setFocus();
        test::MainWindowFixture::typeText(filterBox(), typed);
        QCOMPARE(filterBox()->text(), kept);
        QStringList expected;
        for (const QString& phrase : m_all) {
            if (phrase.contains(kept)) {
                expected << phrase;
            }
        }
        QCOMPARE(itemsOf(list()), expected);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        // Every change filters again, down to the empty filter.
        QTest::keyClick(filterBox(), Qt::Key_Backspace);
        QVERIFY(list()->count() >= expected.size());
        filterBox()->selectAll();
        QTest::keyClick(filterBox(), Qt::Key_Backspace);
        QCOMPARE(itemsOf(list()), m_all);
    }

    void insertAtTheCaret()
    {
        QLineEdit* other = box(Field::InternalOther);
        other->setText(QStringLiteral("左边右边"));
        QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(2, other->height() / 2));
        other->setCursorPosition(2);
        leaveForList(other);
        m_main.clickPhrase(rowOf(QStringLiteral("正常")));
        QCOMPARE(other->text(), QStringLiteral("左边正常右边"));
        QCOMPARE(other->cursorPosition(), 4);
        QCOMPARE(QApplication::focusWidget(), other);
    }

    void insertOverASelection()
    {
        QLineEdit* heart = box(Field::Heart);
        heart->setText(QStringLiteral("心律不齐，杂音"));
        QTest::mouseClick(heart, Qt::LeftButton, {}, QPoint(2, heart->height() / 2));
        heart->setSelection(2, 2); // "不齐"
        leaveForList(heart);
        QVERIFY(!heart->hasSelectedText()); // the box itself forgets it
        m_main.clickPhrase(rowOf(QStringLiteral("正常")));
        QCOMPARE(heart->text(), QStringLiteral("心律正常，杂音"));
        QCOMPARE(heart->cursorPosition(), 4);
        QCOMPARE(QApplication::focusWidget(), heart);
    }

    void threeInARow()
    {
        QLineEdit* conclusion = box(Field::Conclusion);
        conclusion->clear();
        QTest::mouseClick(conclusion, Qt::LeftButton, {}, QPoint(2, conclusion->height() / 2));
        const QStringList phrases = {QStringLiteral("轻度脂肪肝"), QStringLiteral("无"),
                                     QStringLiteral("建议定期复查")};
        for (const QString& phrase : phrases) {
            m_main.clickPhrase(rowOf(phrase));
            QCOMPARE(QApplication::focusWidget(), conclusion);
        }
        QCOMPARE(conclusion->text(), phrases.join(QString()));
        QCOMPARE(conclusion->cursorPosition(), int(conclusion->text().size()));
        // The same phrase twice in a row goes in twice.
        m_main.clickPhrase(rowOf(QStringLiteral("无")));
        QVERIFY(conclusion->text().endsWith(QStringLiteral("建议定期复查无")));
    }

    // Reached by Tab (Shift+Tab from 姓名), the list only moves with the
    // arrow keys; Enter and Space put the highlighted phrase in, as a click.
    void movingInTheListOnlyMoves_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("inserts");
        QTest::newRow("Down") << int(Qt::Key_Down) << false;
        QTest::newRow("Up") << int(Qt::Key_Up) << false;
        QTest::newRow("PageDown") << int(Qt::Key_PageDown) << false;
        QTest::newRow("End") << int(Qt::Key_End) << false;
        QTest::newRow("Home") << int(Qt::Key_Home) << false;
        QTest::newRow("Space") << int(Qt::Key_Space) << true;
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
    }
    void movingInTheListOnlyMoves()
    {
        QFETCH(int, key);
        QFETCH(bool, inserts);
        QLineEdit* ear = box(Field::EarNoseThroat);
        ear->clear();
        QTest::mouseClick(ear, Qt::LeftButton, {}, QPoint(2, ear->height() / 2));
        list()->setFocus(Qt::TabFocusReason);
        list()->setCurrentRow(1);
        QCOMPARE(ear->text(), QString()); // focus arriving in the list is no choice
        QTest::keyClick(list(), Qt::Key(key));
        if (inserts) {
            QCOMPARE(ear->text(), m_all.at(1));
            QCOMPARE(QApplication::focusWidget(), ear);
        } else {
            QCOMPARE(ear->text(), QString());
            QCOMPARE(QApplication::focusWidget(), list());
        }
    }

    // Ctrl+F reaches the phrase filter from the sheet, its text selected.
    void controlFReachesTheFilter()
    {
        QLineEdit* ear = box(Field::EarNoseThroat);
        filterBox()->setText(QStringLiteral("常"));
        QTest::mouseClick(ear, Qt::LeftButton, {}, QPoint(2, ear->height() / 2));
        QCOMPARE(QApplication::focusWidget(), ear);
        QTest::keyClick(ear, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), filterBox());
        QCOMPARE(filterBox()->selectedText(), QStringLiteral("常"));
        filterBox()->clear();
    }

    // The keyboard alone: Down from the filter into the list, Down to browse,
    // Enter to insert as a click does, Escape to go back without a phrase.
    void keyboardAloneReachesThePhrases()
    {
        auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
        QLineEdit* other = box(Field::SurgicalOther);
        other->setText(QStringLiteral("左右"));
        QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(2, other->height() / 2));
        other->setCursorPosition(1);

        filterBox()->setFocus(Qt::MouseFocusReason);
        filterBox()->clear();
        test::MainWindowFixture::typeText(filterBox(), QStringLiteral("常"));
        QStringList matching;
        for (const QString& phrase : m_all) {
            if (phrase.contains(u'常')) {
                matching << phrase;
            }
        }
        QVERIFY(matching.size() >= 2);
        QCOMPARE(itemsOf(list()), matching);
        press(Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), list());
        QCOMPARE(list()->currentRow(), 0);
        press(Qt::Key_Down); // browsing: no phrase goes in yet
        QCOMPARE(QApplication::focusWidget(), list());
        QCOMPARE(list()->currentRow(), 1);
        QCOMPARE(other->text(), QStringLiteral("左右"));
        press(Qt::Key_Return);
        QCOMPARE(other->text(), QStringLiteral("左") + matching.at(1) + QStringLiteral("右"));
        QCOMPARE(QApplication::focusWidget(), other);
        QCOMPARE(other->cursorPosition(), 1 + int(matching.at(1).size()));

        // Escape: back in the box, nothing inserted, the caret where it was.
        const QString before = other->text();
        filterBox()->setFocus(Qt::MouseFocusReason);
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        press(Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), other);
        QCOMPARE(other->text(), before);
        QCOMPARE(other->cursorPosition(), 1 + int(matching.at(1).size()));

        // Up from the first phrase returns to the filter; Enter there on the
        // first phrase inserts it.
        filterBox()->setFocus(Qt::MouseFocusReason);
        press(Qt::Key_Down);
        press(Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), filterBox());
        QCOMPARE(other->text(), before);
        press(Qt::Key_Down);
        press(Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), other);
        QVERIFY(other->text().contains(matching.at(0)));
        filterBox()->clear();
    }

    // Escape leaves the phrases for the box as the operator left it: with
    // the selection it had, so that typing replaces it as before.
    void escapeGivesBackTheSelection()
    {
        QLineEdit* neck = box(Field::Neck);
        neck->setText(QStringLiteral("颈软，甲状腺肿大"));
        QTest::mouseClick(neck, Qt::LeftButton, {}, QPoint(2, neck->height() / 2));
        neck->setSelection(3, 3);
        filterBox()->setFocus(Qt::MouseFocusReason);
        filterBox()->clear();
        QTest::keyClick(filterBox(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), list());
        QTest::keyClick(list(), Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), neck);
        QCOMPARE(neck->text(), QStringLiteral("颈软，甲状腺肿大"));
        QCOMPARE(neck->selectedText(), QStringLiteral("甲状腺"));
        test::MainWindowFixture::typeText(neck, QStringLiteral("淋巴结"));
        QCOMPARE(neck->text(), QStringLiteral("颈软，淋巴结肿大"));
    }

    // A text longer than its box shows its end while the operator types or
    // puts phrases into it, and its start once the box is left; the whole
    // text is then the box's tooltip.
    void longTextShowsItsEndWhileWorkedIn()
    {
        const QString phrase = QStringLiteral("心律齐，各瓣膜听诊区未闻及杂音");
        QLineEdit* heart = box(Field::Heart);
        heart->clear();
        QTest::mouseClick(heart, Qt::LeftButton, {}, QPoint(2, heart->height() / 2));
        m_main.clickPhrase(rowOf(phrase));
        QCOMPARE(QApplication::focusWidget(), heart);
        QCOMPARE(heart->text(), phrase);
        QCOMPARE(heart->cursorPosition(), int(phrase.size()));
        QVERIFY(caretShown(heart));
        QCOMPARE(heart->toolTip(), phrase);

        test::MainWindowFixture::typeText(heart, QStringLiteral("，偶有早搏"));
        const QString typed = phrase + QStringLiteral("，偶有早搏");
        QCOMPARE(heart->cursorPosition(), int(typed.size()));
        QVERIFY(caretShown(heart));
        QCOMPARE(heart->toolTip(), typed);

        // Left with Enter: the start shows; the next box shows the end of
        // its own long text, all of it selected as Tab leaves it.
        QLineEdit* abdomen = box(Field::Abdomen);
        abdomen->setText(QStringLiteral("腹软，无压痛，肝脾肋下未触及，未触及包块"));
        QTest::keyClick(heart, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), abdomen);
        QCOMPARE(heart->cursorPosition(), 0);
        QVERIFY(caretShown(heart));
        QCOMPARE(heart->toolTip(), typed);
        QCOMPARE(abdomen->cursorPosition(), int(abdomen->text().size()));
        QVERIFY(caretShown(abdomen));

        // A context menu or another window takes the focus only for a while:
        // the caret stays where the operator works.
        for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QCoreApplication::sendEvent(abdomen, &out);
            QCOMPARE(abdomen->cursorPosition(), int(abdomen->text().size()));
            QFocusEvent in(QEvent::FocusIn, reason);
            QCoreApplication::sendEvent(abdomen, &in);
        }

        // Left by the mouse for a phrase, which then goes in at the end, and
        // put straight into the box that has the focus.
        abdomen->setCursorPosition(int(abdomen->text().size()));
        m_main.clickPhrase(rowOf(QStringLiteral("轻度脂肪肝")));
        QCOMPARE(QApplication::focusWidget(), abdomen);
        QVERIFY(abdomen->text().endsWith(QStringLiteral("包块轻度脂肪肝")));
        QCOMPARE(abdomen->cursorPosition(), int(abdomen->text().size()));
        QVERIFY(caretShown(abdomen));
        QVERIFY(test::entry(*m_main.form)->insertPhrase(QStringLiteral("，建议定期复查")));
        QCOMPARE(abdomen->cursorPosition(), int(abdomen->text().size()));
        QVERIFY(caretShown(abdomen));
        QCOMPARE(abdomen->toolTip(), abdomen->text());

        // A short text has no tooltip.
        QLineEdit* neck = box(Field::Neck);
        neck->clear();
        QTest::mouseClick(neck, Qt::LeftButton, {}, QPoint(2, neck->height() / 2));
        QCOMPARE(abdomen->cursorPosition(), 0);
        QVERIFY(caretShown(abdomen));
        m_main.clickPhrase(rowOf(QStringLiteral("正常")));
        QCOMPARE(neck->text(), QStringLiteral("正常"));
        QCOMPARE(neck->toolTip(), QString());

        // A new sheet leaves no tooltip.
        m_main.form->newRecord();
        QCOMPARE(heart->toolTip(), QString());
        QCOMPARE(abdomen->toolTip(), QString());
    }

    void phraseIntoTheDateBoxGivesToday()
    {
        QLineEdit* date = box(Field::ExamDate);
        date->setText(QStringLiteral("2016-05-07"));
        QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(2, date->height() / 2));
        QCoreApplication::processEvents();
        QCOMPARE(date->text(), QStringLiteral("2016-05-07"));
        m_main.clickPhrase(rowOf(QStringLiteral("无")));
        QCoreApplication::processEvents();
        QCOMPARE(date->text(), formatDate(test::MainWindowFixture::today()));
        QCOMPARE(QApplication::focusWidget(), date);
    }

    // An operator fills a whole sheet with the keyboard and the phrase list
    // alone, saves it, opens it again from the result list and finds every
    // text where it was typed.
    void fillSaveAndReopen()
    {
        filterBox()->clear();
        m_main.form->newRecord();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), box(Field::Name));
        box(Field::ExamDate)->clear();
        box(Field::Address)->clear();

        ExamRecord expected;
        const auto order = FieldMap::tabOrder();
        for (qsizetype i = 0; i < order.size(); ++i) {
            const BoxDef& def = *order[i];
            QLineEdit* edit = box(def.field);
            QCOMPARE(QApplication::focusWidget(), edit);
            QCoreApplication::processEvents();
            QString text;
            if (def.set == BoxSet::Identifying && def.index == 3) {
                text = formatDate(test::MainWindowFixture::today()); // filled in on arrival
            } else if (i % 3 == 0) {
                text = QStringLiteral("值") + QString::number(i);
                test::MainWindowFixture::typeText(edit, text);
            } else {
                // Typed text with a phrase after it, from the list.
                const QString phrase = m_all.at(i % m_all.size());
                test::MainWindowFixture::typeText(edit, QStringLiteral("甲"));
                m_main.clickPhrase(int(i % m_all.size()));
                text = QStringLiteral("甲") + phrase;
            }
            QCOMPARE(edit->text(), text);
            expected[def.field] = text;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        expected[Field::Key] = box(Field::Key)->text();
        QCOMPARE(m_main.form->sheet()->record(), expected);

        m_main.form->saveRecord();
        QCOMPARE(MessageBox::takeShown().size(), 0);
        m_main.form->newRecord();
        QCOMPARE(box(Field::Conclusion)->text(), QString());

        int line = -1;
        for (int k = 0; k < m_main.form->lineCount(); ++k) {
            if (m_main.form->keyOfLine(k) == expected.key()) {
                line = k;
            }
        }
        QVERIFY(line >= 0);
        m_main.form->selectLine(line);
        QCOMPARE(m_main.form->sheet()->record(), expected);
    }

    void cleanupTestCase() { m_main.form.reset(); }
};

QTEST_MAIN(PhrasePanelTest)
#include "tst_phrasepanel.moc"
