#pragma once
// A file written at a name the operator chose: an exported PDF, a workbook,
// whatever the program exports. It is written whole as a StagedFile beside
// that name and then put in its place, so that a link found there is
// replaced by the new file and never written through, a file that was there
// stays as it was until the new one is complete, and a failure leaves
// nothing behind. A name that is, or leads through links to, one of the
// program's own files is refused before anything is written.
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>

namespace brenvoll {

class StagedFile;

// Why nothing may be exported to `path`: it is one of `ownFiles` (the
// program's own files: its database, drafts, configuration and program
// file), the same file under another name, or a link that leads to one of
// them. Empty when `path` may be written.
QString refusalOf(const QString& path, const QStringList& ownFiles);

class ExportFile : public QIODevice
{
public:
    // `ownFiles`: the program's own files, as refusalOf() takes them.
    ExportFile(const QString& path, QStringList ownFiles);
    // Removes the new file again unless it was committed.
    ~ExportFile() override;
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Refuses the name or creates the new file beside it and opens this
    // device for writing; false with error() set.
    bool create();
    // Writes out what is still held, syncs the file to the disk and puts it
    // under its name in place of whatever had that name; false with error()
    // set, and then the new file is gone.
    bool commit();
    // The operator's reading of the first failure: what failed and why.
    QString error() const { return m_error; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool fail(const QString& what);
    bool flushHeld();

    QString m_path;
    QStringList m_ownFiles;
    std::unique_ptr<StagedFile> m_file;
    QByteArray m_held; // small writes gathered into one
    QString m_error;
};

} // namespace brenvoll
