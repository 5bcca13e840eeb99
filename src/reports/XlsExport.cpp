#include "XlsExport.h"

#include "Biff8Workbook.h"
#include "CompoundFile.h"
#include "base/PackedTexts.h"

#include <QSaveFile>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace brenvoll {

namespace {
QString reasonOf(const QSaveFile& file)
{
    QString reason;
    switch (file.error()) {
    case QFileDevice::NoError: // a short write: the disk took only part of it
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
        reason = QStringLiteral("写入文件时出错（磁盘可能已满）");
        break;
    case QFileDevice::RenameError:
        reason = QStringLiteral("无法用新文件替换同名文件（文件可能正被其他程序打开）");
        break;
    default:
        reason = QStringLiteral("文件无法保存");
        break;
    }
    const QString detail = file.error() == QFileDevice::NoError ? QString() : file.errorString().trimmed();
    return detail.isEmpty() ? reason : reason + QStringLiteral("：") + detail;
}

// Encodes rows on a thread of its own while the caller goes on reading them
// from the engine: reading and encoding take about the same time, and
// overlapped the export takes little longer than the reading alone. Rows
// cross in batches, at most a few of them waiting.
class EncodingThread
{
public:
    explicit EncodingThread(biff8::WorkbookStream& stream) : m_stream(stream), m_thread([this] { run(); }) {}
    ~EncodingThread() { finish(); }

    void add(std::span<const QByteArrayView> cells)
    {
        m_filling.texts.append(cells);
        m_filling.columns.push_back(int(cells.size()));
        if (m_filling.texts.size() == kBatchRows) {
            handOver();
        }
    }

    // Encodes the rows still waiting and ends the thread.
    void finish()
    {
        if (!m_thread.joinable()) {
            return;
        }
        handOver();
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    static constexpr qsizetype kBatchRows = 1024;
    static constexpr size_t kWaiting = 4;

    void handOver()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_batches.size() < kWaiting; });
        m_batches.push_back(std::move(m_filling));
        m_filling = {};
        if (!m_spare.empty()) {
            m_filling = std::move(m_spare.back());
            m_spare.pop_back();
        }
        lock.unlock();
        m_changed.notify_all();
    }

    void run()
    {
        std::vector<QByteArrayView> cells;
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_batches.empty() || m_done; });
            if (m_batches.empty()) {
                return;
            }
            Batch batch = std::move(m_batches.front());
            m_batches.pop_front();
            lock.unlock();
            m_changed.notify_all();
            for (qsizetype row = 0; row < batch.texts.size(); ++row) {
                cells.clear();
                for (int c = 0; c < batch.columns[size_t(row)]; ++c) {
                    cells.push_back(batch.texts.text(row, c));
                }
                m_stream.addRow(cells);
            }
            // Its memory serves again, already in place.
            batch.texts.rewind();
            batch.columns.clear();
            lock.lock();
            m_spare.push_back(std::move(batch));
        }
    }

    struct Batch
    {
        PackedTexts texts;
        std::vector<int> columns; // texts of each row
    };

    biff8::WorkbookStream& m_stream;
    Batch m_filling;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_batches;
    std::vector<Batch> m_spare; // encoded, to be filled again
    bool m_done = false;
    std::thread m_thread; // last: started once everything it uses is there
};

} // namespace

bool XlsExport::save(const QString& path, const QStringList& header, const Rows& rows, QString* error,
                     qsizetype* cutCells)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // Whatever the kind of error, nothing could be created there: a
        // missing folder, no permission, a read-only disk, or a file of that
        // name that may not be replaced.
        if (error) {
            *error = QStringLiteral("无法在该位置创建文件（文件夹不存在、没有写入权限或磁盘是只读的）");
            const QString detail = file.errorString().trimmed();
            if (!detail.isEmpty()) {
                *error += QStringLiteral("：") + detail;
            }
        }
        return false;
    }
    biff8::WorkbookStream stream(header);
    EncodingThread encoder(stream);
    const bool read = rows([&encoder](std::span<const QByteArrayView> cells) { encoder.add(cells); });
    encoder.finish();
    if (!read) {
        file.cancelWriting();
        return false;
    }
    if (cutCells) {
        *cutCells = stream.cutCells();
    }
    const bool written = cfb::write(file, QStringLiteral("Workbook"), stream.finish());
    // The last buffered bytes are written here and not in commit(), which
    // forgets why a write failed.
    if (!written || !file.flush() || !file.commit()) {
        if (error) {
            *error = reasonOf(file);
        }
        file.cancelWriting();
        return false;
    }
    return true;
}

QStringList XlsExport::reportHeader()
{
    return {QStringLiteral("编号"), QStringLiteral("姓名"),     QStringLiteral("性别"),
            QStringLiteral("年龄"), QStringLiteral("电话号码"), QStringLiteral("体检结论")};
}

} // namespace brenvoll
