#pragma once
// The program's in-memory copy of the settings record's backup folder and
// margins. Printing, the backup and restore read it; the settings window
// edits it while the window is loaded, so what is typed there counts at once,
// saved or not. The first reader loads it from 设置; it lives until the
// settings window goes (saved, left, its password changed, closed), after
// which the next reader loads it afresh.
#include <QString>

namespace brenvoll {

class CurrentSettings
{
public:
    // The copy, loaded from the table when there is none.
    static const CurrentSettings& get();
    // Loads the copy from the table again (a loaded one included).
    static const CurrentSettings& reload();
    // Forgets the copy.
    static void drop();
    static bool isLoaded();

    // The settings window's edits.
    static void setBackupFolder(const QString& folder);
    // The operator typed or chose a backup folder: from now on the copy's
    // folder counts even though the table could not be read.
    static void folderTyped();
    static void setLeftMarginText(const QString& text);
    static void setTopMarginText(const QString& text);

    QString backupFolder() const { return m_backupFolder; }
    QString leftMarginText() const { return m_leftMargin; }
    QString topMarginText() const { return m_topMargin; }
    // The margins in twips.
    double leftMarginTwips() const;
    double topMarginTwips() const;
    // Why the settings record could not be read; null when it could, and null
    // again once the operator has typed or chosen a backup folder: that
    // folder then counts, saved or not, and the backup on close goes by it.
    QString loadError() const { return m_folderTyped ? QString() : m_loadError; }
    // Why it could not be read, typed folder or not.
    QString readError() const { return m_loadError; }

private:
    void load();

    QString m_backupFolder;
    QString m_leftMargin;
    QString m_topMargin;
    QString m_loadError;
    bool m_folderTyped = false;
};

} // namespace brenvoll
