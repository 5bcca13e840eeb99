// The login window on a real copy of the delivered database.
#include "TabStops.h"
#include "TestSupport.h"
#include "app/Database.h"
#include "app/LoginWindow.h"
#include "app/MessageBox.h"
#include "app/SettingsStore.h"
#include "app/SettingsWindow.h"
#include "app/Startup.h"
#include "mainwindow/MainWindow.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace brenvoll;

class LoginTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TestFolder> m_folder;
    int m_ended = 0;

    void storePassword(const QString& password)
    {
        QString error;
        QVERIFY2(SettingsStore::writePassword(password, &error), qPrintable(error));
    }
    void runSql(const QString& sql)
    {
        QSqlQuery query = Database::prepare(sql);
        QVERIFY2(Database::exec(query), qPrintable(sql));
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    static QStringList shownTexts()
    {
        QStringList texts;
        for (const auto& shown : MessageBox::takeShown()) {
            texts << shown.text;
        }
        return texts;
    }

private slots:
    void initTestCase()
    {
        setProgramEnder([this] { ++m_ended; });
    }
    void cleanupTestCase() { setProgramEnder({}); }

    void init()
    {
        MessageBox::setAnswerMode(true);
        m_ended = 0;
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }

    void cleanup()
    {
        delete MainWindow::instance();
        delete LoginWindow::loaded();
        delete SettingsWindow::loaded();
        flushDeletes();
        m_folder.reset();
    }

    void entries_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("factory password") << "864"
                                          << "864" << true;
        QTest::newRow("blanks around the entry") << "864"
                                                 << "  864 " << true;
        QTest::newRow("other letter case") << "Clinic7"
                                           << "cLINIC7" << true;
        QTest::newRow("blank before the stored factory password") << " 864"
                                                                  << "864" << true;
        QTest::newRow("blanks around the stored password") << " abc "
                                                           << "ABC" << true;
        QTest::newRow("wrong digit") << "864"
                                     << "865" << false;
        QTest::newRow("blank inside") << "864"
                                      << "8 64" << false;
        QTest::newRow("tab is not a blank") << "864"
                                            << "864\t" << false;
        QTest::newRow("empty entry") << "864"
                                     << "" << false;
        QTest::newRow("prefix only") << "clinic"
                                     << "clin" << false;
    }
    void entries()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        storePassword(stored);

        LoginWindow* form = LoginWindow::showWindow();
        if (typed.contains(u'\t')) {
            form->Text1->setText(typed); // typing a tab would move on to the next control
        } else {
            QTest::keyClicks(form->Text1, typed);
        }
        QCOMPARE(form->Text1->text(), typed);
        QTest::mouseClick(form->Command1, Qt::LeftButton);

        const auto shown = MessageBox::takeShown();
        if (accepted) {
            QVERIFY(shown.isEmpty());
            QVERIFY(LoginWindow::loaded() == form); // stays loaded, hidden
            QVERIFY(!form->isVisible());
            QVERIFY(MainWindow::instance());
            QVERIFY(MainWindow::instance()->isVisible());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, QStringLiteral("密码错误！"));
            QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
            QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QVERIFY(form->isVisible());
            QCOMPARE(form->Text1->text(), typed);
            QVERIFY(!MainWindow::instance());
        }
        QCOMPARE(m_ended, 0);
    }

    void hint_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("shown");
        QTest::newRow("factory password") << "864" << true;
        QTest::newRow("blank before it") << " 864" << false;
        QTest::newRow("changed") << "8640" << false;
    }
    void hint()
    {
        QFETCH(QString, stored);
        QFETCH(bool, shown);
        storePassword(stored);
        LoginWindow* form = LoginWindow::showWindow();
        QCOMPARE(form->Label1->text(), QStringLiteral("(原始密码：864)"));
        QCOMPARE(form->Label1->isVisible(), shown);
    }

    void layout()
    {
        LoginWindow* form = LoginWindow::showWindow();
        QCOMPARE(form->windowTitle(), QStringLiteral("登录"));
        QCOMPARE(form->Text1->echoMode(), QLineEdit::Password);
        QCOMPARE(form->Text1->maxLength(), 15);
        QVERIFY(!form->Text1->testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(test::nextTabStop(form->Text1), form->Command2);
        QCOMPARE(test::nextTabStop(form->Command2), form->Command1);
        QCOMPARE(form->focusWidget(), form->Text1);
        // Labels grown for the font must not run into the box below them.
        QVERIFY(form->lblVersion->geometry().bottom() < form->Text1->geometry().top());
        QVERIFY(form->lblVersion->geometry().right() < form->Label1->geometry().left());
    }

    void enterRunsOk()
    {
        LoginWindow* form = LoginWindow::showWindow();
        QTest::keyClicks(form->Text1, "999");
        QTest::keyClick(form->Text1, Qt::Key_Return);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});
        QCOMPARE(form->Text1->text(), QStringLiteral("999"));
        QVERIFY(form->isVisible());
        // As often as the operator tries.
        QTest::keyClick(form->Text1, Qt::Key_Enter);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});

        form->Text1->clear();
        QTest::keyClicks(form->Text1, "864");
        QTest::keyClick(form->Text1, Qt::Key_Return);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(MainWindow::instance() && MainWindow::instance()->isVisible());
        QVERIFY(!form->isVisible());
    }

    void nextStartAfterPasswordChange()
    {
        SettingsWindow* settings = SettingsWindow::showWindow();
        settings->Text8->setText(QStringLiteral("864"));
        settings->Text12->setText(QStringLiteral(" Neu5 "));
        settings->Command3_Click();
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("修改密码成功，请牢记新密码！")});

        LoginWindow* form = LoginWindow::showWindow();
        QVERIFY(!form->Label1->isVisible());
        form->Text1->setText(QStringLiteral("864"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});
        form->Text1->setText(QStringLiteral("neu5"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(MainWindow::instance() && MainWindow::instance()->isVisible());
    }

    void unreadableRecord_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("table missing") << "drop table 设置";
        QTest::newRow("table empty") << "delete from 设置";
        QTest::newRow("not a database") << "";
    }
    void unreadableRecord()
    {
        QFETCH(QString, damage);
        if (damage.isEmpty()) {
            Database::close();
            QFile file(m_folder->databaseFile());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
            file.close();
            QVERIFY(m_folder->open()); // SQLite finds out at the first read
        } else {
            runSql(damage);
        }

        LoginWindow* form = LoginWindow::showWindow();
        QVERIFY(!form->Label1->isVisible());
        for (const QString& typed : {QString(), QStringLiteral("   "), QStringLiteral("864")}) {
            form->Text1->setText(typed);
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(QStringLiteral("无法读取数据库")), qPrintable(shown[0].text));
            QVERIFY2(shown[0].text.contains(QStringLiteral("原因：")) &&
                         shown[0].text.size() > QStringLiteral("无法读取数据库，不能登录。\n原因：").size(),
                     qPrintable(shown[0].text));
            QCOMPARE(shown[0].icon, QMessageBox::Warning);
            QVERIFY(!MainWindow::instance());
            QVERIFY(form->isVisible());
        }
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(m_ended, 1);
        QVERIFY(!MainWindow::instance());
    }

    void recordReadableAgainLetsIn()
    {
        runSql(QStringLiteral("delete from 设置"));
        LoginWindow* form = LoginWindow::showWindow();
        runSql(QStringLiteral("insert into 设置 (密码, 路径, 左边距, 上边距) values ('864', '', '0', '0')"));
        form->Text1->setText(QStringLiteral("864"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(MainWindow::instance());
    }

    void leavingEndsTheProgram_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("cancel") << 0;
        QTest::newRow("window closed") << 1;
        QTest::newRow("escape") << 2;
    }
    void leavingEndsTheProgram()
    {
        QFETCH(int, how);
        LoginWindow* form = LoginWindow::showWindow();
        form->Text1->setText(QStringLiteral("864"));
        if (how == 0) {
            QTest::mouseClick(form->Command2, Qt::LeftButton);
        } else if (how == 1) {
            form->close();
        } else {
            QTest::keyClick(form->Command2, Qt::Key_Escape);
        }
        QCOMPARE(m_ended, 1);
        QVERIFY(!LoginWindow::loaded());
        QVERIFY(!MainWindow::instance());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
