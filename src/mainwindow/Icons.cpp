#include "Icons.h"

#include <QtGlobal>

// Resources of a static library are registered by hand.
static void registerMainWindowResources()
{
    Q_INIT_RESOURCE(mainwindow);
}

namespace brenvoll {

void initIcons()
{
    registerMainWindowResources();
}

} // namespace brenvoll
