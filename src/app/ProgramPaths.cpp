#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace brenvoll {

namespace {
QString sep()
{
    return QString(QDir::separator());
}
} // namespace

QString programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString databasePath(const QString& folder)
{
    return folder + sep() + QStringLiteral("数据库.db");
}

QString connectionString(const QString& folder)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + databasePath(folder) +
           QStringLiteral(";Jet OLEDB:Database Password=") + QStringLiteral("mk4817") + u';';
}

QString dataSourceOf(const QString& connection)
{
    const auto parts = connection.split(u';');
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().compare(u"Data Source", Qt::CaseInsensitive) == 0) {
            return part.mid(eq + 1);
        }
    }
    return {};
}

bool isOrdinaryFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

} // namespace brenvoll
