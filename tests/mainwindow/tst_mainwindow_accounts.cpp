// Operators and roles on the main window, on a real database file and a
// real server: each role's allowed and refused commands, the versions naming
// the operator, the lock with unlock and switch of user (the unsaved sheet
// kept as a draft), 用户管理… making the first administrator, and
// 修改我的密码….
#include "MainWindowParts.h"
#include "PgServer.h"
#include "TestSupport.h"
#include "accounts/AccountStore.h"
#include "accounts/Session.h"
#include "accountwindows/AccountsWindow.h"
#include "accountwindows/LockWindow.h"
#include "accountwindows/PasswordWindow.h"
#include "base/Clock.h"
#include "drafts/SheetDrafts.h"
#include "history/HistoryWindows.h"
#include "mainwindow/DeskLine.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordHistory.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "record/VersionStamp.h"
#include "reports/ReportWindow.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <unistd.h>

using namespace brenvoll;

namespace {
QStringList texts(const QList<MessageBox::Shown>& shown)
{
    QStringList list;
    for (const auto& s : shown) {
        list << s.text;
    }
    return list;
}

Account accountOf(const QString& userName)
{
    return AccountStore::find(userName).value_or(Account{});
}
} // namespace

class MainWindowAccountsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    std::unique_ptr<MainWindow> m_form;

    MainWindow& form() { return *m_form; }
    QLineEdit* box(Field field) { return m_form->box(field); }
    // The main window after a login as `userName` (none: the shared password).
    void start(const QString& userName = {})
    {
        if (userName.isEmpty()) {
            Session::end();
        } else {
            Session::begin(accountOf(userName));
        }
        m_form = std::make_unique<MainWindow>();
        m_form->loadOnStart();
    }
    void addAccounts()
    {
        QString error;
        QVERIFY2(AccountStore::add(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Administrator,
                                   QStringLiteral("adminpw1"), &error),
                 qPrintable(error));
        QVERIFY(AccountStore::add(QStringLiteral("clerk"), QStringLiteral("王录入"), Role::Clerk,
                                  QStringLiteral("clerkpw1"), &error));
        QVERIFY(AccountStore::add(QStringLiteral("doctor"), QStringLiteral("李医生"), Role::Doctor,
                                  QStringLiteral("doctorpw1"), &error));
    }
    QAction* action(const char* name) { return form().findChild<QAction*>(QString::fromUtf8(name)); }
    // Which of the gated commands are enabled in the menus and the toolbar.
    QStringList enabledCommands()
    {
        QStringList enabled;
        for (const char* name :
             {"删除", "已删除的记录…", "综合设置", "恢复备份…", "用户管理…", "修改我的密码…", "锁定"}) {
            QAction* a = action(name);
            if (a && a->isEnabled()) {
                enabled << QString::fromUtf8(name);
            }
        }
        if (form().findChild<QFrame*>(QStringLiteral("Picture4_2"))->isEnabled()) {
            enabled << QStringLiteral("删除按钮");
        }
        return enabled;
    }
    void storeAndSelect(const QString& key, const QString& name)
    {
        QVERIFY(RecordStore::save(test::makeRecord(key, name, QStringLiteral("2016-05-07"))));
        test::fromDate(form())->setText(QStringLiteral("2016-01-01"));
        form().search();
        form().selectLine(form().results()->lineOf(key));
        QCOMPARE(box(Field::Key)->text(), key);
    }

