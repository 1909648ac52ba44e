#include "childprocess.h"

#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace ZavekTest {

namespace {
const int StopTimeoutMs = 5000;
const int StartTimeoutMs = 10000;

// Runs in the child between fork and exec. A group of its own lets a server be signalled
// together with the workers it starts.
void prepareChild()
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::setpgid(0, 0);
}
} // namespace

ChildProcess::ChildProcess(QObject *parent)
    : QProcess(parent)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    setChildProcessModifier(prepareChild);
#endif
}

ChildProcess::~ChildProcess()
{
    stop();
}

void ChildProcess::stop()
{
    if (state() == QProcess::NotRunning)
        return;
    terminate();
    if (!waitForFinished(StopTimeoutMs)) {
        kill();
        waitForFinished(StopTimeoutMs);
    }
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void ChildProcess::setupChildProcess()
{
    prepareChild();
}
#endif

CommandRun runCommand(const QString &program, const QStringList &arguments, const QByteArray &input, int timeoutMs)
{
    ChildProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    CommandRun run;
    run.finished = process.waitForFinished(timeoutMs);
    process.stop();
    if (run.finished && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool PrivateSessionBus::start(QString *error)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        *error = QStringLiteral("dbus-daemon is not installed");
        return false;
    }
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    while (m_daemon.state() != QProcess::NotRunning && !m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(StartTimeoutMs))
            break;
    }
    m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        *error = QStringLiteral("dbus-daemon did not start: %1").arg(QString::fromLocal8Bit(m_daemon.readAllStandardError()));
        m_daemon.stop();
        return false;
    }
    return true;
}

void PrivateSessionBus::stop()
{
    m_daemon.stop();
    m_address.clear();
}

} // namespace ZavekTest
