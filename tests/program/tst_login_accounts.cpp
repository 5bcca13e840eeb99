// The login window once accounts are on, on a real copy of the delivered
// database: the user name row, wrong tries and their growing wait, a
// disabled account, the shared password refused, and the login record. The
// designed login without accounts is tst_login's.
#include "MainWindowParts.h"
#include "TestSupport.h"
#include "accounts/AccountStore.h"
#include "accounts/Session.h"
#include "base/Clock.h"
#include "mainwindow/DeskLine.h"
#include "mainwindow/MainWindow.h"
#include "program/LoginWindow.h"
#include "program/Startup.h"
#include "settings/CurrentSettings.h"
#include "settings/SettingsStore.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"
#include "ui/Twips.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace brenvoll;

class LoginAccountsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestFolder> m_folder;
    int m_ended = 0;

    static QStringList shownTexts()
    {
        QStringList texts;
        for (const auto& shown : MessageBox::takeShown()) {
            texts << shown.text;
        }
        return texts;
    }
    static void addAccounts()
    {
        QString error;
        QVERIFY2(AccountStore::add(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Administrator,
                                   QStringLiteral("adminpw1"), &error),
                 qPrintable(error));
        QVERIFY(AccountStore::add(QStringLiteral("clerk"), QStringLiteral("王录入"), Role::Clerk,
                                  QStringLiteral("clerkpw1"), &error));
    }
    static void tryLogin(LoginWindow* login, const QString& user, const QString& password)
    {
        login->userBox()->setText(user);
        login->passwordBox()->setText(password);
        login->logIn();
    }
    static QStringList results()
    {
        std::vector<LoginEvent> events;
        AccountStore::loginRecord(events);
        QStringList lines;
        for (const LoginEvent& event : events) {
            lines << event.userName + u' ' + event.result;
        }
        return lines;
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
        Clock::setFixed(QDateTime(QDate(2024, 3, 1), QTime(8, 0)));
        m_ended = 0;
        Session::end();
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
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Session::end();
        m_folder.reset();
        Clock::reset();
    }

    // With accounts the window is taller by one row for the user name above
    // the password; the designed controls keep names, texts, sizes and tab
    // order, moved down by that row; the factory hint is gone; Enter in the
    // user box goes on to the password box, Enter there logs in.
    void userRowAboveThePassword()
    {
        {
            LoginWindow* plain = showLoginWindow();
            QVERIFY(!plain->accountsOn());
            QVERIFY(!plain->userBox());
            QVERIFY(plain->findChild<QLineEdit*>(QStringLiteral("txtUser")) == nullptr);
            delete plain;
        }
        addAccounts();
        LoginWindow* login = showLoginWindow();
        QVERIFY(login->accountsOn());
        const int row = twips::toPx(login, 720);
        QCOMPARE(login->height(), twips::toPx(login, 2670) + row);
        QCOMPARE(login->width(), twips::toPx(login, 4545));
        QCOMPARE(login->userBox()->objectName(), QStringLiteral("txtUser"));
        QCOMPARE(login->userLabel()->text(), QStringLiteral("用户名"));
        QCOMPARE(login->userBox()->geometry().top(), twips::toPx(login, 1380));
        QVERIFY(login->userBox()->geometry().bottom() < login->promptLabel()->geometry().top());
        QCOMPARE(login->passwordBox()->objectName(), QStringLiteral("Text1"));
        QCOMPARE(login->passwordBox()->geometry().top(), twips::toPx(login, 1440) + row);
        QCOMPARE(login->okButton()->geometry().top(), twips::toPx(login, 2040) + row);
        QCOMPARE(login->okButton()->text(), QStringLiteral("确  定"));
        QCOMPARE(login->cancelButton()->text(), QStringLiteral("取  消"));
        QCOMPARE(login->promptLabel()->text(), QStringLiteral("请输入登录密码"));
        QVERIFY(login->factoryPasswordHint()->isHidden());

        QApplication::setActiveWindow(login);
        QVERIFY(QTest::qWaitForWindowActive(login));
        QVERIFY(login->userBox()->hasFocus());
        QTest::keyClick(login->userBox(), Qt::Key_Tab);
        QVERIFY(login->passwordBox()->hasFocus());
        QTest::keyClick(login->passwordBox(), Qt::Key_Tab);
        QVERIFY(login->cancelButton()->hasFocus());
        login->userBox()->setFocus();
        QTest::keyClicks(login->userBox(), QStringLiteral("clerk"));
        QTest::keyClick(login->userBox(), Qt::Key_Return);
        QVERIFY(login->passwordBox()->hasFocus());
        QVERIFY(login->isVisible());
        QTest::keyClicks(login->passwordBox(), QStringLiteral("clerkpw1"));
        QTest::keyClick(login->passwordBox(), Qt::Key_Return);
        QVERIFY(shownTexts().isEmpty());
        QVERIFY(!login->isVisible());
        QVERIFY(MainWindow::instance());
        QCOMPARE(Session::current()->userName, QStringLiteral("clerk"));
        QVERIFY(test::deskLine(*MainWindow::instance())
                    ->text()
                    .contains(QStringLiteral("操作员：王录入（录入员）")));
        QCOMPARE(m_ended, 0);
    }

    // A wrong name and a wrong password get the same words; the third wrong
    // try in a row makes OK wait, and while it waits not even the right
    // password is checked; a disabled account is told so; the shared
    // password alone no longer logs in. Every try is in the login record.
    void wrongTriesWaitAndDisabledAccountsAreTold()
    {
        addAccounts();
        LoginWindow* login = showLoginWindow();
        tryLogin(login, QStringLiteral("nobody"), QStringLiteral("clerkpw1"));
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("用户名或密码错误。")});
        tryLogin(login, QStringLiteral("clerk"), QStringLiteral("wrongpw"));
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("用户名或密码错误。")});
        QVERIFY(login->okButton()->isEnabled());
        tryLogin(login, QString(), QStringLiteral("864"));
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("用户名或密码错误。")});
        QVERIFY(login->waiting());
        QVERIFY(!login->okButton()->isEnabled());
        tryLogin(login, QStringLiteral("clerk"), QStringLiteral("clerkpw1"));
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("请等待 2 秒后再试。")});
        QVERIFY(login->isVisible() || !MainWindow::instance());
        QVERIFY(!Session::current());
        login->endWait();
        QVERIFY(login->okButton()->isEnabled());

        QString error;
        QVERIFY(AccountStore::setDisabled(QStringLiteral("clerk"), true, &error));
        tryLogin(login, QStringLiteral("clerk"), QStringLiteral("clerkpw1"));
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("此账户已停用。")});
        QVERIFY(!Session::current());
        tryLogin(login, QStringLiteral(" admin "), QStringLiteral("adminpw1"));
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(Session::current()->userName, QStringLiteral("admin"));
        QCOMPARE(results(), (QStringList{QStringLiteral("admin 登录"), QStringLiteral("clerk 账户已停用"),
                                         QStringLiteral("（未知用户） 用户名或密码错误"),
                                         QStringLiteral("clerk 用户名或密码错误"),
                                         QStringLiteral("（未知用户） 用户名或密码错误")}));
    }

    // The wait after the third wrong password of a name says so and counts
    // down under the password; Enter during it is told the seconds left; the
    // wait holds in the next run's window, read from the login record. The
    // user name box takes the names 用户管理… takes.
    void waitCountsDownAndHoldsAcrossRestarts()
    {
        addAccounts();
        LoginWindow* login = showLoginWindow();
        QCOMPARE(login->userBox()->maxLength(), AccountStore::kMaximumUserName);
        QVERIFY(login->waitLabel()->isHidden());
        for (int i = 0; i < 3; ++i) {
            tryLogin(login, QStringLiteral("clerk"), QStringLiteral("wrongpw"));
        }
        QCOMPARE(shownTexts(), QStringList(3, QStringLiteral("用户名或密码错误。")));
        QVERIFY(!login->okButton()->isEnabled());
        QVERIFY(login->waitLabel()->isVisibleTo(login));
        QCOMPARE(login->waitLabel()->text(), QStringLiteral("请等待 2 秒后再试。"));
        QVERIFY(login->waitLabel()->geometry().top() > login->passwordBox()->geometry().bottom());
        QVERIFY(login->waitLabel()->geometry().bottom() < login->okButton()->geometry().top());
        login->passwordBox()->setText(QStringLiteral("clerkpw1"));
        QTest::keyClick(login->passwordBox(), Qt::Key_Return);
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("请等待 2 秒后再试。")});
        QCOMPARE(login->passwordBox()->text(), QStringLiteral("clerkpw1"));
        QTRY_COMPARE_WITH_TIMEOUT(login->waitLabel()->text(), QStringLiteral("请等待 1 秒后再试。"), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(login->okButton()->isEnabled(), 3000);
        QVERIFY(login->waitLabel()->isHidden());
        QVERIFY(!Session::current());

        // The next run, the clock still at the third wrong try.
        delete login;
        login = showLoginWindow();
        QVERIFY(login->okButton()->isEnabled());
        tryLogin(login, QStringLiteral("clerk"), QStringLiteral("clerkpw1"));
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("请等待 2 秒后再试。")});
        QVERIFY(!login->okButton()->isEnabled());
        QVERIFY(!Session::current());
        // Another name has its own count.
        login->endWait();
        tryLogin(login, QStringLiteral("admin"), QStringLiteral("adminpw1"));
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(Session::current()->userName, QStringLiteral("admin"));
    }

    // Accounts switched on at another desk while this login window was
    // open: the shared password no longer lets in, the user row appears.
    void accountsSwitchedOnMeanwhile()
    {
        LoginWindow* login = showLoginWindow();
        QVERIFY(!login->userBox());
        addAccounts();
        login->passwordBox()->setText(QStringLiteral("864"));
        login->logIn();
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("请输入用户名和密码。")});
        QVERIFY(!MainWindow::instance());
        QVERIFY(login->userBox());
        QVERIFY(login->userBox()->isVisibleTo(login));
        tryLogin(login, QStringLiteral("admin"), QStringLiteral("adminpw1"));
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(Session::current()->userName, QStringLiteral("admin"));
    }

    // Switched off by an administrator, the shared password logs in again
    // as designed and nobody is named.
    void switchedOffMeansTheDesignedLogin()
    {
        addAccounts();
        QString error;
        QVERIFY(AccountStore::switchOff(&error));
        LoginWindow* login = showLoginWindow();
        QVERIFY(!login->userBox());
        QVERIFY(login->factoryPasswordHint()->isVisibleTo(login));
        login->passwordBox()->setText(QStringLiteral("864"));
        login->logIn();
        QVERIFY(shownTexts().isEmpty());
        QVERIFY(!Session::current());
        QVERIFY(MainWindow::instance());
    }
};

QTEST_MAIN(LoginAccountsTest)
#include "tst_login_accounts.moc"
