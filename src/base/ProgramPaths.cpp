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

// A value as the connection string carries it: as it is when nothing in it
// could be mistaken for the string's own punctuation, else between double
// quotes with each double quote inside doubled, so that a folder name may
// hold ";", "=", quotes and blanks.
QString connectionValue(const QString& value)
{
    const bool plain = !value.isEmpty() && !value.front().isSpace() && !value.back().isSpace() &&
                       !value.contains(u';') && !value.contains(u'=') && !value.contains(u'"') &&
                       !value.contains(u'\'');
    if (plain) {
        return value;
    }
    return u'"' + QString(value).replace(u'"', QStringLiteral("\"\"")) + u'"';
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

QString draftsPath(const QString& databaseFile)
{
    const QFileInfo info(databaseFile);
    return QDir::toNativeSeparators(info.dir().filePath(info.completeBaseName() + QStringLiteral(".drafts")));
}

QString connectionString(const QString& folder)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
           connectionValue(databasePath(folder)) + QStringLiteral(";Jet OLEDB:Database Password=") +
           QStringLiteral("mk4817") + u';';
}

QString dataSourceOf(const QString& connection)
{
    qsizetype at = 0;
    const qsizetype size = connection.size();
    while (at < size) {
        const qsizetype eq = connection.indexOf(u'=', at);
        if (eq < 0) {
            break;
        }
        const QString key = connection.mid(at, eq - at).trimmed();
        at = eq + 1;
        while (at < size && connection.at(at).isSpace()) {
            ++at;
        }
        QString value;
        if (at < size && (connection.at(at) == u'"' || connection.at(at) == u'\'')) {
            // A quoted value runs to its closing quote; a doubled quote
            // stands for one.
            const QChar quote = connection.at(at++);
            while (at < size) {
                if (connection.at(at) == quote) {
                    if (at + 1 < size && connection.at(at + 1) == quote) {
                        value += quote;
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                value += connection.at(at++);
            }
            const qsizetype end = connection.indexOf(u';', at);
            at = end < 0 ? size : end + 1;
        } else {
            const qsizetype end = connection.indexOf(u';', at);
            value = connection.mid(at, (end < 0 ? size : end) - at).trimmed();
            at = end < 0 ? size : end + 1;
        }
        if (key.compare(u"Data Source", Qt::CaseInsensitive) == 0) {
            return value;
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
