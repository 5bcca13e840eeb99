#include "XlsExport.h"

#include "Biff8Workbook.h"
#include "CompoundFile.h"
#include "base/ExportFile.h"
#include "base/PackedTexts.h"
#include "storage/ProgramFiles.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace brenvoll {

namespace {

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
    ExportFile file(path, programFiles());
    if (!file.create()) {
        if (error) {
            *error = file.error();
        }
        return false;
    }
    biff8::WorkbookStream stream(header);
    EncodingThread encoder(stream);
    const bool read = rows([&encoder](std::span<const QByteArrayView> cells) { encoder.add(cells); });
    encoder.finish();
    if (!read) {
        return false; // the new file goes with `file`
    }
    if (cutCells) {
        *cutCells = stream.cutCells();
    }
    if (!cfb::write(file, QStringLiteral("Workbook"), stream.finish()) || !file.commit()) {
        if (error) {
            *error = file.error();
        }
        return false;
    }
    return true;
}

} // namespace brenvoll
