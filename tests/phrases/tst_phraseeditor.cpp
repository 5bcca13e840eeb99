// The phrase library editor with the real main window beside it.
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "phrases/PhraseLibraryWindow.h"
#include "phrases/PhrasePanel.h"
#include "phrases/PhraseStore.h"
#include "storage/Database.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace brenvoll;
using brenvoll::test::itemsOf;

namespace {
QStringList library()
{
    QStringList phrases;
    PhraseStore::all(phrases);
    return phrases;
}
} // namespace

class PhraseEditorTest : public QObject
{
    Q_OBJECT
private:
    test::MainWindowFixture m_main;
    PhraseLibraryWindow* m_editor = nullptr;

    void clickEditLink()
    {
        QLabel* link = test::phrasePanel(*m_main.form)->editLink();
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    }
    void typeAndAdd(const QString& text)
    {
        m_editor->newPhrase()->setText(text);
        QTest::mouseClick(m_editor->addButton(), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_main.start());
        QCOMPARE(MainWindow::instance(), m_main.form.get());
        clickEditLink();
        m_editor = PhraseLibraryWindow::loaded();
        QVERIFY(m_editor);
        QApplication::setActiveWindow(m_editor);
        QVERIFY(QTest::qWaitForWindowActive(m_editor));
    }
    void cleanupTestCase()
    {
        delete PhraseLibraryWindow::loaded();
        m_main.form.reset();
    }
    void init() { MessageBox::takeShown(); }

    void layoutAndTabOrder()
    {
        QCOMPARE(m_editor->windowTitle(), QStringLiteral("词库编辑"));
        QCOMPARE(m_editor->size(), QSize(561, 377));
        QCOMPARE(m_editor->phraseList()->geometry(), QRect(4, 8, 549, 280));
        QCOMPARE(m_editor->newPhrase()->geometry(), QRect(4, 296, 549, 25));
        QCOMPARE(m_editor->addButton()->text(), QStringLiteral("添  加"));
        QCOMPARE(m_editor->deleteButton()->text(), QStringLiteral("删  除"));
        QCOMPARE(m_editor->exitButton()->text(), QStringLiteral("退  出"));
        QCOMPARE(m_editor->exitButton()->geometry(), QRect(476, 336, 77, 25));
        QCOMPARE(m_editor->hintLabel()->text(), QStringLiteral("输入常用语后，再按添加按钮即可。"));
        QCOMPARE(itemsOf(m_editor->phraseList()), library());

        QCOMPARE(QApplication::focusWidget(), m_editor->newPhrase());
        const QList<QWidget*> order = {m_editor->phraseList(), m_editor->addButton(),
                                       m_editor->deleteButton(), m_editor->exitButton(),
                                       m_editor->newPhrase()};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void add_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("stored");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks only") << QStringLiteral("   ") << false;
        QTest::newRow("leading blank") << QStringLiteral(" 心肺未见异常") << true;
        QTest::newRow("full-width blanks only") << QStringLiteral("　　") << false;
        QTest::newRow("duplicate") << QStringLiteral("正常") << true;
    }
    void add()
    {
        QFETCH(QString, typed);
        QFETCH(bool, stored);
        const QStringList before = library();
        m_editor->phraseList()->setFocus();
        typeAndAdd(typed);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        if (!stored) {
            QCOMPARE(library(), before);
            QCOMPARE(m_editor->newPhrase()->text(), typed);
            return;
        }
        QCOMPARE(library(), before + QStringList{typed});
        QCOMPARE(itemsOf(m_editor->phraseList()), library());
        QCOMPARE(itemsOf(test::phraseList(*m_main.form)), library());
        QCOMPARE(m_editor->newPhrase()->text(), QString());
        QCOMPARE(QApplication::focusWidget(), m_editor->newPhrase());
    }

