#pragma once
// The main window's commands: the toolbar band and the menu bar. Both call the
// same operations, so that a command behaves alike from either place.
namespace brenvoll {

class MainWindow;

// Fills the toolbar band with its buttons and gives the window its menu bar.
void buildCommands(MainWindow& form);

// Runs the command of toolbar button `index` (0 新建, 1 保存, 2 删除, 3 打印,
// 4 报表, 5 统计, 6 退出); other indices do nothing.
void runToolbarCommand(MainWindow& form, int index);

} // namespace brenvoll
