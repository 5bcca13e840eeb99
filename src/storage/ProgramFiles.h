#pragma once
// The files the program itself lives on, which nothing it exports may
// replace or write through.
#include <QStringList>

namespace brenvoll {

// The running program file, its configuration file (brenvoll.ini), the
// database in use and the drafts beside it, and the database and drafts
// beside the program (with a server, the drafts kept there).
QStringList programFiles();

} // namespace brenvoll
