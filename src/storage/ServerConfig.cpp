#include "ServerConfig.h"

#include "base/IniText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace brenvoll {

namespace {
const QStringList kKeys{QStringLiteral("driver"), QStringLiteral("host"), QStringLiteral("port"),
                        QStringLiteral("name"),   QStringLiteral("user"), QStringLiteral("password"),
                        QStringLiteral("sslmode")};
// libpq's own word for the database name is accepted beside the file's.
const QString kNameAlias = QStringLiteral("dbname");
const QStringList kSslModes{QStringLiteral("disable"),   QStringLiteral("allow"),
                            QStringLiteral("prefer"),    QStringLiteral("require"),
                            QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

QString problemText(const IniText& ini)
{
    const QString line = QString::number(ini.problemLine);
    switch (ini.problem) {
    case IniText::Problem::NotText:
        return QStringLiteral("不是文本文件，或者编码无法识别（请用记事本另存为 UTF-8 编码）");
    case IniText::Problem::NoEquals:
        return QStringLiteral("第 %1 行“%2”不是“名称=值”的形式").arg(line, ini.problemText);
    case IniText::Problem::NoKey:
        return QStringLiteral("第 %1 行“%2”的等号前没有名称").arg(line, ini.problemText);
    case IniText::Problem::OpenSection:
        return QStringLiteral("第 %1 行“%2”缺少右方括号“]”").arg(line, ini.problemText);
    case IniText::Problem::OpenQuote:
        return QStringLiteral("第 %1 行的值以双引号开头，却没有与之配对的双引号").arg(line);
    case IniText::Problem::AfterQuote:
        return QStringLiteral("第 %1 行在双引号括起的值后面还有文字").arg(line);
    case IniText::Problem::None:
        break;
    }
    return {};
}
} // namespace

QString ServerConfig::server() const
{
    return host + u':' + QString::number(port);
}

QString serverConfigPath(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("brenvoll.ini"));
}

std::optional<ServerConfig> readServerConfig(const QString& folder, QString* error)
{
    if (error) {
        error->clear();
    }
    const QString path = serverConfigPath(folder);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        return std::nullopt;
    }
    return readServerConfigFile(path, error);
}

std::optional<ServerConfig> readServerConfigFile(const QString& path, QString* error)
{
    if (error) {
        error->clear();
    }
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString& text) -> std::optional<ServerConfig> {
        if (error) {
            *error = QStringLiteral("配置文件“%1”有误：%2。").arg(shown, text);
        }
        return std::nullopt;
    };
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("无法读取配置文件“%1”。").arg(shown);
        }
        return std::nullopt;
    }
    const IniText ini = readIniText(file.readAll());
    if (ini.problem != IniText::Problem::None) {
        return fail(problemText(ini));
    }
    const auto isDatabase = [](const QString& section) {
        return section.compare(QLatin1String("database"), Qt::CaseInsensitive) == 0;
    };
    if (std::none_of(ini.sections.begin(), ini.sections.end(), isDatabase)) {
        return fail(QStringLiteral("未找到 [database] 段（请在各项设置之前单独写一行 [database]）"));
    }
    // Every setting of the section once, by its name in any letter case; a
    // name the program does not know is a misspelling, not something to skip.
    QHash<QString, IniEntry> settings;
    for (const IniEntry& entry : ini.entries) {
        if (!isDatabase(entry.section)) {
            continue;
        }
        QString key = entry.key.toLower();
        if (key == kNameAlias) {
            key = QStringLiteral("name");
        }
        if (!kKeys.contains(key)) {
            return fail(QStringLiteral("第 %1 行的 %2 无法识别，[database] 段中可以填写的是 %3")
                            .arg(QString::number(entry.line), entry.key, kKeys.join(QStringLiteral("、"))));
        }
        if (const auto earlier = settings.constFind(key); earlier != settings.cend()) {
            return fail(QStringLiteral("%1 填写了两次（第 %2 行和第 %3 行）")
                            .arg(key, QString::number(earlier->line), QString::number(entry.line)));
        }
        settings.insert(key, entry);
    }
    const auto value = [&](const QString& key) { return settings.value(key).value; };

    const QString driver = value(QStringLiteral("driver")).toLower();
    if (driver.isEmpty()) {
        return fail(QStringLiteral("driver 未填写，应为 driver=postgresql"));
    }
    if (driver != QLatin1String("postgresql") && driver != QLatin1String("postgres")) {
        QString text =
            QStringLiteral("driver=%1 无法识别，应为 postgresql").arg(value(QStringLiteral("driver")));
        if (driver == QLatin1String("sqlite")) {
            text += QStringLiteral("（要使用本机的“数据库.db”，请删除这个配置文件）");
        }
        return fail(text);
    }
    ServerConfig config;
    config.host = value(QStringLiteral("host"));
    if (config.host.isEmpty()) {
        config.host = QStringLiteral("localhost");
    }
    const QString port =
        settings.contains(QStringLiteral("port")) ? value(QStringLiteral("port")) : QStringLiteral("5432");
    bool ok = false;
    config.port = port.toInt(&ok);
    if (!ok || config.port <= 0 || config.port > 65535) {
        return fail(QStringLiteral("端口 port=%1 不正确").arg(port));
    }
    config.name = value(QStringLiteral("name"));
    if (config.name.isEmpty()) {
        return fail(QStringLiteral("没有填写数据库名 name"));
    }
    config.user = value(QStringLiteral("user"));
    if (settings.contains(QStringLiteral("password"))) {
        config.password = value(QStringLiteral("password"));
    }
    config.sslmode = value(QStringLiteral("sslmode")).toLower();
    if (!config.sslmode.isEmpty() && !kSslModes.contains(config.sslmode)) {
        return fail(QStringLiteral("sslmode=%1 不正确，应为 %2")
                        .arg(value(QStringLiteral("sslmode")), kSslModes.join(QStringLiteral("、"))));
    }
    return config;
}

QString conninfoValue(const QString& value)
{
    QString quoted = value;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + quoted + u'\'';
}

bool passwordReadableByOthers(const QString& configFile, const ServerConfig& config)
{
    return config.password && !config.password->isEmpty() &&
           (QFile::permissions(configFile) & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

} // namespace brenvoll
