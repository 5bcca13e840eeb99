#include "Startup.h"

#include "LoginWindow.h"
#include "backup/BackupAge.h"
#include "backup/SchemaUpgrade.h"
#include "base/Clock.h"
#include "base/EncodedText.h"
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace brenvoll {

void installTranslations()
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(qApp);
        if (translator->load(QString::fromLatin1(name), dir)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

namespace {
// A file up to this size is checked page by page at start-up (well under a
// second); a larger one gets the quick test of its tables, and damage in
// its pages is reported by the operation that meets it.
constexpr qint64 kFullCheckBytes = 64LL * 1024 * 1024;

bool databaseUsable(const QString& file, QString* error, Database::Diagnosis* diagnosis)
{
    if (QFileInfo(file).size() <= kFullCheckBytes) {
        return Database::verify(error, diagnosis);
    }
    for (const char* sql :
         {"select count(*) from 设置", "select 1 from 档案 limit 1", "select 1 from 词库 limit 1"}) {
        QSqlQuery query = Database::prepare(QString::fromUtf8(sql), error);
        if (!Database::exec(query, error)) {
            *diagnosis = Database::diagnose(query.lastError());
            if (diagnosis->trouble == Database::Trouble::None) {
                diagnosis->trouble = Database::Trouble::Other;
            }
            return false;
        }
    }
    return true;
}

QString damagedMessage(const QString& file, const QString& reason)
{
    return QStringLiteral(
               "数据库文件“%1”已损坏，或者不是本程序的数据库，程序无法使用它。\n原因：%2\n\n"
               "恢复方法：打开备份文件夹（在“设置 → 综合设置”中设定），进入最近一天的日期文件夹"
               "（例如“7日”），把其中的“数据库.db”复制到程序所在的文件夹，替换这个文件后重新启动程序。")
        .arg(file, reason);
}

// Names the permission the program lacks on the database: reading the file,
// writing it (also to roll back an interrupted write), or creating and
// removing the journal in its folder. The engine's refusal decides where the
// file modes do not tell (an administrator may write any file).
QString permissionMessage(const QString& file, const QString& reason, bool writeRefused)
{
    const QFileInfo info(file);
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    QString missing;
    if (!info.isReadable() || (!writeRefused && info.isWritable() && folderWritable)) {
        missing = QStringLiteral("程序没有读取这个文件的权限。请给它加上读取和写入权限后再试。");
    } else if (!info.isWritable() || folderWritable) {
        missing = QStringLiteral("这个文件是只读的，程序没有写入它的权限。请给它加上写入权限后再试。");
    } else {
        missing = QStringLiteral("它所在的文件夹“%1”是只读的，程序没有在其中建立和删除日志文件的权限。"
                                 "请给这个文件夹加上写入权限后再试。")
                      .arg(folder);
    }
    return QStringLiteral("无法使用数据库文件“%1”：%2\n原因：%3").arg(file, missing, reason);
}

// What the operator sees when the database cannot be used at start-up. Only
// real damage calls for the backup: a file that is busy, locked or not
// permitted is whole, and replacing it would lose every record since the
// backup.
QString startUpMessage(const QString& file, const QString& error, const Database::Diagnosis& diagnosis)
{
    const QString reason = diagnosis.engineText.isEmpty() ? error : diagnosis.engineText;
    switch (diagnosis.trouble) {
    case Database::Trouble::InUse:
        return QStringLiteral("数据库正被其他程序使用，请关闭其他程序后再试。\n数据库文件：“%1”\n原因：%2")
            .arg(file, reason);
    case Database::Trouble::ReadOnly:
    case Database::Trouble::NotPermitted:
        return permissionMessage(file, reason, diagnosis.trouble == Database::Trouble::ReadOnly);
    case Database::Trouble::Damaged:
        return damagedMessage(file, error);
    case Database::Trouble::None:
    case Database::Trouble::Other:
        break;
    }
    return QStringLiteral("无法打开数据库文件“%1”。\n原因：%2").arg(file, error);
}

// A shared database on a server, as brenvoll.ini chooses: a password that
// other users can read is pointed out before the login; a server that cannot
// be used is named with the reason, and the program ends.
bool openServerDatabase(const QString& folder, const ServerConfig& config)
{
    const QString configFile = serverConfigPath(folder);
    if (passwordReadableByOthers(configFile, config)) {
        MessageBox::warning(
            nullptr, QStringLiteral("配置文件“%1”中保存着数据库密码，而本机的其他用户也能读取这个文件。"
                                    "请把它改为只有本用户可读，或删去密码、改用 ~/.pgpass。")
                         .arg(QDir::toNativeSeparators(configFile)));
    }
    QString error;
    if (!Database::openServer(config, &error) || !Database::verify(&error)) {
        Database::close();
        MessageBox::warning(nullptr, error);
        return false;
    }
    SchemaUpgrade::runAndTell(nullptr, Clock::now());
    return true;
}

// Sheets typed and not saved in a run that ended without closing (a crash,
// a power cut): one question, and the list of them on yes.
void offerUnsavedSheets(MainWindow& mainWindow)
{
    const DraftsLeftOpen left = mainWindow.drafts()->takeLeftOpen();
    if (left.count == 0) {
        return;
    }
    if (MessageBox::askYesNo(&mainWindow, left.question())) {
        mainWindow.showDrafts();
    }
}

// Whether this start has told the operator about an old backup.
bool g_backupAgeTold = false;

// The toolbar's 退出 leaves without the backup: once a start, before the
// work begins, the operator hears that the newest backup is old or missing
// and how to get one.
void tellOldBackup(MainWindow& mainWindow)
{
    if (g_backupAgeTold) {
        return;
    }
    g_backupAgeTold = true;
    const QString notice = BackupAge::currentNotice();
    if (!notice.isEmpty()) {
        MessageBox::information(&mainWindow, notice);
    }
}

// After the login: the main window, created on first use, loads and shows.
void openMainWindow()
{
    MainWindow* mainWindow = MainWindow::instance();
    if (!mainWindow) {
        mainWindow = new MainWindow();
        mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    mainWindow->loadOnStart();
    mainWindow->show();
    tellOldBackup(*mainWindow);
    offerUnsavedSheets(*mainWindow);
}
} // namespace

LoginWindow* showLoginWindow()
{
    // A window loaded earlier is wired already.
    const bool fresh = !LoginWindow::loaded();
    LoginWindow* login = LoginWindow::showWindow();
    if (fresh) {
        QObject::connect(login, &LoginWindow::loggedIn, login, &openMainWindow);
    }
    return login;
}

bool startUp(const QString& folder)
{
    g_backupAgeTold = false;
    QString title = QString::fromLatin1(kSheetTitleList);
    setSheetTitle(decodeNumberList(title));

    QString configError;
    if (const auto server = readServerConfig(folder, &configError)) {
        if (!openServerDatabase(folder, *server)) {
            return false;
        }
        showLoginWindow();
        return true;
    }
    if (!configError.isEmpty()) {
        MessageBox::warning(nullptr, configError);
        return false;
    }

    if (!isOrdinaryFile(databasePath(folder))) {
        MessageBox::notice(nullptr, QStringLiteral("数据库文件丢失，请到作者主页下载完整版本！"));
        Shell::openPage(localPageUrl(kMissingPageList));
        return false;
    }

    const QString file = databasePath(folder);
    QString error;
    Database::Diagnosis diagnosis;
    if (!Database::open(connectionString(folder), &error, &diagnosis) ||
        !databaseUsable(file, &error, &diagnosis)) {
        Database::close();
        MessageBox::warning(nullptr, startUpMessage(file, error, diagnosis));
        return false;
    }
    // An older database gets what this program adds beside the designed
    // tables before anything reads it; the program works on if it cannot.
    SchemaUpgrade::runAndTell(nullptr, Clock::now());

    // The main window opens only after a correct password.
    showLoginWindow();
    return true;
}

} // namespace brenvoll
