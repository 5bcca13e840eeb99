// The login window on a real copy of the delivered database.
#include "TabStops.h"
#include "TestSupport.h"
#include "mainwindow/MainWindow.h"
#include "program/LoginWindow.h"
#include "program/Startup.h"
#include "settings/CurrentSettings.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"

#include <QDir>
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
        // A fresh backup, so that the login is followed by no word about its age.
        const QString backups = QDir(m_folder->path()).filePath(QStringLiteral("备份"));
        QVERIFY(QDir().mkpath(backups + QStringLiteral("/1日")));
        QVERIFY(QFile::copy(m_folder->databaseFile(), backups + QStringLiteral("/1日/数据库.db")));
        QSqlQuery query = Database::prepare(QStringLiteral("update 设置 set 路径 = ?"));
        Database::bindText(query, backups);
        QVERIFY(Database::exec(query));
        CurrentSettings::drop();
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

        LoginWindow* login = showLoginWindow();
        if (typed.contains(u'\t')) {
            login->passwordBox()->setText(typed); // typing a tab would move on to the next control
        } else {
            QTest::keyClicks(login->passwordBox(), typed);
        }
        QCOMPARE(login->passwordBox()->text(), typed);
        QTest::mouseClick(login->okButton(), Qt::LeftButton);

        const auto shown = MessageBox::takeShown();
        if (accepted) {
            QVERIFY(shown.isEmpty());
            QVERIFY(LoginWindow::loaded() == login); // stays loaded, hidden
            QVERIFY(!login->isVisible());
            QVERIFY(MainWindow::instance());
            QVERIFY(MainWindow::instance()->isVisible());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, QStringLiteral("密码错误！"));
            QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
            QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QVERIFY(login->isVisible());
            QCOMPARE(login->passwordBox()->text(), typed);
            QVERIFY(!MainWindow::instance());
        }
        QCOMPARE(m_ended, 0);
    }

    // The window itself only announces the login; opening the main window is
    // start-up's part.
    void correctPasswordAnnouncesTheLogin()
    {
        LoginWindow* login = LoginWindow::showWindow();
        QSignalSpy loggedIn(login, &LoginWindow::loggedIn);
        login->passwordBox()->setText(QStringLiteral("865"));
        login->logIn();
        QCOMPARE(loggedIn.count(), 0);
        login->passwordBox()->setText(QStringLiteral("864"));
        login->logIn();
        QCOMPARE(loggedIn.count(), 1);
        QVERIFY(!login->isVisible());
        QVERIFY(LoginWindow::loaded() == login);
        QVERIFY(!MainWindow::instance());
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});
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
        LoginWindow* login = showLoginWindow();
        QCOMPARE(login->factoryPasswordHint()->text(), QStringLiteral("(原始密码：864)"));
        QCOMPARE(login->factoryPasswordHint()->isVisible(), shown);
    }

    void layout()
    {
        LoginWindow* login = showLoginWindow();
        QCOMPARE(login->windowTitle(), QStringLiteral("登录"));
        QCOMPARE(login->passwordBox()->echoMode(), QLineEdit::Password);
        QCOMPARE(login->passwordBox()->maxLength(), 15);
        QVERIFY(!login->passwordBox()->testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(test::nextTabStop(login->passwordBox()), login->cancelButton());
        QCOMPARE(test::nextTabStop(login->cancelButton()), login->okButton());
        QCOMPARE(login->focusWidget(), login->passwordBox());
        // Labels grown for the font must not run into the box below them.
        QVERIFY(login->promptLabel()->geometry().bottom() < login->passwordBox()->geometry().top());
        QVERIFY(login->promptLabel()->geometry().right() < login->factoryPasswordHint()->geometry().left());
    }

    void enterRunsOk()
    {
        LoginWindow* login = showLoginWindow();
        QTest::keyClicks(login->passwordBox(), "999");
        QTest::keyClick(login->passwordBox(), Qt::Key_Return);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});
        QCOMPARE(login->passwordBox()->text(), QStringLiteral("999"));
        QVERIFY(login->isVisible());
        // As often as the operator tries.
        QTest::keyClick(login->passwordBox(), Qt::Key_Enter);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});
        QVERIFY(test::pressEnterOn(login->okButton())); // Enter on the focused button
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});

        login->passwordBox()->clear();
        QTest::keyClicks(login->passwordBox(), "864");
        QTest::keyClick(login->passwordBox(), Qt::Key_Return);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(MainWindow::instance() && MainWindow::instance()->isVisible());
        QVERIFY(!login->isVisible());
    }

    void nextStartAfterPasswordChange()
    {
        SettingsWindow* settings = SettingsWindow::showWindow();
        settings->oldPasswordBox()->setText(QStringLiteral("864"));
        settings->newPasswordBox()->setText(QStringLiteral(" Neu5 "));
        settings->changePassword();
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("修改密码成功，请牢记新密码！")});

        LoginWindow* login = showLoginWindow();
        QVERIFY(!login->factoryPasswordHint()->isVisible());
        login->passwordBox()->setText(QStringLiteral("864"));
        QTest::mouseClick(login->okButton(), Qt::LeftButton);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("密码错误！")});
        login->passwordBox()->setText(QStringLiteral("neu5"));
        QTest::mouseClick(login->okButton(), Qt::LeftButton);
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

        LoginWindow* login = showLoginWindow();
        QVERIFY(!login->factoryPasswordHint()->isVisible());
        for (const QString& typed : {QString(), QStringLiteral("   "), QStringLiteral("864")}) {
            login->passwordBox()->setText(typed);
            QTest::mouseClick(login->okButton(), Qt::LeftButton);
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(QStringLiteral("无法读取数据库")), qPrintable(shown[0].text));
            QVERIFY2(shown[0].text.contains(QStringLiteral("原因：")) &&
                         shown[0].text.size() > QStringLiteral("无法读取数据库，不能登录。\n原因：").size(),
                     qPrintable(shown[0].text));
            QCOMPARE(shown[0].icon, QMessageBox::Warning);
            QVERIFY(!MainWindow::instance());
            QVERIFY(login->isVisible());
        }
        QTest::mouseClick(login->cancelButton(), Qt::LeftButton);
        QCOMPARE(m_ended, 1);
        QVERIFY(!MainWindow::instance());
    }

    void recordReadableAgainLetsIn()
    {
        runSql(QStringLiteral("delete from 设置"));
        LoginWindow* login = showLoginWindow();
        runSql(QStringLiteral("insert into 设置 (密码, 路径, 左边距, 上边距) values ('864', '', '0', '0')"));
        login->passwordBox()->setText(QStringLiteral("864"));
        QTest::mouseClick(login->okButton(), Qt::LeftButton);
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
        LoginWindow* login = showLoginWindow();
        login->passwordBox()->setText(QStringLiteral("864"));
        if (how == 0) {
            QTest::mouseClick(login->cancelButton(), Qt::LeftButton);
        } else if (how == 1) {
            login->close();
        } else {
            QTest::keyClick(login->cancelButton(), Qt::Key_Escape);
        }
        QCOMPARE(m_ended, 1);
        QVERIFY(!LoginWindow::loaded());
        QVERIFY(!MainWindow::instance());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
