#pragma once
// brenvoll-report statistics: the count of 体检统计 for a period, written as
// CSV or .xlsx for scripts and for the county, by the very code the window
// counts with.
//
//   brenvoll-report statistics (--db FILE | --ini FILE) --from YYYY-MM-DD --to YYYY-MM-DD
//                   [--address TEXT] [--groups five|elderly] [--population FILE.csv]
//                   (--csv OUT.csv | --xlsx OUT.xlsx)
//
// Exit status 0 when the file is written; 2 with one line on standard error
// for a bad argument, a database that cannot be opened or read, a period
// without examinations or a file that cannot be written, and then nothing is
// written.
#include <QString>
#include <QStringList>

namespace brenvoll {

struct CommandResult
{
    int exitCode = 0;
    QString output; // for standard output
    QString error;  // one line for standard error
};

// `arguments` without the program's name.
CommandResult runReportCommand(const QStringList& arguments);

QString reportCommandUsage();

} // namespace brenvoll
