#pragma once

namespace brenvoll {

// Makes the program's icons (":/mainwindow/icons/...") available.
void initIcons();

} // namespace brenvoll
