// The main window's own commands: its menus, and the rows of new, save,
// delete, printing, restoring a backup, help and 退出. The other parts of the
// program add theirs (see Features.cpp); the table builds the menus and the
// toolbar band from all the rows.
#include "AboutWindow.h"
#include "MainWindow.h"
#include "MainWindowPrint.h"
#include "accountwindows/AccountCommands.h"
#include "backup/RestoreWindow.h"
#include "base/EncodedText.h"
#include "drafts/SheetDrafts.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"

namespace brenvoll {

namespace {
const QString kFile = QStringLiteral("文件");
const QString kSettings = QStringLiteral("设置");
const QString kHelp = QStringLiteral("帮助");

QKeySequence keys(const char* shortcut)
{
    return QKeySequence(QString::fromLatin1(shortcut));
}

ToolbarButton button(int index, const char* caption, int leftTwips, const char* icon)
{
    return ToolbarButton{index, QString::fromUtf8(caption), leftTwips, QString::fromLatin1(icon), index == 1};
}
} // namespace

void MainWindow::addOwnCommands()
{
    CommandTable& table = m_commands;
    table.addMenu(kFile, QStringLiteral("文件(F)"));
    table.addMenu(kSettings, QStringLiteral("设置(S)"));
    table.addMenu(kHelp, QStringLiteral("帮助(H)"));

    table.add({.menu = kFile,
               .place = 101,
               .text = QStringLiteral("新建"),
               .shortcut = keys("Ctrl+N"),
               .button = button(0, "新建", 120, ":/mainwindow/icons/new.svg"),
               .run = [this] { newRecord(); }});
    table.add({.menu = kFile,
               .place = 103,
               .text = QStringLiteral("保存"),
               .shortcut = keys("Ctrl+S"),
               .button = button(1, "保存", 1260, ":/mainwindow/icons/save.svg"),
               .run = [this] { saveRecord(); }});
    table.add({.menu = kFile,
               .place = 104,
               .text = QStringLiteral("打印"),
               .shortcut = keys("Ctrl+P"),
               .button = button(3, "打印", 3540, ":/mainwindow/icons/print.svg"),
               .run = [this] { showPrintDialog(*this); }});
    table.add({.menu = kFile,
               .place = 105,
               .text = QStringLiteral("打印预览"),
               .shortcut = keys("Ctrl+Shift+P"),
               .run = [this] { showPrintPreview(*this); }});
    table.add({.menu = kFile,
               .place = 106,
               .text = QStringLiteral("导出PDF…"),
               .shortcut = keys("Ctrl+E"),
               .run = [this] { exportSheetToPdf(*this); }});
    table.add({.menu = kFile, .place = 107, .text = QStringLiteral("批量导出PDF…"), .run = [this] {
                   exportListToPdf(*this);
               }});
    table.add({.menu = kFile,
               .place = 201,
               .text = QStringLiteral("删除"),
               .shortcut = keys("Ctrl+D"),
               .button = button(2, "删除", 2400, ":/mainwindow/icons/delete.svg"),
               .gate = [] { return Session::may(Command::Delete); },
               .run = [this] { deleteRecord(); }});
    // At once: no window's closing work runs, so no backup is made. The
    // unsaved sheet is kept all the same.
    table.add({.text = QStringLiteral("退出"),
               .button = button(6, "退出", 7020, ":/mainwindow/icons/exit.svg"),
               .run = [this] {
                   m_drafts->closeCleanly();
                   AccountCommands::recordLogout();
                   endProgram();
               }});

    // After a restore the main window starts over on the restored records.
    table.add({.menu = kSettings,
               .place = 102,
               .text = QStringLiteral("恢复备份…"),
               .shortcut = keys("Ctrl+Shift+O"),
               .gate = [] { return Session::may(Command::RestoreBackup); },
               .run =
                   [this] {
                       // A shared database lives on its server: only its administrator
                       // restores it, from a dump, for every desk at once.
                       if (Database::isShared()) {
                           MessageBox::notice(
                               this,
                               QStringLiteral("本机使用数据库服务器 %1 上的共享数据库，不能在这里恢复备份。"
                                              "备份文件夹中的“数据库.dump”请由管理员用 pg_restore 恢复。")
                                   .arg(Database::serverName()));
                           return;
                       }
                       connect(RestoreWindow::showWindow(), &RestoreWindow::restored, this,
                               &MainWindow::loadOnStart, Qt::UniqueConnection);
                   }});

    table.add(
        {.menu = kHelp, .place = 101, .text = QStringLiteral("关于"), .shortcut = keys("Ctrl+A"), .run = [] {
             AboutWindow::showWindow();
         }});
    table.add({.menu = kHelp,
               .place = 102,
               .text = QStringLiteral("操作帮助"),
               .shortcut = keys("Ctrl+H"),
               .run = [] { Shell::openPage(localPageUrl(kHelpPageList)); }});
    table.add({.menu = kHelp,
               .place = 103,
               .text = QStringLiteral("访问作者主页"),
               .shortcut = keys("Ctrl+M"),
               .run = [] { Shell::openPage(localPageUrl(kHomePageList)); }});
}

} // namespace brenvoll
