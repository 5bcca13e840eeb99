#pragma once
// The faults the program must survive, each put in place and taken away on a
// test folder whose database is the program's open connection: a full disk
// and I/O errors (injected through FaultVfs), a read-only database, a database
// locked by another process, and the file deleted, moved away or replaced
// while the program runs. Every operation that writes must then fail with a
// message containing reason(); reads fail too where readsFail().
//
// For another operation (phrase add, settings save, backup), in a test that
// called FaultVfs::install() before opening its folder:
//
//     FaultScenario fault(kind, folder);
//     QVERIFY(fault.begin());
//     ... run the operation, expect a message containing fault.reason() ...
//     QVERIFY(fault.end());
//     ... check that everything stored before is still there ...
#include <QList>
#include <QString>

#include <memory>

namespace brenvoll::test {
class TestFolder;
}

namespace brenvoll::robust {

class HelperProcess;

class FaultScenario
{
public:
    enum Kind
    {
        DiskFull,
        DiskFullMidCommit,
        WriteError,
        WriteErrorMidCommit,
        SyncError,
        SyncErrorAtDatabase,
        ReadError,
        ReadOnly,
        Locked,
        Deleted,
        MovedAway,
        Replaced,
    };
    static QList<Kind> all();
    static QString name(Kind kind);

    FaultScenario(Kind kind, test::TestFolder& folder);
    ~FaultScenario();

    // Puts the fault in place. Must be preceded by FaultVfs::install().
    bool begin(QString* why = nullptr);
    // Takes it away; the program's connection works again afterwards.
    bool end(QString* why = nullptr);

    Kind kind() const { return m_kind; }
    // What the operator's message must say.
    QString reason() const;
    bool readsFail() const;
    // After a commit failed half way, the next read must first roll the
    // database back from its journal, and that write meets the fault too.
    bool readsMayFail() const;
    // Each operation that fails under a lock waits the busy timeout first.
    bool slow() const { return m_kind == Locked; }

private:
    Kind m_kind;
    test::TestFolder& m_folder;
    std::unique_ptr<HelperProcess> m_holder;
    bool m_active = false;
};

} // namespace brenvoll::robust
