// The accounts' store on a real database file and a real server: the first
// account, password hashes, checking a login, the roles, the login record,
// and the tables added to a database made before them.
#include "FaultVfs.h"
#include "PgServer.h"
#include "TestSupport.h"
#include "accounts/AccountStore.h"
#include "accounts/LoginPolicy.h"
#include "accounts/PasswordHash.h"
#include "accounts/Session.h"
#include "backup/Backup.h"
#include "backup/SchemaUpgrade.h"
#include "base/Clock.h"
#include "storage/Database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace brenvoll;

namespace {
const QString kKnownPassword = QStringLiteral("Kx7-plain-917");

// The bytes the database holds: the file itself, or a plain dump of the
// server database.
QByteArray storedBytes(const test::TestFolder& folder)
{
    if (!test::onServer()) {
        QFile file(folder.databaseFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QProcess dump;
    dump.setProcessEnvironment(Backup::serverEnvironment());
    dump.start(QStandardPaths::findExecutable(QStringLiteral("pg_dump")), {QStringLiteral("--format=plain")});
    if (!dump.waitForFinished(-1) || dump.exitCode() != 0) {
        return {};
    }
    return dump.readAllStandardOutput();
}

// Runs `sql` at another desk: a connection of its own to the same database.
bool atAnotherDesk(const test::TestFolder& folder, const QString& sql)
{
    const QString name = QStringLiteral("another desk");
    bool ok = false;
    {
        QSqlDatabase desk;
        if (test::onServer()) {
            desk = test::PgServer::connect(folder.conninfo(), name);
        } else {
            desk = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            desk.setDatabaseName(folder.databaseFile());
            desk.open();
        }
        QSqlQuery query(desk);
        ok = desk.isOpen() && query.exec(sql);
        if (!ok) {
            qWarning() << query.lastError().text();
        }
        desk.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QStringList recordLines()
{
    std::vector<LoginEvent> events;
    AccountStore::loginRecord(events);
    QStringList lines;
    for (const LoginEvent& event : events) {
        lines << event.userName + u' ' + event.result;
    }
    return lines;
}

QStringList safetyCopies(const QString& database)
{
    return QFileInfo(database).absoluteDir().entryList({QStringLiteral("数据库.恢复前-*")}, QDir::Files);
}
} // namespace

class AccountsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;

private slots:
    void initTestCase() { test::FaultVfs::install(); }
    void init()
    {
        Clock::setFixed(QDateTime(QDate(2024, 3, 1), QTime(8, 0)));
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        Session::end();
    }
    void cleanup()
    {
        Session::end();
        m_folder.reset();
        Clock::reset();
    }

    // A new database has the tables and no account: accounts are off. The
    // first account is an administrator whatever was asked and switches
    // accounts on; later ones keep their role; names are unique, passwords
    // 6 to 15 characters; switching off and making another switches on.
    void firstAccountSwitchesAccountsOn()
    {
        QVERIFY(AccountStore::tablesPresent());
        QVERIFY(!AccountStore::accountsOn());
        QString error;
        QVERIFY(!AccountStore::add(QStringLiteral("wang"), QStringLiteral("王五"), Role::Clerk,
                                   QStringLiteral("12345"), &error));
        QVERIFY(error.contains(QStringLiteral("6")));
        QVERIFY(!AccountStore::add(QStringLiteral("wang"), QStringLiteral("王五"), Role::Clerk,
                                   QStringLiteral("1234567890123456"), &error));
        QVERIFY(!AccountStore::accountsOn());

        QVERIFY2(AccountStore::add(QStringLiteral(" wang "), QStringLiteral("王五"), Role::Clerk,
                                   QStringLiteral("secret1"), &error),
                 qPrintable(error));
        QVERIFY(AccountStore::accountsOn());
        QCOMPARE(AccountStore::idleMinutes(), 15);
        QVERIFY(AccountStore::add(QStringLiteral("li"), QStringLiteral("李四"), Role::Clerk,
                                  QStringLiteral("secret2"), &error));
        QVERIFY(!AccountStore::add(QStringLiteral("li"), QStringLiteral("另一个"), Role::Doctor,
                                   QStringLiteral("secret3"), &error));
        QVERIFY(error.contains(QStringLiteral("li")));

        std::vector<Account> accounts;
        QVERIFY(AccountStore::list(accounts, &error));
        QCOMPARE(accounts.size(), size_t(2));
        QCOMPARE(accounts[0].userName, QStringLiteral("li"));
        QCOMPARE(accounts[0].role, Role::Clerk);
        QCOMPARE(accounts[1].userName, QStringLiteral("wang"));
        QCOMPARE(accounts[1].role, Role::Administrator);

        QVERIFY(AccountStore::switchOff(&error));
        QVERIFY(!AccountStore::accountsOn());
        QVERIFY(AccountStore::add(QStringLiteral("zhao"), QStringLiteral("赵六"), Role::Doctor,
                                  QStringLiteral("secret4"), &error));
        QVERIFY(AccountStore::accountsOn());
        QCOMPARE(AccountStore::find(QStringLiteral("zhao"))->role, Role::Doctor);
    }

    // A login: the right password lets in and stamps the last login; a
    // wrong password and an unknown name are alike; a disabled account is
    // told apart only with its right password; a reset password replaces the
    // old one. Wrong tries wait 2, 4, 8 … up to 30 seconds from the third on.
    void loginsAreChecked()
    {
        QString error;
        QVERIFY(AccountStore::add(QStringLiteral("wang"), QStringLiteral("王五"), Role::Administrator,
                                  QStringLiteral("secret1"), &error));
        QVERIFY(AccountStore::add(QStringLiteral("li"), QStringLiteral("李四"), Role::Clerk,
                                  QStringLiteral("secret2"), &error));
        Account account;
        QCOMPARE(AccountStore::check(QStringLiteral("li"), QStringLiteral("secret2"), &account),
                 AccountStore::Check::Ok);
        QCOMPARE(account.fullName, QStringLiteral("李四"));
        QCOMPARE(AccountStore::find(QStringLiteral("li"))->lastLogin, QStringLiteral("2024-03-01 08:00:00"));
        QCOMPARE(AccountStore::check(QStringLiteral("li"), QStringLiteral("secret1"), &account),
                 AccountStore::Check::Wrong);
        QCOMPARE(AccountStore::check(QStringLiteral("nobody"), QStringLiteral("secret2"), &account),
                 AccountStore::Check::Wrong);
        QCOMPARE(AccountStore::check(QStringLiteral("LI"), QStringLiteral("secret2"), &account),
                 AccountStore::Check::Wrong);

        QVERIFY(AccountStore::setDisabled(QStringLiteral("li"), true, &error));
        QCOMPARE(AccountStore::check(QStringLiteral("li"), QStringLiteral("secret1"), &account),
                 AccountStore::Check::Wrong);
        QCOMPARE(AccountStore::check(QStringLiteral("li"), QStringLiteral("secret2"), &account),
                 AccountStore::Check::Disabled);
        QVERIFY(AccountStore::setDisabled(QStringLiteral("li"), false, &error));
        QVERIFY(AccountStore::setPassword(QStringLiteral("li"), QStringLiteral("newpass9"), &error));
        QCOMPARE(AccountStore::check(QStringLiteral("li"), QStringLiteral("secret2"), &account),
                 AccountStore::Check::Wrong);
        QCOMPARE(AccountStore::check(QStringLiteral("li"), QStringLiteral("newpass9"), &account),
                 AccountStore::Check::Ok);

        QList<int> waits;
        for (int failures = 1; failures <= 9; ++failures) {
            waits << AccountStore::waitAfter(failures);
        }
        QCOMPARE(waits, (QList<int>{0, 0, 2, 4, 8, 16, 30, 30, 30}));
    }

    // Two administrators at two desks: what the other desk changed a moment
    // ago counts in the change's own transaction, so the last enabled
    // administrator is never disabled or demoted, and the operator whose
    // account was changed loses its rights at the next command. On a server
    // the other desk's change may still be uncommitted: the change waits for
    // it. User names are no longer than the login box takes.
    void lastAdministratorStaysAcrossDesks_data()
    {
        QTest::addColumn<QString>("elsewhere"); // what the other desk does to admin2
        QTest::addColumn<bool>("uncommitted");  // still in its transaction when this desk changes
        QTest::addColumn<QString>("refusal");   // what admin2's session is told then
        QTest::newRow("disabled") << QStringLiteral("停用 = 1") << false
                                  << QStringLiteral("此账户已停用，不能使用此功能。");
        QTest::newRow("demoted") << QStringLiteral("角色 = '医生'") << false
                                 << QStringLiteral("“医生”的权限不能使用此功能。");
        QTest::newRow("disabled at the same moment")
            << QStringLiteral("停用 = 1") << true << QStringLiteral("此账户已停用，不能使用此功能。");
    }
    void lastAdministratorStaysAcrossDesks()
    {
        QFETCH(QString, elsewhere);
        QFETCH(bool, uncommitted);
        QFETCH(QString, refusal);
        if (uncommitted && !test::onServer()) {
            QSKIP("the file lets one desk write at a time");
        }
        QString error;
        QVERIFY(AccountStore::add(QStringLiteral("admin1"), QStringLiteral("甲"), Role::Administrator,
                                  QStringLiteral("secret1"), &error));
        QVERIFY(AccountStore::add(QStringLiteral("admin2"), QStringLiteral("乙"), Role::Administrator,
                                  QStringLiteral("secret2"), &error));
        QVERIFY(AccountStore::add(QString(40, u'名'), QStringLiteral("丙"), Role::Clerk,
                                  QStringLiteral("secret3"), &error));
        QVERIFY(!AccountStore::add(QString(41, u'名') + u'x', QStringLiteral("丁"), Role::Clerk,
                                   QStringLiteral("secret3"), &error));
        QCOMPARE(error, QStringLiteral("用户名最多 40 个字符。"));
        Session::begin(*AccountStore::find(QStringLiteral("admin2")));
        QVERIFY(Session::may(Command::ManageAccounts));

        const QString change = QStringLiteral("update 账户 set %1 where 用户名 = 'admin2'").arg(elsewhere);
        QProcess otherDesk;
        if (uncommitted) {
            otherDesk.setProcessChannelMode(QProcess::MergedChannels);
            otherDesk.start(QStringLiteral("psql"),
                            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                             QStringLiteral("ON_ERROR_STOP=1"), m_folder->conninfo(), QStringLiteral("-c"),
                             QStringLiteral("begin; %1; select pg_sleep(1); commit;").arg(change)});
            QSqlQuery holding(Database::connection());
            QTRY_VERIFY_WITH_TIMEOUT(
                holding.exec(QStringLiteral("select 1 from pg_stat_activity where query like '%pg_sleep%' "
                                            "and state = 'active' and pid <> pg_backend_pid()")) &&
                    holding.next(),
                10000);
        } else {
            QVERIFY(atAnotherDesk(*m_folder, change));
        }
        // admin2's desk, which read both administrators enabled, takes admin1's away.
        const bool disabling = elsewhere.startsWith(QStringLiteral("停用"));
        QVERIFY(disabling ? !AccountStore::setDisabled(QStringLiteral("admin1"), true, &error)
                          : !AccountStore::setRole(QStringLiteral("admin1"), Role::Clerk, &error));
        QCOMPARE(error, AccountStore::kLastAdministrator);
        if (uncommitted) {
            QVERIFY(otherDesk.waitForFinished(10000));
            QVERIFY2(otherDesk.exitCode() == 0, otherDesk.readAll().constData());
        }
        const Account admin1 = *AccountStore::find(QStringLiteral("admin1"));
        QCOMPARE(admin1.role, Role::Administrator);
        QVERIFY(!admin1.disabled);

        QVERIFY(!Session::may(Command::ManageAccounts));
        QVERIFY(!Session::may(Command::RestoreBackup));
        QCOMPARE(Session::refusal(), refusal);
        QVERIFY(Session::may(Command::Lock));
        // Changes that keep an administrator go through.
        QVERIFY2(AccountStore::setRole(QString(40, u'名'), Role::Doctor, &error), qPrintable(error));
        QVERIFY2(AccountStore::setDisabled(QString(40, u'名'), true, &error), qPrintable(error));
        QVERIFY2(AccountStore::setDisabled(QStringLiteral("admin2"), false, &error), qPrintable(error));
    }

    // Wrong tries counted per user name from the login record, whichever
    // window made them: a new window (a restart, another desk) waits as the
    // old one did, until the wait is over by the clock; getting in ends the
    // run. A name that is no account is recorded, and counted, as
    // （未知用户）, never as typed.
    void failuresCountPerNameFromTheRecord_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("purpose"); // of the window that takes the wrong tries
        QTest::addColumn<QString>("recorded");
        QTest::newRow("login") << QStringLiteral("li") << int(LoginPolicy::Purpose::Login)
                               << QStringLiteral("li");
        QTest::newRow("lock") << QStringLiteral("li") << int(LoginPolicy::Purpose::Unlock)
                              << QStringLiteral("li");
        QTest::newRow("own password")
            << QStringLiteral("li") << int(LoginPolicy::Purpose::OwnPassword) << QStringLiteral("li");
        QTest::newRow("unknown name") << QStringLiteral("Kx7-typed-as-name")
                                      << int(LoginPolicy::Purpose::Login) << QStringLiteral("（未知用户）");
    }
    void failuresCountPerNameFromTheRecord()
    {
        QFETCH(QString, user);
        QFETCH(int, purpose);
        QFETCH(QString, recorded);
        QString error;
        QVERIFY(AccountStore::add(QStringLiteral("wang"), QStringLiteral("王五"), Role::Administrator,
                                  QStringLiteral("secret1"), &error));
        QVERIFY(AccountStore::add(QStringLiteral("li"), QStringLiteral("李四"), Role::Clerk,
                                  QStringLiteral("secret2"), &error));
        {
            LoginPolicy window(LoginPolicy::Purpose(purpose), QStringLiteral("li"));
            QList<int> waits;
            for (int i = 0; i < 3; ++i) {
                const LoginPolicy::Result result = window.attempt(u' ' + user, QStringLiteral("wrong-pw"));
                QCOMPARE(result.outcome, LoginPolicy::Outcome::Wrong);
                QCOMPARE(result.message, QStringLiteral("用户名或密码错误。"));
                waits << result.waitSeconds;
                window.endWait();
            }
            QCOMPARE(waits, (QList<int>{0, 0, 2}));
        }
        QCOMPARE(recordLines(), QStringList(3, recorded + QStringLiteral(" 用户名或密码错误")));
        QCOMPARE(LoginPolicy::recordedWait(recorded), 2);
        // Another name has its own count.
        QCOMPARE(LoginPolicy::recordedWait(QStringLiteral("wang")), 0);

        LoginPolicy restarted(LoginPolicy::Purpose::Login);
        LoginPolicy::Result result = restarted.attempt(user, QStringLiteral("secret2"));
        QCOMPARE(result.outcome, LoginPolicy::Outcome::Waiting);
        QCOMPARE(result.message, QStringLiteral("请等待 2 秒后再试。"));
        QVERIFY(restarted.waiting());
        restarted.endWait();
        Clock::setFixed(Clock::now().addSecs(1));
        QCOMPARE(LoginPolicy::recordedWait(recorded), 1);
        Clock::setFixed(Clock::now().addSecs(1));
        QCOMPARE(LoginPolicy::recordedWait(recorded), 0);
        if (recorded == user) {
            // The fourth wrong try waits longer, the right one gets in and
            // ends the run.
            QCOMPARE(restarted.attempt(user, QStringLiteral("wrong-pw")).waitSeconds, 4);
            restarted.endWait();
            Clock::setFixed(Clock::now().addSecs(4));
            result = restarted.attempt(user, QStringLiteral("secret2"));
            QCOMPARE(result.outcome, LoginPolicy::Outcome::LetIn);
            QCOMPARE(result.account.userName, user);
            QCOMPARE(LoginPolicy::recordedWait(user), 0);
            QCOMPARE(recordLines().first(), QStringLiteral("li 登录"));
        } else {
            QCOMPARE(restarted.attempt(user, QStringLiteral("secret2")).waitSeconds, 4);
            QVERIFY(!recordLines().join(u' ').contains(user));
        }
    }

    // No password is kept in plain text: neither the file nor the server's
    // dump holds it, only its Argon2id hash, which verifies it and no other.
    void passwordsAreNeverStoredInPlainText()
    {
        QString error;
        QVERIFY(AccountStore::add(QStringLiteral("wang"), QStringLiteral("王五"), Role::Administrator,
                                  kKnownPassword, &error));
        QVERIFY(
            AccountStore::setPassword(QStringLiteral("wang"), kKnownPassword + QStringLiteral("x"), &error));
        QVERIFY(AccountStore::add(QStringLiteral("li"), QStringLiteral("李四"), Role::Clerk, kKnownPassword,
                                  &error));
        if (!test::onServer()) {
            Database::close(); // every page on disk
        }
        const QByteArray bytes = storedBytes(*m_folder);
        QVERIFY(bytes.contains("$argon2id$"));
        QVERIFY(bytes.contains(QStringLiteral("李四").toUtf8()));
        QVERIFY(!bytes.contains(kKnownPassword.toUtf8()));
        QVERIFY(!bytes.contains(
            QByteArray(reinterpret_cast<const char*>(kKnownPassword.utf16()), kKnownPassword.size() * 2)));

        const QString hash = PasswordHash::make(kKnownPassword);
        QVERIFY(hash.startsWith(QStringLiteral("$argon2id$")));
        QVERIFY(hash != PasswordHash::make(kKnownPassword)); // salted
        QVERIFY(PasswordHash::verify(kKnownPassword, hash));
        QVERIFY(!PasswordHash::verify(kKnownPassword + QStringLiteral("!"), hash));
        QVERIFY(!PasswordHash::verify(kKnownPassword, QString()));
    }

    // What each role may use, and nothing refused without accounts but the
    // commands of an account.
    void rolesAllowAndRefuse()
    {
        QVERIFY(Session::may(Command::Delete));
        QVERIFY(Session::may(Command::ManageAccounts));
        QVERIFY(!Session::may(Command::ChangePassword));
        QVERIFY(!Session::may(Command::Lock));
        const QList<Command> all{Command::Delete,        Command::RestoreVersion, Command::Settings,
                                 Command::RestoreBackup, Command::ManageAccounts, Command::ChangePassword,
                                 Command::Lock};
        auto allowed = [&](Role role) {
            Session::begin(Account{QStringLiteral("u"), QStringLiteral("某"), role, false, {}});
            QList<Command> open;
            for (const Command command : all) {
                if (Session::may(command)) {
                    open << command;
                }
            }
            return open;
        };
        QCOMPARE(allowed(Role::Clerk), (QList<Command>{Command::ChangePassword, Command::Lock}));
        QCOMPARE(allowed(Role::Doctor), (QList<Command>{Command::Delete, Command::RestoreVersion,
                                                        Command::ChangePassword, Command::Lock}));
        QCOMPARE(allowed(Role::Administrator), all);
        QCOMPARE(Session::operatorLine(), QStringLiteral("某（管理员）"));
        QCOMPARE(Session::versionOperator(), QStringLiteral("某（u）"));
    }

    // The login record: every line with time, name as typed, desk and
    // result, newest first, the newest 200 of more.
    void loginRecordKeepsTheNewest()
    {
        QString error;
        for (int i = 0; i < 205; ++i) {
            QVERIFY2(AccountStore::record(QStringLiteral("user%1").arg(i), AccountStore::kWrong, &error),
                     qPrintable(error));
        }
        QVERIFY(AccountStore::record(QStringLiteral("王 五"), AccountStore::kLoggedIn, &error));
        std::vector<LoginEvent> events;
        QVERIFY(AccountStore::loginRecord(events, AccountStore::kLoginRecordShown, &error));
        QCOMPARE(events.size(), size_t(200));
        QCOMPARE(events.front().userName, QStringLiteral("王 五"));
        QCOMPARE(events.front().result, AccountStore::kLoggedIn);
        QCOMPARE(events.front().time, QStringLiteral("2024-03-01 08:00:00"));
        QVERIFY(!events.front().desk.isEmpty());
        QCOMPARE(events[1].userName, QStringLiteral("user204"));
        QCOMPARE(events.back().userName, QStringLiteral("user6"));
    }

    // A database made before accounts gets the tables once, after a safety
    // copy; one that cannot be written stays as it was, without a copy, and
    // the designed login goes on.
    void olderDatabaseGetsTheTables()
    {
        QSqlQuery drop(Database::connection());
        for (const char* table : {"账户", "账户设置", "登录记录"}) {
            QVERIFY(drop.exec(QStringLiteral("drop table ") + QString::fromUtf8(table)));
        }
        QVERIFY(!AccountStore::tablesPresent());
        QVERIFY(!AccountStore::accountsOn());
        QVERIFY(AccountStore::record(QStringLiteral("x"), AccountStore::kLoggedIn)); // nothing to keep
        const QString file = m_folder->databaseFile();
        if (!test::onServer()) {
            QString error;
            {
                const test::ScopedFault failing{test::FaultVfs::Fault::DiskFull};
                const SchemaUpgrade::Result upgrade = SchemaUpgrade::run(Clock::now());
                QCOMPARE(upgrade.outcome, SchemaUpgrade::Outcome::Failed);
                error = upgrade.error;
            }
            QVERIFY(!error.isEmpty());
            QVERIFY(!AccountStore::tablesPresent());
            QVERIFY(safetyCopies(file).isEmpty());
        }
        QString error;
        const SchemaUpgrade::Result upgrade = SchemaUpgrade::run(Clock::now());
        QVERIFY2(upgrade.outcome == SchemaUpgrade::Outcome::Upgraded, qPrintable(upgrade.error));
        QVERIFY(AccountStore::tablesPresent());
        QCOMPARE(safetyCopies(file).size(), test::onServer() ? 0 : 1);
        QCOMPARE(upgrade.safetyCopy.isEmpty(), test::onServer());
        QCOMPARE(SchemaUpgrade::run(Clock::now()).outcome, SchemaUpgrade::Outcome::NothingToDo);
        QCOMPARE(safetyCopies(file).size(), test::onServer() ? 0 : 1);
        QVERIFY(AccountStore::add(QStringLiteral("wang"), QStringLiteral("王五"), Role::Clerk,
                                  QStringLiteral("secret1"), &error));
        QVERIFY(AccountStore::accountsOn());
    }
};

QTEST_GUILESS_MAIN(AccountsTest)
#include "tst_accounts.moc"
