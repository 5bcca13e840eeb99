#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

// The `data=` line of the system configuration: an absolute folder, or
// empty when the file, the line or an absolute value is missing. Blank
// lines and those starting with # are comments.
QString configuredDataFolder(const QString& configFile)
{
    QFile file(configFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QString folder;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed() == QLatin1String("data")) {
            folder = line.mid(eq + 1).trimmed();
        }
    }
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder)) {
        return {};
    }
    return QDir::cleanPath(folder);
}
} // namespace

QString programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

bool isInstalledIn(const QString& programFolder)
{
    return QFileInfo(QDir(programFolder).filePath(QString::fromLatin1(kInstalledMark))).isFile();
}

QString dataFolderFor(const QString& programFolder, const QString& configFile, const QString& xdgDataHome,
                      const QString& home)
{
    if (!isInstalledIn(programFolder)) {
        return programFolder;
    }
    const QString configured = configuredDataFolder(configFile);
    if (!configured.isEmpty()) {
        return QDir::toNativeSeparators(configured);
    }
    // A relative $XDG_DATA_HOME is invalid and ignored, as the XDG base
    // directory rules say.
    const QString base = !xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome)
                             ? xdgDataHome
                             : QDir(home).filePath(QStringLiteral(".local/share"));
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(base).filePath(QStringLiteral("brenvoll"))));
}

QString dataFolder()
{
    return dataFolderFor(programFolder(), QString::fromLatin1(kSystemConfigFile),
                         qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
}

bool prepareDataFolder(const QString& programFolder, const QString& dataFolder, QString* error)
{
    if (QDir::cleanPath(programFolder) == QDir::cleanPath(dataFolder)) {
        return true;
    }
    if (!QDir().mkpath(dataFolder)) {
        *error = QStringLiteral("无法建立数据文件夹“%1”。请检查它的上级文件夹是否存在、是否可写。")
                     .arg(dataFolder);
        return false;
    }
    const QString database = databasePath(dataFolder);
    if (QFileInfo::exists(database)) {
        return true;
    }
    const QString delivered = databasePath(programFolder);
    // Copied under a temporary name and renamed: a start that is cut short
    // leaves no half database for the next start to take as the clinic's.
    const QString partial = database + QStringLiteral(".new");
    QFile::remove(partial);
    if (!QFile::copy(delivered, partial)) {
        *error =
            QStringLiteral("无法把程序附带的数据库“%1”复制到数据文件夹“%2”。").arg(delivered, dataFolder);
        return false;
    }
    // The records are the clinic's: the user's own file, or the group's in a
    // shared folder that an administrator set up for several users.
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (!dataFolder.startsWith(QDir::toNativeSeparators(QDir::homePath()) + QDir::separator())) {
        permissions |= QFile::ReadGroup | QFile::WriteGroup;
    }
    QFile::setPermissions(partial, permissions);
    if (!QFile::rename(partial, database)) {
        QFile::remove(partial);
        *error = QStringLiteral("无法在数据文件夹“%1”中建立数据库文件。").arg(dataFolder);
        return false;
    }
    return true;
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
