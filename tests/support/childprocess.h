#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <QProcess>
#include <QString>
#include <QStringList>

namespace ZavekTest {

// A command run to its end: exit code -1 when it crashed or did not end in time.
struct CommandRun
{
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
    // What a failed check shows (QtTest keeps about 1000 bytes): the reason, the story's end.
    QByteArray report() const { return (err.left(300) + out.right(700)).toLocal8Bit(); }
};

// Runs a program with the input on its standard input, waiting at most timeoutMs.
CommandRun runCommand(const QString &program, const QStringList &arguments, const QByteArray &input = QByteArray(),
                      int timeoutMs = 60000);

// A helper process (a bus, a server) that never outlives the test: the kernel sends it
// SIGTERM if the test process dies, and the object stops it when it goes. It leads a
// process group of its own.
class ChildProcess : public QProcess
{
public:
    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // SIGTERM, then SIGKILL if it has not ended within a few seconds.
    void stop();

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
protected:
    void setupChildProcess() override;
#endif
};

// A D-Bus session bus of the test's own, started with dbus-daemon.
class PrivateSessionBus
{
public:
    // False, with the reason in *error, when dbus-daemon is missing or does not come up.
    bool start(QString *error);
    void stop();
    QString address() const { return m_address; }

private:
    ChildProcess m_daemon;
    QString m_address;
};

} // namespace ZavekTest

#endif // CHILDPROCESS_H
