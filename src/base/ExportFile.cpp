#include "ExportFile.h"

#include "StagedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace brenvoll {

namespace {

// Writes smaller than this are gathered before they reach the disk.
constexpr qsizetype kHeldBytes = qsizetype(64) * 1024;

// The file a name leads to, through any links: its device and number.
std::optional<std::pair<dev_t, ino_t>> identityOf(const QString& path)
{
    struct stat info
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return std::pair{info.st_dev, info.st_ino};
}

// A path as it is compared with another: its folder resolved through links
// where the folder is there, its own name as it is.
QString spelledOut(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName());
}

// The operator's reading of a failed step of an export: a folder where the
// file should go is named as such; the rest as anywhere else.
QString reasonOf(int err)
{
    switch (err) {
    case EEXIST:
    case EISDIR:
    case ENOTEMPTY:
        return QStringLiteral("该名称已被一个文件夹占用");
    case ELOOP:
        return QStringLiteral("路径中有一个指向别处的链接");
    default:
        return fileSystemReason(err);
    }
}

QString refusal()
{
    return QStringLiteral(
        "这是本程序自己的文件（数据库、草稿、配置文件或程序文件）或指向它的链接，不能用导出的文件替换");
}

} // namespace

QString refusalOf(const QString& path, const QStringList& ownFiles)
{
    // The same file under any name: a link to it, another hard link, the
    // folder spelled another way.
    if (const auto chosen = identityOf(path)) {
        for (const QString& own : ownFiles) {
            if (identityOf(own) == chosen) {
                return refusal();
            }
        }
    }
    // By name, for an own file that is not there yet (drafts not yet kept,
    // no configuration file): the name itself and every link on the way.
    QStringList own;
    for (const QString& file : ownFiles) {
        if (!file.isEmpty()) {
            own << spelledOut(file);
        }
    }
    QString name = spelledOut(path);
    for (int hop = 0; hop < 40; ++hop) {
        if (own.contains(name)) {
            return refusal();
        }
        const QFileInfo link(name);
        if (!link.isSymbolicLink()) {
            break;
        }
        name = spelledOut(link.symLinkTarget());
    }
    return {};
}

ExportFile::ExportFile(const QString& path, QStringList ownFiles)
    : m_path(path), m_ownFiles(std::move(ownFiles))
{
}

ExportFile::~ExportFile() = default;

bool ExportFile::create()
{
    m_error = refusalOf(m_path, m_ownFiles);
    if (!m_error.isEmpty()) {
        return false;
    }
    // The folder as the operator reached it, links and all: only a link at
    // the chosen name itself is never followed.
    const QFileInfo info(m_path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    m_file = std::make_unique<StagedFile>(folder.isEmpty() ? m_path : QDir(folder).filePath(info.fileName()),
                                          FileMode::OwnerOnly);
    if (!m_file->isOpen()) {
        return fail(QStringLiteral("无法在该文件夹中创建文件"));
    }
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool ExportFile::commit()
{
    if (!isOpen() || !m_file || !m_error.isEmpty()) {
        return false;
    }
    if (!flushHeld() || !m_file->sync()) {
        return fail(QStringLiteral("写入文件时出错"));
    }
    if (!m_file->publish()) {
        return fail(QStringLiteral("无法用新文件替换同名文件"));
    }
    QIODevice::close();
    return true;
}

qint64 ExportFile::readData(char* /*data*/, qint64 /*maxSize*/)
{
    return -1;
}

qint64 ExportFile::writeData(const char* data, qint64 size)
{
    if (!m_file || !m_error.isEmpty()) {
        return -1;
    }
    if (m_held.size() + size > kHeldBytes && !flushHeld()) {
        return -1;
    }
    if (size >= kHeldBytes) {
        if (!m_file->write(data, size)) {
            fail(QStringLiteral("写入文件时出错"));
            return -1;
        }
    } else {
        m_held.append(data, size);
    }
    return size;
}

bool ExportFile::flushHeld()
{
    if (!m_held.isEmpty() && !m_file->write(m_held.constData(), m_held.size())) {
        return fail(QStringLiteral("写入文件时出错"));
    }
    m_held.clear();
    return true;
}

bool ExportFile::fail(const QString& what)
{
    if (m_error.isEmpty()) {
        m_error = what + QStringLiteral("：") + reasonOf(m_file ? m_file->errorNumber() : 0);
    }
    return false;
}

} // namespace brenvoll
