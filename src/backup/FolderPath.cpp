#include "FolderPath.h"

#include <QCoreApplication>
#include <QDir>

namespace brenvoll {

void createFolderPath(QString& path)
{
    const QChar separator = QDir::separator();
    QString unified = path;
    unified.replace(u'\\', separator).replace(u'/', separator);
    unified += separator;
    // Keep a leading pair (a network share); fold every other doubled separator.
    const bool share = unified.startsWith(QString(2, separator));
    QString folded;
    folded.reserve(unified.size());
    for (qsizetype i = 0; i < unified.size(); ++i) {
        if (unified[i] == separator && !folded.isEmpty() && folded.back() == separator &&
            !(share && i == 1)) {
            continue;
        }
        folded += unified[i];
    }
    path = folded;

    qsizetype start = share ? 2 : 0;
    while (true) {
        QCoreApplication::processEvents();
        const qsizetype levelEnd = path.indexOf(separator, start);
        if (levelEnd < 0) {
            break;
        }
        const QString level = path.left(levelEnd + 1);
        QDir().mkdir(level); // an existing level or a root simply fails
        start = levelEnd + 1;
    }
}

} // namespace brenvoll
