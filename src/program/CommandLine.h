#pragma once
// What the program does with its command line besides starting: --help and
// --version answer without a display; --check-start runs the start-up as
// an operator's start would, without a person, for whoever installs it.
#include <QString>
#include <QStringList>

namespace brenvoll {

enum class CommandLineRequest
{
    Start,      // the program as the operator starts it
    Help,       // --help, -h
    Version,    // --version, -v
    CheckStart, // --check-start
};

// What argv asks for; Qt's own options (-platform …) are left to Qt.
CommandLineRequest commandLineRequest(int argc, char** argv);

QString helpText();
// "brenvoll 2.0" and the line naming the data folder in use.
QString versionText(const QString& dataFolder);

// Runs the start-up with every message box answered and recorded instead of
// shown: 0 when the login window opened, 1 otherwise. Says on standard
// output which window opened and on standard error the messages shown.
int checkStart(const QString& programFolder, const QString& dataFolder);

} // namespace brenvoll
