// The accounts' store on a real database file and a real server: the first
// account, password hashes, checking a login, the roles, the login record,
// and the tables added to a database made before them.
#include "FaultVfs.h"
#include "TestSupport.h"
#include "accounts/AccountStore.h"
#include "accounts/PasswordHash.h"
#include "accounts/Session.h"
#include "backup/Backup.h"
#include "backup/SchemaUpgrade.h"
#include "base/Clock.h"
#include "storage/Database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
