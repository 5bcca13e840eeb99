#include "ServerConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace brenvoll {

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
    if (!QFileInfo::exists(path)) {
        return std::nullopt;
    }
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString& text) -> std::optional<ServerConfig> {
        if (error) {
            *error = text;
        }
        return std::nullopt;
    };
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError || !QFileInfo(path).isReadable()) {
        return fail(QStringLiteral("无法读取配置文件“%1”。").arg(shown));
    }
    ini.beginGroup(QStringLiteral("database"));
    const QString driver = ini.value(QStringLiteral("driver")).toString().trimmed().toLower();
    if (driver.isEmpty() || driver == QLatin1String("sqlite")) {
        return std::nullopt;
    }
    if (driver != QLatin1String("postgresql")) {
        return fail(
            QStringLiteral("配置文件“%1”中的 driver=%2 无法识别，应为 postgresql。").arg(shown, driver));
    }
    ServerConfig config;
    config.host = ini.value(QStringLiteral("host"), QStringLiteral("localhost")).toString().trimmed();
    const QString port = ini.value(QStringLiteral("port"), QStringLiteral("5432")).toString().trimmed();
    bool ok = false;
    config.port = port.toInt(&ok);
    if (!ok || config.port <= 0 || config.port > 65535) {
        return fail(QStringLiteral("配置文件“%1”中的端口 port=%2 不正确。").arg(shown, port));
    }
    config.name = ini.value(QStringLiteral("name")).toString().trimmed();
    config.user = ini.value(QStringLiteral("user")).toString().trimmed();
    if (ini.contains(QStringLiteral("password"))) {
        config.password = ini.value(QStringLiteral("password")).toString();
    }
    config.sslmode = ini.value(QStringLiteral("sslmode")).toString().trimmed();
    if (config.name.isEmpty()) {
        return fail(QStringLiteral("配置文件“%1”中没有填写数据库名 name。").arg(shown));
    }
    return config;
}

bool passwordReadableByOthers(const QString& configFile, const ServerConfig& config)
{
    return config.password && !config.password->isEmpty() &&
           (QFile::permissions(configFile) & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

} // namespace brenvoll
