#include "Features.h"

#include "accounts/AccountStore.h"
#include "accountwindows/AccountCommands.h"
#include "backup/SchemaUpgrade.h"
#include "base/Clock.h"
#include "comparison/ComparisonCommands.h"
#include "drafts/DraftCommands.h"
#include "history/HistoryCommands.h"
#include "reports/ReportWindow.h"
#include "settings/SettingsWindow.h"
#include "sheet/NextExamination.h"
#include "sheet/SheetHost.h"
#include "statistics/StatisticsWindow.h"
#include "ui/CommandTable.h"

namespace brenvoll {

namespace {

// The windows of their own that the menus and the toolbar open.
void addWindowCommands(CommandTable& table)
{
    table.add({.menu = QStringLiteral("文件"),
               .place = 301,
               .text = QStringLiteral("生成报表"),
               .shortcut = QKeySequence(QStringLiteral("Ctrl+B")),
               .button = {4, QStringLiteral("报表"), 4680, QStringLiteral(":/mainwindow/icons/report.svg")},
               .run = [] { ReportWindow::showWindow(); }});
    // Named by its caption without the dots.
    table.add(
        {.menu = QStringLiteral("文件"),
         .place = 302,
         .text = QStringLiteral("统计报表…"),
         .name = QStringLiteral("统计报表"),
         .shortcut = QKeySequence(QStringLiteral("Ctrl+Shift+B")),
         .button = {5, QStringLiteral("统计"), 5820, QStringLiteral(":/mainwindow/icons/statistics.svg")},
         .run = [] { StatisticsWindow::showWindow(); }});
    table.add({.menu = QStringLiteral("设置"),
               .place = 101,
               .text = QStringLiteral("综合设置"),
               .shortcut = QKeySequence(QStringLiteral("Ctrl+C")),
               .gate = [] { return Session::may(Command::Settings); },
               .run = [] { SettingsWindow::showWindow(); }});
}

} // namespace

void addFeatures(SheetHost& host, SheetDrafts& drafts)
{
    addNextExamination(host);
    new DraftCommands(host, drafts);
    new HistoryCommands(host);
    new ComparisonCommands(host);
    new AccountCommands(host, [](QString* error) {
        // The tables come where the database opens; this retries when that failed then.
        const SchemaUpgrade::Result upgrade = SchemaUpgrade::run(Clock::now());
        *error = upgrade.error;
        return AccountStore::tablesPresent();
    });
    addWindowCommands(host.commands());
}

} // namespace brenvoll