private slots:
    // A role without 恢复此版本 finds the button disabled on every line, and a
    // restore asked anyway is refused without a trace; however the versions
    // window closes, the stored record is back on the sheet, editable and
    // untinted, and a later 保存 keeps nothing of the version shown.
    void versionsWindowLeavesTheStoredRecordHoweverItCloses_data()
    {
        QTest::addColumn<QString>("close");
        for (const char* how : {"refused restore", "关闭", "Escape", "window closed", "锁定"}) {
            QTest::newRow(how) << QString::fromUtf8(how);
        }
    }
    void versionsWindowLeavesTheStoredRecordHoweverItCloses()
    {
        QFETCH(QString, close);
        addAccounts();
        const QString key = QStringLiteral("20160507083000");
        start(QStringLiteral("doctor"));
        storeAndSelect(key, QStringLiteral("周九"));
        box(Field::Conclusion)->setText(QStringLiteral("改过"));
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        m_form.reset();
        start(QStringLiteral("clerk"));
        test::fromDate(form())->setText(QStringLiteral("2016-01-01"));
        form().search();
        form().selectLine(form().results()->lineOf(key));
        const QPalette own = box(Field::Name)->palette();

        // Closed, the window deletes itself.
        QPointer<VersionsWindow> window = test::history(form()).showVersions();
        QVERIFY(window);
        window->versionList()->setCurrentRow(0);
        QVERIFY(box(Field::Conclusion)->isReadOnly()); // the version shown
        QVERIFY(!window->restoreButton()->isEnabled());
        if (close == QLatin1String("refused restore")) {
            emit window->restoreRequested(0); // as a shortcut or a stale button would
            QCOMPARE(MessageBox::takeShown().size(), 1);
        } else if (close == QLatin1String("关闭")) {
            window->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
        } else if (close == QLatin1String("Escape")) {
            QTest::keyClick(window->versionList(), Qt::Key_Escape);
        } else if (close == QLatin1String("window closed")) {
            window->close();
        } else {
            QVERIFY(test::accountCommands(form()).lock());
        }
        QCoreApplication::processEvents();
        QVERIFY(window.isNull() || !window->isVisible());
        for (const BoxDef& def : FieldMap::boxes()) {
            QVERIFY2(!box(def.field)->isReadOnly(), qPrintable(def.operatorName));
            QCOMPARE(box(def.field)->palette().color(QPalette::Base), own.color(QPalette::Base));
        }
        ExamRecord stored;
        QVERIFY(RecordStore::load(key, stored));
        QCOMPARE(box(Field::Conclusion)->text(), stored[Field::Conclusion]);
        QCOMPARE(stored[Field::Conclusion], QStringLiteral("改过"));
        if (close != QLatin1String("锁定")) {
            const size_t versions = [&] {
                std::vector<RecordVersion> list;
                RecordHistory::versions(key, list);
                return list.size();
            }();
            form().saveRecord(); // nothing typed: nothing of the version stored
            QVERIFY(RecordStore::load(key, stored));
            QCOMPARE(stored[Field::Conclusion], QStringLiteral("改过"));
            std::vector<RecordVersion> after;
            RecordHistory::versions(key, after);
            QVERIFY(after.size() <= versions + 1);
            QVERIFY(std::all_of(after.begin(), after.end(), [](const RecordVersion& v) {
                return v.stamp.operatorName != QStringLiteral("王录入") ||
                       v.record[Field::Conclusion] == QStringLiteral("改过");
            }));
        }
        MessageBox::takeShown();
    }

    void init()
    {
        MessageBox::setAnswerMode(true);
        Clock::setFixed(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        Session::end();
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup()
    {
        // With a server the drafts file is the desk's, beside the program,
        // and other tests read it: none of this test's drafts stays there.
        if (m_form) {
            for (const Draft& draft : m_form->drafts()->list()) {
                m_form->drafts()->remove(draft.id);
            }
        }
        m_form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Session::end();
        VersionStamp::setOperator({});
        m_folder.reset();
        Clock::reset();
    }

    // Without accounts every command is open as designed (only the account's
    // own ones have nothing to work on); a 录入员 finds 删除 and the
    // administrator's commands disabled and refused when reached anyway; a
    // 医生 deletes; a 管理员 has everything. The desk line names them.
    void rolesAllowAndRefuseCommands()
    {
        start();
        QCOMPARE(enabledCommands(), (QStringList{QStringLiteral("删除"), QStringLiteral("已删除的记录…"),
                                                 QStringLiteral("综合设置"), QStringLiteral("恢复备份…"),
                                                 QStringLiteral("用户管理…"), QStringLiteral("删除按钮")}));
        QVERIFY(!test::deskLine(form())->text().contains(QStringLiteral("操作员")));
        m_form.reset();

        addAccounts();
        start(QStringLiteral("clerk"));
        QCOMPARE(enabledCommands(), (QStringList{QStringLiteral("修改我的密码…"), QStringLiteral("锁定")}));
        QVERIFY(test::deskLine(form())->text().endsWith(QStringLiteral("操作员：王录入（录入员）")));
        const QString key = QStringLiteral("20160507080000");
        storeAndSelect(key, QStringLiteral("张三"));
        form().deleteRecord();
        QCOMPARE(texts(MessageBox::takeShown()),
                 QStringList{QStringLiteral("“录入员”的权限不能使用此功能。")});
        ExamRecord stored;
        QVERIFY(RecordStore::load(key, stored));
        QVERIFY(test::history(form()).showDeletedRecords() == nullptr);
        test::accountCommands(form()).showAccounts();
        action("综合设置")->setEnabled(true);
        action("综合设置")->trigger();
        QCOMPARE(MessageBox::takeShown().size(), 3);
        m_form.reset();

        start(QStringLiteral("doctor"));
        QCOMPARE(enabledCommands(), (QStringList{QStringLiteral("删除"), QStringLiteral("已删除的记录…"),
                                                 QStringLiteral("修改我的密码…"), QStringLiteral("锁定"),
                                                 QStringLiteral("删除按钮")}));
        storeAndSelect(key, QStringLiteral("张三"));
        MessageBox::queueAnswer(QMessageBox::Yes);
        form().deleteRecord();
        QVERIFY(!RecordStore::load(key, stored));
        m_form.reset();

        start(QStringLiteral("admin"));
        QCOMPARE(enabledCommands().size(), 8);
        QVERIFY(test::deskLine(form())->text().endsWith(QStringLiteral("操作员：张主任（管理员）")));
    }

    // The versions name the operator who changed or deleted the record by
    // 姓名 and 用户名, desk after desk.
    void versionsNameTheOperator()
    {
        addAccounts();
        const QString key = QStringLiteral("20160507080001");
        start(QStringLiteral("clerk"));
        storeAndSelect(key, QStringLiteral("张三"));
        box(Field::Conclusion)->setText(QStringLiteral("录入员改的"));
        form().saveRecord();
        m_form.reset();
        start(QStringLiteral("doctor"));
        test::fromDate(form())->setText(QStringLiteral("2016-01-01"));
        form().search();
        form().selectLine(form().results()->lineOf(key));
        box(Field::Conclusion)->setText(QStringLiteral("医生改的"));
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        std::vector<RecordVersion> versions;
        QVERIFY(RecordHistory::versions(key, versions));
        QCOMPARE(versions.size(), size_t(2));
        QCOMPARE(versions[0].stamp.operatorName, QStringLiteral("李医生（doctor）"));
        QCOMPARE(versions[1].stamp.operatorName, QStringLiteral("王录入（clerk）"));
        // A 医生 may put a version back; a 录入员 only reads them.
        VersionsWindow* window = test::history(form()).showVersions();
        QVERIFY(window);
        QVERIFY(window->restoreButton()->isEnabled());
        window->reject();
        m_form.reset();
        start(QStringLiteral("clerk"));
        test::fromDate(form())->setText(QStringLiteral("2016-01-01"));
        form().search();
        form().selectLine(form().results()->lineOf(key));
        window = test::history(form()).showVersions();
        QVERIFY(window);
        QVERIFY(!window->restoreButton()->isEnabled());
        test::history(form()).restoreVersion(0);
        QCOMPARE(texts(MessageBox::takeShown()),
                 QStringList{QStringLiteral("“录入员”的权限不能使用此功能。")});
        QCOMPARE(box(Field::Conclusion)->text(), QStringLiteral("医生改的"));
    }

    // 锁定 keeps the typing, hides the sheet and waits for a password: a
    // wrong one leaves the desk locked, the same user's brings the sheet back
    // as it was; another user's starts them on a blank sheet, the typing kept
    // as a draft that comes back. The idle timer locks as the menu does.
    void lockUnlockAndSwitchUser()
    {
        addAccounts();
        start(QStringLiteral("clerk"));
        QVERIFY(test::accountCommands(form()).idleTimer()->isActive());
        QCOMPARE(test::accountCommands(form()).idleTimer()->interval(), 15 * 60 * 1000);
        form().newRecord();
        box(Field::Name)->setText(QStringLiteral("赵一"));
        box(Field::Conclusion)->setText(QStringLiteral("未保存的结论"));

        QWidget* reports = ReportWindow::showWindow();
        QVERIFY(reports->isVisible());
        LockWindow* lock = test::accountCommands(form()).lock();
        QVERIFY(lock);
        QCOMPARE(lock->windowModality(), Qt::ApplicationModal);
        QVERIFY(form().centralWidget()->isHidden());
        QVERIFY(!reports->isVisible());
        QVERIFY(!test::accountCommands(form()).idleTimer()->isActive());
        lock->close();
        QVERIFY(test::accountCommands(form()).lockWindow() == lock);
        lock->passwordBox()->setText(QStringLiteral("wrongpw"));
        QVERIFY(!lock->tryUnlock());
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("用户名或密码错误。")});
        lock->passwordBox()->setText(QStringLiteral("clerkpw1"));
        QVERIFY(lock->tryUnlock());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!test::accountCommands(form()).lockWindow());
        QVERIFY(!form().centralWidget()->isHidden());
        QVERIFY(reports->isVisible());
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("赵一"));
        QCOMPARE(Session::current()->userName, QStringLiteral("clerk"));
        QVERIFY(test::accountCommands(form()).idleTimer()->isActive());

        // The idle timer's end locks the desk.
        QVERIFY(QMetaObject::invokeMethod(test::accountCommands(form()).idleTimer(), "timeout",
                                          Qt::DirectConnection));
        lock = test::accountCommands(form()).lockWindow();
        QVERIFY(lock);
        lock->userBox()->setText(QStringLiteral("doctor"));
        lock->passwordBox()->setText(QStringLiteral("doctorpw1"));
        QVERIFY(lock->tryUnlock());
        QVERIFY(lock->switchedUser());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Session::current()->userName, QStringLiteral("doctor"));
        QVERIFY(!ReportWindow::loaded() || !ReportWindow::loaded()->isVisible());
        QVERIFY(box(Field::Name)->text().isEmpty());
        QVERIFY(box(Field::Conclusion)->text().isEmpty());
        QVERIFY(test::deskLine(form())->text().endsWith(QStringLiteral("操作员：李医生（医生）")));
        QCOMPARE(VersionStamp::operatorNow(), QStringLiteral("李医生（doctor）"));

        QString error;
        const std::vector<Draft> drafts = form().drafts()->list(&error);
        QCOMPARE(drafts.size(), size_t(1));
        QCOMPARE(drafts.front().record[Field::Name], QStringLiteral("赵一"));
        test::draftCommands(form()).restoreDraft(drafts.front().id);
        QCOMPARE(box(Field::Conclusion)->text(), QStringLiteral("未保存的结论"));

        std::vector<LoginEvent> events;
        QVERIFY(AccountStore::loginRecord(events));
        QStringList lines;
        for (const LoginEvent& event : events) {
            lines << event.userName + u' ' + event.result;
        }
        QCOMPARE(lines, (QStringList{QStringLiteral("doctor 登录"), QStringLiteral("clerk 锁定"),
                                     QStringLiteral("clerk 解锁"), QStringLiteral("clerk 用户名或密码错误"),
                                     QStringLiteral("clerk 锁定")}));
    }

    // 用户管理… without accounts: the first account is an administrator and
    // switches accounts on (on a file made before the tables, after a safety
    // copy); the operator's own account and the last enabled administrator
    // cannot be disabled; switching off asks first.
    void accountsWindowMakesTheFirstAdministrator()
    {
        if (!test::onServer()) {
            QSqlQuery drop(Database::connection());
            for (const char* table : {"账户", "账户设置", "登录记录"}) {
                QVERIFY(drop.exec(QStringLiteral("drop table ") + QString::fromUtf8(table)));
            }
        }
        start();
        test::accountCommands(form()).showAccounts();
        auto* window = form().findChild<AccountsWindow*>();
        QVERIFY(window);
        QVERIFY(!window->switchOffButton()->isEnabled());
        QVERIFY(!window->addAccount(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Clerk,
                                    QStringLiteral("adminpw1"), QStringLiteral("adminpw2")));
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("两次输入的新密码不一样。")});
        QVERIFY(window->addAccount(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Clerk,
                                   QStringLiteral("adminpw1"), QStringLiteral("adminpw1")));
        QVERIFY(
            texts(MessageBox::takeShown()).value(0).startsWith(QStringLiteral("第一个账户“admin”是管理员")));
        if (!test::onServer()) {
            QCOMPARE(QFileInfo(m_folder->databaseFile())
                         .absoluteDir()
                         .entryList({QStringLiteral("数据库.恢复前-*")}, QDir::Files)
                         .size(),
                     1);
        }
        QVERIFY(AccountStore::accountsOn());
        QCOMPARE(window->accountList()->topLevelItemCount(), 1);
        QCOMPARE(window->accountList()->topLevelItem(0)->text(2), QStringLiteral("管理员"));
        QVERIFY(window->switchOffButton()->isEnabled());
        // Accounts are on from the next login: this run, logged in with the
        // shared password, goes on managing them, named by nobody.
        QVERIFY(action("用户管理…")->isEnabled());
        QVERIFY(!action("锁定")->isEnabled());
        QCOMPARE(VersionStamp::operatorNow(), QStringLiteral("（共用密码）"));

        Session::begin(accountOf(QStringLiteral("admin")));
        QVERIFY(window->addAccount(QStringLiteral("clerk"), QStringLiteral("王录入"), Role::Clerk,
                                   QStringLiteral("clerkpw1"), QStringLiteral("clerkpw1")));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(!window->setDisabledOf(QStringLiteral("admin"), true));
        QVERIFY(!window->setRoleOf(QStringLiteral("admin"), Role::Clerk));
        Session::end();
        QVERIFY(!window->setDisabledOf(QStringLiteral("admin"), true));
        QCOMPARE(texts(MessageBox::takeShown()).last(), QStringLiteral("至少要留一个启用的管理员账户。"));
        QVERIFY(window->setDisabledOf(QStringLiteral("clerk"), true));
        QCOMPARE(window->accountList()->topLevelItem(1)->text(3), QStringLiteral("停用"));
        QVERIFY(window->setIdleMinutes(0));
        QCOMPARE(AccountStore::idleMinutes(), 0);

        MessageBox::queueAnswer(QMessageBox::No);
        QVERIFY(!window->switchOff());
        QVERIFY(AccountStore::accountsOn());
        MessageBox::queueAnswer(QMessageBox::Yes);
        QVERIFY(window->switchOff());
        QVERIFY(!AccountStore::accountsOn());
        QCOMPARE(window->loginList()->topLevelItem(0)->text(3), QStringLiteral("关闭账户登录"));
        window->close();
    }

    // A server given its grants as tools/shared-database.sh gives them: the
    // desks' login changes records and adds kept versions and login records,
    // but changes or removes none of them and changes no account or switch;
    // 用户管理… makes its changes through the account login, connected while
    // the window is open. The tables here were made by another user, as on a
    // server set up before the grants: they change hands too.
    void serverLoginsHaveOnlyTheirRights()
    {
        if (!test::onServer()) {
            QSKIP("the desks' login and the account login are a server's");
        }
        auto& server = test::PgServer::shared();
        static int made = 0;
        ++made;
        const QString desk = QStringLiteral("desk_only_%1").arg(made);
        const QString admin = QStringLiteral("accounts_%1").arg(made);
        const QString deskPassword = QStringLiteral("desk pw'1");
        const QString adminPassword = QStringLiteral("admin\\pw 2");
        QString error;
        QVERIFY2(server.createLoginRole(desk, deskPassword, &error), qPrintable(error));

        ServerConfig config = Database::serverConfig();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRENVOLL_USER"), desk);
        environment.insert(QStringLiteral("BRENVOLL_ACCOUNT_USER"), admin);
        environment.insert(QStringLiteral("BRENVOLL_ACCOUNT_PASSWORD"), adminPassword);
        environment.insert(QStringLiteral("BRENVOLL_ADMIN"), ::geteuid() == 0
                                                                 ? QStringLiteral("postgres")
                                                                 : QString::fromLocal8Bit(qgetenv("USER")));
        environment.insert(QStringLiteral("BRENVOLL_ADMIN_ARGS"), QStringLiteral("-h %1 -p %2 -U %3")
                                                                      .arg(server.socketFolder())
                                                                      .arg(server.port())
                                                                      .arg(server.user()));
        QProcess script;
        script.setProcessEnvironment(environment);
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.start(QStringLiteral(BRENVOLL_SOURCE_DIR "/tools/shared-database.sh"),
                     {QStringLiteral("grants"), config.name});
        script.closeWriteChannel();
        QVERIFY(script.waitForFinished(120000));
        const QString said = QString::fromLocal8Bit(script.readAll());
        QVERIFY2(script.exitCode() == 0 && said.contains(QStringLiteral("created the server user ") + admin),
                 qPrintable(said));
        QVERIFY2(server.requirePassword(admin, &error), qPrintable(error));

        // The program at a desk, logged in as the desks' login.
        config.user = desk;
        config.password = deskPassword;
        Database::close();
        QVERIFY2(Database::openServer(config, &error), qPrintable(error));
        const struct
        {
            const char* sql;
            bool allowed;
        } statements[] = {
            {"insert into 档案 (序列号, 姓名) values ('20160509080000', '张三')", true},
            {"update 档案 set 姓名 = '李四' where 序列号 = '20160509080000'", true},
            {"insert into 档案版本 (时间, 操作, 工作站, 操作员, 序列号) "
             "values ('2016-05-09 08:00:00', '保存', '一号台', '王录入', '20160509080000')",
             true},
            {"insert into 登录记录 (时间, 用户名, 工作站, 结果) values ('2016-05-09 08:00:00', 'x', "
             "'一号台', '登录')",
             true},
            {"update 账户 set 最后登录 = '2016-05-09 08:00:00' where 用户名 = 'x'", true},
            {"update 设置 set 路径 = 路径", true},
            {"delete from 档案 where 序列号 = '20160509080000'", true},
            {"update 档案版本 set 操作员 = '别人'", false},
            {"delete from 档案版本", false},
            {"update 档案恢复 set 操作员 = '别人'", false},
            {"delete from 档案恢复", false},
            {"update 登录记录 set 结果 = '登录'", false},
            {"delete from 登录记录", false},
            {"update 账户 set 角色 = '管理员'", false},
            {"update 账户 set 停用 = 1", false},
            {"insert into 账户 (用户名, 姓名, 角色, 密码散列) values ('x', 'x', '管理员', 'x')", false},
            {"delete from 账户", false},
            {"insert into 账户设置 (项目, 值) values ('账户登录', '0')", false},
            {"update 账户设置 set 值 = '0'", false},
            {"delete from 账户设置", false},
            {"truncate 档案版本", false},
            {"alter table 档案版本 owner to current_user", false},
            {"create table 另一张表 (x text)", false},
        };
        for (const auto& statement : statements) {
            QSqlQuery query(Database::connection());
            const bool done = query.exec(QString::fromUtf8(statement.sql));
            QVERIFY2(done == statement.allowed, statement.sql);
            if (!done) {
                QVERIFY2(query.lastError().nativeErrorCode() == QLatin1String("42501"),
                         qPrintable(query.lastError().text()));
            }
        }
        QVERIFY(!AccountStore::mayChangeAccounts());
        QVERIFY(!AccountStore::add(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Administrator,
                                   QStringLiteral("adminpw1"), &error));
        QVERIFY2(error.contains(QStringLiteral("没有所需的权限")), qPrintable(error));

        // 用户管理…: a wrong password and the desks' own login are refused;
        // the account login makes the first administrator.
        start();
        test::accountCommands(form()).showAccounts();
        auto* window = form().findChild<AccountsWindow*>();
        QVERIFY(window);
        QVERIFY(!window->useAccountLogin(admin, QStringLiteral("wrong")));
        QVERIFY(texts(MessageBox::takeShown()).value(0).contains(QStringLiteral("服务器拒绝登录")));
        QVERIFY(!window->useAccountLogin(desk, deskPassword));
        QVERIFY(texts(MessageBox::takeShown()).value(0).contains(QStringLiteral("不能更改账户")));
        QVERIFY(AccountStore::runsOn().isEmpty());
        QVERIFY(window->useAccountLogin(QStringLiteral(" ") + admin, adminPassword));
        QVERIFY2(window->addAccount(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Clerk,
                                    QStringLiteral("adminpw1"), QStringLiteral("adminpw1")),
                 qPrintable(texts(MessageBox::takeShown()).join(u'\n')));
        MessageBox::takeShown();
        QVERIFY(window->setIdleMinutes(5));
        QVERIFY(window->addAccount(QStringLiteral("clerk"), QStringLiteral("王录入"), Role::Clerk,
                                   QStringLiteral("clerkpw1"), QStringLiteral("clerkpw1")));
        QVERIFY(window->setDisabledOf(QStringLiteral("clerk"), true));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(AccountStore::runsOn().isEmpty());
        QVERIFY(!QSqlDatabase::contains(QStringLiteral("brenvoll-accounts")));
        // What the account login wrote, the desk reads; the desk still
        // changes nothing of it.
        QCOMPARE(accountOf(QStringLiteral("admin")).role, Role::Administrator);
        QVERIFY(accountOf(QStringLiteral("clerk")).disabled);
        QCOMPARE(AccountStore::idleMinutes(), 5);
        QVERIFY(AccountStore::accountsOn());
        QVERIFY(!AccountStore::setDisabled(QStringLiteral("clerk"), false));
        QVERIFY(accountOf(QStringLiteral("clerk")).disabled);
    }

    // 用户管理… guides the first day: the empty window says how to begin; the
    // first account's role shows 管理员 and cannot be chosen otherwise, the
    // password rule stands beside the password, the user name takes what the
    // login box takes; after 确定 the focus is on the list with the new
    // account chosen, so a second Enter makes no second account. The next
    // account's role is chosen again.
    void accountsWindowGuidesTheFirstAccount()
    {
        start();
        test::accountCommands(form()).showAccounts();
        auto* window = form().findChild<AccountsWindow*>();
        QVERIFY(window);
        QVERIFY(window->emptyHint()->isVisibleTo(window));
        QVERIFY(window->emptyHint()->text().contains(QStringLiteral("添加…")));
        QVERIFY(window->emptyHint()->text().contains(QStringLiteral("管理员")));
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));

        struct Seen
        {
            QString role;
            bool roleChosen = true;
            QString rule;
            int nameLength = 0;
        };
        // Fills the 添加账户 form the button opens, and presses Enter in it.
        const auto fillAndAccept = [](const QString& user, Seen* seen) {
            QTimer::singleShot(0, [user, seen] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* role = dialog->findChild<QComboBox*>(QStringLiteral("Role"));
                seen->role = role->currentText();
                seen->roleChosen = role->isEnabled();
                seen->rule = dialog->findChild<QLabel*>(QStringLiteral("PasswordRule"))->text();
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("用户名"));
                seen->nameLength = name->maxLength();
                name->setText(user);
                dialog->findChild<QLineEdit*>(QStringLiteral("姓名"))->setText(QStringLiteral("某人"));
                dialog->findChild<QLineEdit*>(QStringLiteral("密码*"))->setText(QStringLiteral("secret1"));
                dialog->findChild<QLineEdit*>(QStringLiteral("再输一次*"))
                    ->setText(QStringLiteral("secret1"));
                dialog->accept();
            });
        };
        auto* add = window->findChild<QPushButton*>(QStringLiteral("AddAccount"));
        Seen first;
        fillAndAccept(QStringLiteral("admin"), &first);
        QVERIFY(test::pressEnterOn(add));
        QCOMPARE(first.role, QStringLiteral("管理员"));
        QVERIFY(!first.roleChosen);
        QCOMPARE(first.rule, QStringLiteral("6 到 15 个字符"));
        QCOMPARE(first.nameLength, AccountStore::kMaximumUserName);
        QCOMPARE(AccountStore::find(QStringLiteral("admin"))->role, Role::Administrator);
        MessageBox::takeShown();
        QVERIFY(window->emptyHint()->isHidden());
        QCOMPARE(window->accountList()->currentItem()->text(0), QStringLiteral("admin"));
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->focusWidget(), window->accountList());
        // A second Enter opens no second 添加账户.
        bool opened = false;
        QTimer::singleShot(0, [&opened] {
            if (auto* dialog = QApplication::activeModalWidget()) {
                opened = true;
                static_cast<QDialog*>(dialog)->reject();
            }
        });
        QTest::keyClick(window->focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(!opened);

        Seen second;
        fillAndAccept(QStringLiteral("clerk"), &second);
        QVERIFY(test::pressEnterOn(add));
        QCOMPARE(second.role, QStringLiteral("录入员"));
        QVERIFY(second.roleChosen);
        QCOMPARE(AccountStore::find(QStringLiteral("clerk"))->role, Role::Clerk);
        window->close();
    }

    // An administrator demoted or disabled at another desk loses the rights
    // at the next command: refused, the menus greyed, and an open 用户管理…
    // changes nothing more.
    void rightsTakenElsewhereEndAtTheNextCommand()
    {
        addAccounts();
        QString error;
        QVERIFY(AccountStore::add(QStringLiteral("admin2"), QStringLiteral("赵主任"), Role::Administrator,
                                  QStringLiteral("adminpw2"), &error));
        start(QStringLiteral("admin"));
        test::accountCommands(form()).showAccounts();
        auto* window = form().findChild<AccountsWindow*>();
        QVERIFY(window);
        QVERIFY(AccountStore::setRole(QStringLiteral("admin"), Role::Doctor, &error)); // at admin2's desk
        QVERIFY(!window->setDisabledOf(QStringLiteral("admin2"), true));
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("“医生”的权限不能使用此功能。")});
        QVERIFY(!AccountStore::find(QStringLiteral("admin2"))->disabled);
        test::accountCommands(form()).showAccounts();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("“医生”的权限不能使用此功能。")});
        QCOMPARE(enabledCommands(), (QStringList{QStringLiteral("删除"), QStringLiteral("已删除的记录…"),
                                                 QStringLiteral("修改我的密码…"), QStringLiteral("锁定"),
                                                 QStringLiteral("删除按钮")}));
        QVERIFY(AccountStore::setDisabled(QStringLiteral("admin"), true, &error));
        QVERIFY(!window->setIdleMinutes(0));
        QCOMPARE(texts(MessageBox::takeShown()),
                 QStringList{QStringLiteral("此账户已停用，不能使用此功能。")});
        QCOMPARE(AccountStore::idleMinutes(), 15);
        window->close();
    }

    // 修改我的密码…: the old password first, the new one twice, 6 to 15
    // characters; then the new one logs in and the old one no longer does.
    void changeOwnPassword()
    {
        addAccounts();
        start(QStringLiteral("clerk"));
        auto* window = new PasswordWindow(&form());
        QVERIFY(!window->change(QStringLiteral("wrongpw"), QStringLiteral("newpass1"),
                                QStringLiteral("newpass1")));
        QVERIFY(!window->change(QStringLiteral("clerkpw1"), QStringLiteral("newpass1"),
                                QStringLiteral("newpass2")));
        QVERIFY(
            !window->change(QStringLiteral("clerkpw1"), QStringLiteral("short"), QStringLiteral("short")));
        QCOMPARE(texts(MessageBox::takeShown()).mid(0, 2),
                 (QStringList{QStringLiteral("原密码错误！"), QStringLiteral("两次输入的新密码不一样。")}));
        QVERIFY(window->change(QStringLiteral("clerkpw1"), QStringLiteral("newpass1"),
                               QStringLiteral("newpass1")));
        QCOMPARE(AccountStore::check(QStringLiteral("clerk"), QStringLiteral("clerkpw1"), nullptr),
                 AccountStore::Check::Wrong);
        QCOMPARE(AccountStore::check(QStringLiteral("clerk"), QStringLiteral("newpass1"), nullptr),
                 AccountStore::Check::Ok);
        delete window;
    }
};

QTEST_MAIN(MainWindowAccountsTest)
#include "tst_mainwindow_accounts.moc"
