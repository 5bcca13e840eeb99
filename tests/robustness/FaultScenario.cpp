#include "FaultScenario.h"

#include "FaultVfs.h"
#include "HelperProcess.h"
#include "TestSupport.h"
#include "storage/Database.h"

#include <QFile>

#include <unistd.h>

namespace brenvoll::robust {

using test::FaultVfs;

namespace {

bool fail(QString* why, const QString& text)
{
    if (why) {
        *why = text;
    }
    return false;
}

QString kept(const test::TestFolder& folder)
{
    return folder.databaseFile() + QStringLiteral(".kept");
}

// A second name for the database file, so that its records survive the
// removal of the first name and can be put back.
bool keepFile(const test::TestFolder& folder)
{
    QFile::remove(kept(folder));
    return ::link(QFile::encodeName(folder.databaseFile()).constData(),
                  QFile::encodeName(kept(folder)).constData()) == 0;
}

bool reopen(test::TestFolder& folder, FaultVfs::Fault fault, QString* why)
{
    Database::close();
    FaultVfs::set(fault);
    return folder.open() || fail(why, QStringLiteral("cannot reopen the database"));
}

} // namespace

QList<FaultScenario::Kind> FaultScenario::all()
{
    return {DiskFull,   DiskFullMidCommit,
            WriteError, WriteErrorMidCommit,
            SyncError,  SyncErrorAtDatabase,
            ReadError,  ReadOnly,
            Locked,     Deleted,
            MovedAway,  Replaced};
}

QString FaultScenario::name(Kind kind)
{
    static const char* const names[] = {
        "disk full",
        "disk full in the middle of a commit",
        "write error",
        "write error in the middle of a commit",
        "sync error",
        "sync error at the database file",
        "read error",
        "read-only database",
        "locked by another process",
        "file deleted",
        "file moved away",
        "file replaced by another database",
    };
    return QString::fromLatin1(names[kind]);
}

FaultScenario::FaultScenario(Kind kind, test::TestFolder& folder) : m_kind(kind), m_folder(folder) {}

FaultScenario::~FaultScenario()
{
    if (m_active) {
        end();
    }
}

QString FaultScenario::reason() const
{
    switch (m_kind) {
    case DiskFull:
    case DiskFullMidCommit:
        return QStringLiteral("磁盘已满，无法写入数据库。");
    case WriteError:
    case WriteErrorMidCommit:
    case SyncError:
    case SyncErrorAtDatabase:
    case ReadError:
        return QStringLiteral("读写数据库文件时出错（磁盘或文件系统错误）。");
    case ReadOnly:
        return QStringLiteral("数据库文件是只读的，无法写入。");
    case Locked:
        return QStringLiteral("数据库正被另一个程序使用，请稍后再试。");
    case Deleted:
    case MovedAway:
    case Replaced:
        return QStringLiteral("已被删除、移走或替换，本次操作没有执行，以免记录丢失。");
    }
    return {};
}

bool FaultScenario::readsFail() const
{
    return m_kind == ReadError || m_kind == Locked || m_kind == Deleted || m_kind == MovedAway ||
           m_kind == Replaced;
}

bool FaultScenario::readsMayFail() const
{
    return readsFail() || m_kind == DiskFullMidCommit || m_kind == WriteErrorMidCommit ||
           m_kind == SyncErrorAtDatabase;
}

bool FaultScenario::begin(QString* why)
{
    m_active = true;
    const QString db = m_folder.databaseFile();
    switch (m_kind) {
    case DiskFull:
        FaultVfs::set(FaultVfs::Fault::DiskFull);
        return true;
    case DiskFullMidCommit: // the journal is written, the database half
        FaultVfs::set(FaultVfs::Fault::DiskFull, 8);
        return true;
    case WriteError:
        FaultVfs::set(FaultVfs::Fault::WriteError);
        return true;
    case WriteErrorMidCommit:
        FaultVfs::set(FaultVfs::Fault::WriteError, 6);
        return true;
    case SyncError:
        FaultVfs::set(FaultVfs::Fault::SyncError);
        return true;
    case SyncErrorAtDatabase: // after the journal's syncs
        FaultVfs::set(FaultVfs::Fault::SyncError, 2);
        return true;
    case ReadError:
        FaultVfs::set(FaultVfs::Fault::ReadError);
        return true;
    case ReadOnly:
        return reopen(m_folder, FaultVfs::Fault::ReadOnly, why);
    case Locked:
        m_holder = std::make_unique<HelperProcess>(
            QStringList{QStringLiteral("hold"), m_folder.path(), QStringLiteral("-1")});
        return m_holder->waitForLine(QStringLiteral("held")) ||
               fail(why, QStringLiteral("no lock: ") + m_holder->lines().join(u' '));
    case Deleted:
        return (keepFile(m_folder) && QFile::remove(db)) || fail(why, QStringLiteral("cannot delete"));
    case MovedAway:
        return QFile::rename(db, kept(m_folder)) || fail(why, QStringLiteral("cannot move"));
    case Replaced: {
        const QString other = db + QStringLiteral(".other");
        QFile::remove(other);
        return (keepFile(m_folder) && QFile::copy(test::deliveredDatabase(), other) &&
                ::rename(QFile::encodeName(other).constData(), QFile::encodeName(db).constData()) == 0) ||
               fail(why, QStringLiteral("cannot replace"));
    }
    }
    return false;
}

bool FaultScenario::end(QString* why)
{
    m_active = false;
    const QString db = m_folder.databaseFile();
    switch (m_kind) {
    case ReadOnly:
        return reopen(m_folder, FaultVfs::Fault::None, why);
    case Locked:
        m_holder->closeInput();
        return m_holder->waitForLine(QStringLiteral("released")) || fail(why, QStringLiteral("lock kept"));
    case Deleted:
    case MovedAway:
    case Replaced:
        // Put the very file back (same inode): the open connection goes on.
        return ::rename(QFile::encodeName(kept(m_folder)).constData(), QFile::encodeName(db).constData()) ==
                   0 ||
               fail(why, QStringLiteral("cannot put the file back"));
    default:
        FaultVfs::set(FaultVfs::Fault::None);
        return true;
    }
}

} // namespace brenvoll::robust
