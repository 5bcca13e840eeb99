#include "Startup.h"

#include "Database.h"
#include "EncodedText.h"
#include "LoginWindow.h"
#include "MessageBox.h"
#include "ProgramPaths.h"
#include "mainwindow/MainWindow.h"

#include <QApplication>
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
std::function<void()> g_ender;

// A file up to this size is checked page by page at start-up (well under a
// second); a larger one gets the quick test of its tables, and damage in
// its pages is reported by the operation that meets it.
constexpr qint64 kFullCheckBytes = 64LL * 1024 * 1024;

bool databaseUsable(const QString& file, QString* error)
{
    if (QFileInfo(file).size() <= kFullCheckBytes) {
        return Database::verify(error);
    }
    for (const char* sql :
         {"select count(*) from 设置", "select 1 from 档案 limit 1", "select 1 from 词库 limit 1"}) {
        QSqlQuery query = Database::prepare(QString::fromUtf8(sql), error);
        if (!Database::exec(query, error)) {
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
}
} // namespace

void endProgram()
{
    if (g_ender) {
        g_ender();
        return;
    }
    // Leaves every event loop, so main() returns: windows still loaded go
    // with the process, none runs its own closing work.
    QCoreApplication::exit(0);
}

void setProgramEnder(std::function<void()> ender)
{
    g_ender = std::move(ender);
}

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
    QString title = QString::fromLatin1(kSheetTitleList);
    setSheetTitle(decodeNumberList(title));

    if (!isOrdinaryFile(databasePath(folder))) {
        MessageBox::notice(nullptr, QStringLiteral("数据库文件丢失，请到作者主页下载完整版本！"));
        Shell::openPage(localPageUrl(kMissingPageList));
        return false;
    }

    QString error;
    if (!Database::open(connectionString(folder), &error)) {
        MessageBox::warning(nullptr, QStringLiteral("无法打开数据库：") + error);
        return false;
    }

    if (!databaseUsable(databasePath(folder), &error)) {
        Database::close();
        MessageBox::warning(nullptr, damagedMessage(databasePath(folder), error));
        return false;
    }

    // The main window opens only after a correct password.
    showLoginWindow();
    return true;
}

} // namespace brenvoll
