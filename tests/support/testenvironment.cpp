#include "testenvironment.h"

#include <qmailstore.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

namespace {

QTemporaryDir *temporaryRoot()
{
    // Built before main() and destroyed after every other static of the test, so the
    // singletons' final flushes still find their directories.
    static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/zavek-test-XXXXXX"));
    return &root;
}

void setUpTestEnvironment()
{
    QTemporaryDir *root = temporaryRoot();
    if (!root->isValid())
        qFatal("cannot create the temporary test directory: %s", qPrintable(root->errorString()));
    const QString home = root->path() + QStringLiteral("/home");
    const struct { const char *name; QString path; } variables[] = {
        { "HOME", home },
        { "XDG_CONFIG_HOME", home + QStringLiteral("/.config") },
        { "XDG_DATA_HOME", home + QStringLiteral("/.local/share") },
        { "XDG_CACHE_HOME", home + QStringLiteral("/.cache") },
        // A second client process of the soak shares the store of the first.
        { "QMF_DATA", qEnvironmentVariableIsSet("ZAVEK_TEST_QMF_DATA") ? qEnvironmentVariable("ZAVEK_TEST_QMF_DATA")
                                                                        : home + QStringLiteral("/.qmf") },
    };
    QDir().mkpath(home);
    for (const auto &variable : variables)
        qputenv(variable.name, QFile::encodeName(variable.path));
    // Nor the developer's session bus, where suites running side by side would contend for
    // the message server's name. The suites that need a bus start a private one.
    if (qgetenv("ZAVEK_REALQMF_PRIVATE_BUS") != "1")
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zavek-test-session-bus");
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(setUpTestEnvironment)

// An installed QMF gives its status flags their values when the store is first opened;
// test data built before that would carry flags of 0.
void openMessageStore()
{
    QMailStore::instance();
}

Q_COREAPP_STARTUP_FUNCTION(openMessageStore)

namespace ZavekTest {

QString homePath()
{
    return QFile::decodeName(qgetenv("HOME"));
}

QString configPath()
{
    return QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
}

QString dataPath(const QString &relativePath)
{
    return QStringLiteral(ZAVEK_TEST_DATA_DIR "/") + relativePath;
}

} // namespace ZavekTest
