#include "CommandLine.h"

#include "LoginWindow.h"
#include "Startup.h"
#include "base/ProgramPaths.h"
#include "base/ProgramVersion.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QTextStream>

#include <cstring>

namespace brenvoll {

CommandLineRequest commandLineRequest(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            return CommandLineRequest::Help;
        }
        if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-v") == 0) {
            return CommandLineRequest::Version;
        }
        if (std::strcmp(argument, "--check-start") == 0) {
            return CommandLineRequest::CheckStart;
        }
    }
    return CommandLineRequest::Start;
}

QString helpText()
{
    return QStringLiteral("usage: brenvoll [--check-start | --help | --version]\n"
                          "\n"
                          "健康体检档案: the yearly health examinations of a clinic.\n"
                          "\n"
                          "Run from a build or an unpacked folder, the program keeps its database\n"
                          "(数据库.db), brenvoll.ini and the drafts beside itself. Installed from the\n"
                          "package, it keeps them in the folder that data= names in\n"
                          "/etc/brenvoll/brenvoll.conf, else in $XDG_DATA_HOME/brenvoll\n"
                          "(~/.local/share/brenvoll), where the first start copies the delivered\n"
                          "database.\n"
                          "\n"
                          "  --check-start  start as usual up to the first window without a person:\n"
                          "                 prints the window that opened and any message, then ends\n"
                          "                 (0 when the login window opened)\n"
                          "  -h, --help     this text\n"
                          "  -v, --version  the version and the data folder in use\n");
}

QString versionText(const QString& dataFolder)
{
    return QStringLiteral("brenvoll %1\ndata folder: %2\n").arg(programVersionText(), dataFolder);
}

int checkStart(const QString& programFolder, const QString& dataFolder)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    MessageBox::setAnswerMode(true);
    QString error;
    const bool started = prepareDataFolder(programFolder, dataFolder, &error) && startUp(dataFolder);
    if (!error.isEmpty()) {
        err << error << '\n';
    }
    for (const MessageBox::Shown& shown : MessageBox::takeShown()) {
        err << "message: " << shown.text << '\n';
    }
    out << "data folder: " << dataFolder << '\n';
    LoginWindow* login = LoginWindow::loaded();
    const bool loginShown = started && login && login->isVisible();
    if (loginShown) {
        out << "window: " << login->windowTitle() << " (" << login->objectName() << ")\n";
        login->close();
    } else {
        out << "window: none\n";
    }
    Database::close();
    return loginShown ? 0 : 1;
}

} // namespace brenvoll
