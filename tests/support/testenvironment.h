#ifndef TESTENVIRONMENT_H
#define TESTENVIRONMENT_H

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Every test executable links this support code. Before main() runs it points HOME,
// the XDG directories and QMF_DATA at a private temporary directory that is removed at
// exit, so no suite sees the developer's files or another suite's leftovers.
namespace ZavekTest {

// The temporary home directory of this test process.
QString homePath();

// The per-user configuration directory (XDG_CONFIG_HOME) of this test process.
QString configPath();

// Absolute path of a file below tests/data.
QString dataPath(const QString &relativePath);

} // namespace ZavekTest

// Collects every message logged while it lives (and passes it on).
class WarningLog
{
public:
    WarningLog() : previous(qInstallMessageHandler(&WarningLog::handle)) { current() = this; }
    ~WarningLog()
    {
        current() = nullptr;
        qInstallMessageHandler(previous);
    }

    int count(const QRegularExpression &pattern) const { return lines.filter(pattern).size(); }

    QStringList lines;

private:
    static WarningLog *&current()
    {
        static WarningLog *log = nullptr;
        return log;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (WarningLog *log = current()) {
            log->lines << message;
            if (log->previous)
                log->previous(type, context, message);
        }
    }

    QtMessageHandler previous;
};

#endif // TESTENVIRONMENT_H
