#pragma once
// How old the newest backup in the backup folder is. The toolbar's 退出 ends
// the program without the backup that closing the main window makes, so a
// clinic that always leaves through it may have no recent copy at all; the
// operator hears of it once after the login.
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace brenvoll {

class BackupAge
{
public:
    // A backup older than this many days is pointed out.
    static constexpr qint64 kDaysTold = 7;

    // When the newest copy named `fileName` ("数据库.db", "数据库.dump") in
    // the day folders 1日 … 31日 of `backupFolder` (the home folder when it is
    // empty, as the backup uses it) was written; none when there is none. A
    // link is no copy: it is never followed.
    static std::optional<QDateTime> newest(const QString& backupFolder, const QString& fileName);

    // The notice for a newest backup written at `newest` (none: never) as
    // seen on `today`; empty when the backup is recent enough.
    static QString notice(const std::optional<QDateTime>& newest, const QDate& today);

    // The notice for the program's own backup folder (the program's copy of
    // the settings) and database (with a server, its dump), seen on
    // Clock::today(); empty when the backup is recent or the settings could
    // not be read (the backup on close then says why it cannot run).
    static QString currentNotice();
};

} // namespace brenvoll
