#include "HelperProcess.h"

#include <QDeadlineTimer>

#include <csignal>

namespace brenvoll::robust {

HelperProcess::HelperProcess(const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QString::fromUtf8(BRENVOLL_ROBUSTNESS_HELPER), arguments);
    m_started = m_process.waitForStarted(10000);
}

HelperProcess::~HelperProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        killHard();
    }
}

void HelperProcess::readLines()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
}

const QStringList& HelperProcess::lines()
{
    readLines();
    return m_lines;
}

bool HelperProcess::waitForLine(const QString& line, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    for (;;) {
        readLines();
        for (const QString& got : std::as_const(m_lines)) {
            if (got == line) {
                return true;
            }
            if (got.startsWith(QLatin1String("failed"))) {
                return false;
            }
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
            return false;
        }
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

bool HelperProcess::finish(int milliseconds)
{
    const bool ended = m_process.waitForFinished(milliseconds);
    readLines();
    return ended && m_process.exitStatus() == QProcess::NormalExit;
}

void HelperProcess::send(const QString& line)
{
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(10000);
}

void HelperProcess::killHard()
{
    if (m_process.state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(10000);
    }
    readLines();
}

} // namespace brenvoll::robust