    void deleteTheThirdOfThreeEqualPhrases()
    {
        const QString same = QStringLiteral("复查血常规");
        for (int i = 0; i < 3; ++i) {
            typeAndAdd(same);
        }
        const QStringList before = library();
        const int third = int(before.lastIndexOf(same));
        QCOMPARE(before.count(same), 3);
        QSqlQuery ids =
            Database::prepare(QStringLiteral("select rowid from 词库 where 常用语 = ? order by rowid"));
        ids.addBindValue(same);
        QVERIFY(Database::exec(ids));
        QList<qint64> rowids;
        while (ids.next()) {
            rowids << ids.value(0).toLongLong();
        }

        m_editor->phraseList()->setCurrentRow(third);
        QTest::mouseClick(m_editor->deleteButton(), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown().size(), 0); // no question asked
        QStringList expected = before;
        expected.removeAt(third);
        QCOMPARE(library(), expected);
        QVERIFY(Database::exec(ids));
        QList<qint64> left;
        while (ids.next()) {
            left << ids.value(0).toLongLong();
        }
        QCOMPARE(left, rowids.mid(0, 2));
        QCOMPARE(itemsOf(m_editor->phraseList()), expected);
        QCOMPARE(itemsOf(test::phraseList(*m_main.form)), expected);
        QVERIFY(m_editor->phraseList()->selectedItems().isEmpty());
    }

    void deleteWithoutSelectionDoesNothing()
    {
        const QStringList before = library();
        m_editor->phraseList()->clearSelection();
        QTest::mouseClick(m_editor->deleteButton(), Qt::LeftButton);
        QCOMPARE(library(), before);
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    void everyChangeIsReported()
    {
        QSignalSpy changes(m_editor, &PhraseLibraryWindow::phrasesChanged);
        typeAndAdd(QString());
        QCOMPARE(changes.count(), 0);
        typeAndAdd(QStringLiteral("心肺听诊无异常"));
        QCOMPARE(changes.count(), 1);
        m_editor->phraseList()->setCurrentRow(m_editor->phraseList()->count() - 1);
        QTest::mouseClick(m_editor->deleteButton(), Qt::LeftButton);
        QCOMPARE(changes.count(), 2);
        m_editor->phraseList()->clearSelection();
        QTest::mouseClick(m_editor->deleteButton(), Qt::LeftButton);
        QCOMPARE(changes.count(), 2);
    }

    void mainListRefilledWithoutItsFilter()
    {
        QLineEdit* filter = test::phrasePanel(*m_main.form)->phraseFilter();
        filter->setText(QStringLiteral("肺"));
        QCOMPARE(itemsOf(test::phraseList(*m_main.form)), library().filter(QStringLiteral("肺")));
        QVERIFY(test::phraseList(*m_main.form)->count() < library().size());
        typeAndAdd(QStringLiteral("建议复查肝功能"));
        QCOMPARE(itemsOf(test::phraseList(*m_main.form)), library());
        QCOMPARE(filter->text(), QStringLiteral("肺"));

        m_editor->phraseList()->setCurrentRow(0);
        filter->setText(QStringLiteral("无"));
        QTest::mouseClick(m_editor->deleteButton(), Qt::LeftButton);
        QCOMPARE(itemsOf(test::phraseList(*m_main.form)), library());
        filter->clear();
    }

    void editLinkOpensOneEditor()
    {
        m_editor->phraseList()->setCurrentRow(2);
        const int count = m_editor->phraseList()->count();
        clickEditLink();
        clickEditLink();
        QCOMPARE(PhraseLibraryWindow::loaded(), m_editor);
        QCOMPARE(m_editor->phraseList()->count(), count);
        QCOMPARE(m_main.form->findChildren<PhraseLibraryWindow*>().size(), 0);
        QCOMPARE(QApplication::topLevelWidgets().count(m_editor), 1);
    }

    void exitCloses()
    {
        QTest::mouseClick(m_editor->exitButton(), Qt::LeftButton);
        QTRY_VERIFY(!PhraseLibraryWindow::loaded());
        clickEditLink();
        m_editor = PhraseLibraryWindow::loaded();
        QVERIFY(m_editor);
        QCOMPARE(itemsOf(m_editor->phraseList()), library());
    }

    void failedAddIsReportedAndTheTextStays()
    {
        const QString typed = QStringLiteral("无法保存的一句");
        Database::close();
        typeAndAdd(typed);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QVERIFY(shown.first().text.startsWith(QStringLiteral("常用语没有添加：")));
        QCOMPARE(m_editor->newPhrase()->text(), typed);
        QVERIFY(m_main.folder.open());
        QVERIFY(!library().contains(typed));
    }

    void enterPressesTheFocusedButton()
    {
        const QStringList before = library();
        m_editor->newPhrase()->setText(QStringLiteral("按回车添加"));
        QVERIFY(test::pressEnterOn(m_editor->addButton()));
        QCOMPARE(library(), before + QStringList{QStringLiteral("按回车添加")});
    }
};

QTEST_MAIN(PhraseEditorTest)
#include "tst_phraseeditor.moc"
