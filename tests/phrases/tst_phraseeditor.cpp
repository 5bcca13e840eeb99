// The phrase library editor with the real main window beside it.
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "app/Database.h"
#include "phrases/PhraseLibraryWindow.h"
#include "phrases/PhrasePanel.h"
#include "phrases/PhraseStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

    void clickLabel24()
    {
        QLabel* link = m_main.form->phrasePanel()->Label24;
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    }
    void typeAndAdd(const QString& text)
    {
        m_editor->Text1->setText(text);
        QTest::mouseClick(m_editor->Command1, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_main.start());
        QCOMPARE(MainWindow::instance(), m_main.form.get());
        clickLabel24();
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
        QCOMPARE(m_editor->List1->geometry(), QRect(4, 8, 549, 280));
        QCOMPARE(m_editor->Text1->geometry(), QRect(4, 296, 549, 25));
        QCOMPARE(m_editor->Command1->text(), QStringLiteral("添  加"));
        QCOMPARE(m_editor->Command2->text(), QStringLiteral("删  除"));
        QCOMPARE(m_editor->Command3->text(), QStringLiteral("退  出"));
        QCOMPARE(m_editor->Command3->geometry(), QRect(476, 336, 77, 25));
        QCOMPARE(m_editor->Label1->text(), QStringLiteral("输入常用语后，再按添加按钮即可。"));
        QCOMPARE(itemsOf(m_editor->List1), library());

        QCOMPARE(QApplication::focusWidget(), m_editor->Text1);
        const QList<QWidget*> order = {m_editor->List1, m_editor->Command1, m_editor->Command2,
                                       m_editor->Command3, m_editor->Text1};
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
        QTest::newRow("full-width blanks") << QStringLiteral("　　") << true;
        QTest::newRow("duplicate") << QStringLiteral("正常") << true;
    }
    void add()
    {
        QFETCH(QString, typed);
        QFETCH(bool, stored);
        const QStringList before = library();
        m_editor->List1->setFocus();
        typeAndAdd(typed);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        if (!stored) {
            QCOMPARE(library(), before);
            QCOMPARE(m_editor->Text1->text(), typed);
            return;
        }
        QCOMPARE(library(), before + QStringList{typed});
        QCOMPARE(itemsOf(m_editor->List1), library());
        QCOMPARE(itemsOf(m_main.form->phraseList()), library());
        QCOMPARE(m_editor->Text1->text(), QString());
        QCOMPARE(QApplication::focusWidget(), m_editor->Text1);
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

        m_editor->List1->setCurrentRow(third);
        QTest::mouseClick(m_editor->Command2, Qt::LeftButton);
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
        QCOMPARE(itemsOf(m_editor->List1), expected);
        QCOMPARE(itemsOf(m_main.form->phraseList()), expected);
        QVERIFY(m_editor->List1->selectedItems().isEmpty());
    }

    void deleteWithoutSelectionDoesNothing()
    {
        const QStringList before = library();
        m_editor->List1->clearSelection();
        QTest::mouseClick(m_editor->Command2, Qt::LeftButton);
        QCOMPARE(library(), before);
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    void mainListRefilledWithoutItsFilter()
    {
        QLineEdit* filter = m_main.form->phrasePanel()->Text15;
        filter->setText(QStringLiteral("肺"));
        QCOMPARE(itemsOf(m_main.form->phraseList()), library().filter(QStringLiteral("肺")));
        QVERIFY(m_main.form->phraseList()->count() < library().size());
        typeAndAdd(QStringLiteral("建议复查肝功能"));
        QCOMPARE(itemsOf(m_main.form->phraseList()), library());
        QCOMPARE(filter->text(), QStringLiteral("肺"));

        m_editor->List1->setCurrentRow(0);
        filter->setText(QStringLiteral("无"));
        QTest::mouseClick(m_editor->Command2, Qt::LeftButton);
        QCOMPARE(itemsOf(m_main.form->phraseList()), library());
        filter->clear();
    }

    void editLinkOpensOneEditor()
    {
        m_editor->List1->setCurrentRow(2);
        const int count = m_editor->List1->count();
        clickLabel24();
        clickLabel24();
        QCOMPARE(PhraseLibraryWindow::loaded(), m_editor);
        QCOMPARE(m_editor->List1->count(), count);
        QCOMPARE(m_main.form->findChildren<PhraseLibraryWindow*>().size(), 0);
        QCOMPARE(QApplication::topLevelWidgets().count(m_editor), 1);
    }

    void exitCloses()
    {
        QTest::mouseClick(m_editor->Command3, Qt::LeftButton);
        QTRY_VERIFY(!PhraseLibraryWindow::loaded());
        clickLabel24();
        m_editor = PhraseLibraryWindow::loaded();
        QVERIFY(m_editor);
        QCOMPARE(itemsOf(m_editor->List1), library());
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
        QCOMPARE(m_editor->Text1->text(), typed);
        QVERIFY(m_main.folder.open());
        QVERIFY(!library().contains(typed));
    }
};

QTEST_MAIN(PhraseEditorTest)
#include "tst_phraseeditor.moc"
