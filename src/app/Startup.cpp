#include "Startup.h"

#include "Database.h"
#include "Form5.h"
#include "MessageBox.h"
#include "Module1.h"

#include <QApplication>
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

bool startUp(const QString& folder)
{
    QString title = QString::fromLatin1(kSheetTitleList);
    setSheetTitle(DecodeNumberList(title));

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

    // The main window opens only after a correct password.
    Form5::showWindow();
    return true;
}

} // namespace brenvoll
