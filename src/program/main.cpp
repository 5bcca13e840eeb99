#include "Startup.h"
#include "base/ProgramPaths.h"
#include "ui/ScreenFit.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvoll"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    brenvoll::installTranslations();
    brenvoll::fitWindowsToScreen();
    if (!brenvoll::startUp(brenvoll::programFolder())) {
        return 0;
    }
    return QApplication::exec();
}
