#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// Shared by the fuzz targets: a private sandbox for everything that touches files, quiet
// logging (the library warns about bad input by design, and printing every warning would
// cost most of the run) and a loud stop when a checked property fails.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

inline void discardMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "fatal: %s\n", qPrintable(message));
        std::abort();
    }
}

// Points HOME and the XDG and QMF directories at a private temporary directory, so that
// nothing a target writes reaches the user's own files, and creates the application object
// that translators and file watchers need. Call once, from LLVMFuzzerInitialize, before
// anything reads those variables. Returns the sandbox's path.
inline QString setUpSandbox(int *argc, char ***argv)
{
    static QTemporaryDir sandbox(QDir::tempPath() + QStringLiteral("/zavek-fuzz-XXXXXX"));
    if (!sandbox.isValid()) {
        std::fprintf(stderr, "cannot create a temporary directory\n");
        std::exit(1);
    }
    const QString root = sandbox.path();
    const QByteArray rootBytes = QFile::encodeName(root);
    qputenv("HOME", rootBytes);
    qputenv("XDG_CONFIG_HOME", rootBytes + "/config");
    qputenv("XDG_DATA_HOME", rootBytes + "/data");
    qputenv("XDG_CACHE_HOME", rootBytes + "/cache");
    qputenv("QMF_DATA", rootBytes + "/qmf");
    QDir(root).mkpath(QStringLiteral("config"));

    // The application object lives for the whole run; libFuzzer keeps argc and argv alive.
    static QCoreApplication application(*argc, *argv);
    Q_UNUSED(application)
    qInstallMessageHandler(discardMessage);
    return root;
}

// A failed property: say what differed, then abort so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "property failed: %s\n%s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace FuzzSupport

#endif // FUZZSUPPORT_H
