#include "CurrentSettings.h"

#include "SettingsStore.h"

#include <optional>

namespace brenvoll {

namespace {
std::optional<CurrentSettings> g_copy;

CurrentSettings& copy()
{
    if (!g_copy) {
        CurrentSettings::reload();
    }
    return *g_copy;
}
} // namespace

const CurrentSettings& CurrentSettings::get()
{
    return copy();
}

const CurrentSettings& CurrentSettings::reload()
{
    g_copy.emplace();
    g_copy->load();
    return *g_copy;
}

void CurrentSettings::load()
{
    Settings settings;
    QString error;
    if (SettingsStore::read(settings, &error)) {
        m_backupFolder = settings.folder;
        m_leftMargin = settings.leftMargin;
        m_topMargin = settings.topMargin;
    } else {
        // No invented values: with the record unreadable there is no folder
        // and the margins count as 0.
        m_loadError = error.isEmpty() ? QStringLiteral("数据库操作失败。") : error;
    }
}

void CurrentSettings::drop()
{
    g_copy.reset();
}

bool CurrentSettings::isLoaded()
{
    return g_copy.has_value();
}

void CurrentSettings::setBackupFolder(const QString& folder)
{
    copy().m_backupFolder = folder;
}

void CurrentSettings::folderTyped()
{
    copy().m_folderTyped = true;
}

void CurrentSettings::setLeftMarginText(const QString& text)
{
    copy().m_leftMargin = text;
}

void CurrentSettings::setTopMarginText(const QString& text)
{
    copy().m_topMargin = text;
}

double CurrentSettings::leftMarginTwips() const
{
    return SettingsStore::marginTwips(m_leftMargin);
}

double CurrentSettings::topMarginTwips() const
{
    return SettingsStore::marginTwips(m_topMargin);
}

} // namespace brenvoll
