#include "CommandLine.h"
#include "Startup.h"
#include "base/ProgramPaths.h"
#include "base/ProgramVersion.h"
#include "ui/MessageBox.h"
#include "ui/ScreenFit.h"

#include <QApplication>
#include <QTextStream>

namespace {
// --help and --version answer on a terminal without a display, where
// QApplication could not start.
int answerWithoutWindows(int argc, char* argv[], brenvoll::CommandLineRequest request)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    if (request == brenvoll::CommandLineRequest::Help) {
        out << brenvoll::helpText();
    } else {
        out << brenvoll::versionText(brenvoll::dataFolder());
    }
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    const brenvoll::CommandLineRequest request = brenvoll::commandLineRequest(argc, argv);
    if (request == brenvoll::CommandLineRequest::Help || request == brenvoll::CommandLineRequest::Version) {
        return answerWithoutWindows(argc, argv, request);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvoll"));
    QApplication::setApplicationVersion(brenvoll::programVersionText());
    brenvoll::installTranslations();
    brenvoll::fitWindowsToScreen();
    const QString programFolder = brenvoll::programFolder();
    const QString dataFolder = brenvoll::dataFolder();
    if (request == brenvoll::CommandLineRequest::CheckStart) {
        return brenvoll::checkStart(programFolder, dataFolder);
    }
    QString error;
    if (!brenvoll::prepareDataFolder(programFolder, dataFolder, &error)) {
        brenvoll::MessageBox::warning(nullptr, error);
        return 0;
    }
    if (!brenvoll::startUp(dataFolder)) {
        return 0;
    }
    return QApplication::exec();
}
