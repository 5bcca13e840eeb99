#include "ProgramFiles.h"

#include "Database.h"
#include "ServerConfig.h"
#include "base/ProgramPaths.h"

#include <QCoreApplication>

namespace brenvoll {

QStringList programFiles()
{
    const QString folder = dataFolder();
    QStringList files{QCoreApplication::applicationFilePath(), serverConfigPath(folder)};
    QStringList databases{databasePath(folder)};
    if (Database::isOpen() && !Database::filePath().isEmpty()) {
        databases << Database::filePath();
    }
    for (const QString& database : databases) {
        files << database << draftsPath(database);
    }
    files.removeDuplicates();
    return files;
}

} // namespace brenvoll
