#include "FolderPath.h"

#include <QCoreApplication>
#include <QDir>

namespace brenvoll {

void createFolderPath(QString& path)
{
    const QChar s = QDir::separator();
    QString p = path;
    p.replace(u'\\', s).replace(u'/', s);
    p += s;
    // Keep a leading pair (a network share); fold every other doubled separator.
    const bool share = p.startsWith(QString(2, s));
    QString folded;
    folded.reserve(p.size());
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i] == s && !folded.isEmpty() && folded.back() == s && !(share && i == 1)) {
            continue;
        }
        folded += p[i];
    }
    path = folded;

    qsizetype start = share ? 2 : 0;
    while (true) {
        QCoreApplication::processEvents();
        const qsizetype p2 = path.indexOf(s, start);
        if (p2 < 0) {
            break;
        }
        const QString level = path.left(p2 + 1);
        QDir().mkdir(level); // an existing level or a root simply fails
        start = p2 + 1;
    }
}

} // namespace brenvoll
