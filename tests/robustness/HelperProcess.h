#pragma once
// The robustness helper program (robustness_helper.cpp) run as a second
// process, with its reports read line by line.
#include <QProcess>
#include <QStringList>

namespace brenvoll::robust {

class HelperProcess
{
public:
    explicit HelperProcess(const QStringList& arguments);
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    bool started() const { return m_started; }
    // Waits until a line equal to `line` (or starting with "failed") came.
    bool waitForLine(const QString& line, int milliseconds = 10000);
    // Waits for the process to end and reads all it said.
    bool finish(int milliseconds = 60000);
    // SIGKILL, then reads all it had said.
    void killHard();
    void closeInput() { m_process.closeWriteChannel(); }
    // Writes `line` and a line break to its input.
    void send(const QString& line);
    // Every whole line read so far.
    const QStringList& lines();

private:
    void readLines();

    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    bool m_started = false;
};

} // namespace brenvoll::robust
