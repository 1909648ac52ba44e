// Runs one file-system fault scenario as an unprivileged user, because root ignores file
// permissions. Usage: zavek_faults_helper <scenario> <directory>; the directory becomes HOME
// and holds the configuration. Results go to stdout as "name value" lines, warnings to stderr.

#include <zaveksettings.h>
#include <zavekutils.h>

#include <qmailmessage.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QUrl>

#include <cstdio>
#include <grp.h>
#include <unistd.h>

namespace {

const uid_t unprivileged = 65534;

bool dropPrivileges()
{
    if (::getuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(unprivileged) == 0 && ::setuid(unprivileged) == 0;
}

void print(const QString &name, const QVariant &value)
{
    QTextStream(stdout) << name << ' ' << value.toString() << Qt::endl;
}

// Lets the watcher and QSettings' deferred synchronisation run, up to `milliseconds`, or
// until `done` turns true.
template <typename Condition>
void waitFor(Condition done, int milliseconds = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QString settingsFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Ulmar/Zavek.conf");
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The file becomes unreadable while watched, then readable again.
int unreadableFile()
{
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    writeFile(settingsFile(), "[General]\nsortKey=4\nviewHtmlMailFormat=false\n");
    ZavekSettings *settings = ZavekSettings::instance();
    int changes = 0;
    QObject::connect(settings, &ZavekSettings::settingsChanged, [&] { ++changes; });
    print(QStringLiteral("before"), settings->sortKey());

    // Unreadable in place: the contents did not change, so the values stand.
    QFile::setPermissions(settingsFile(), QFileDevice::Permissions());
    waitFor([&] { return changes >= 1; }, 1000);
    print(QStringLiteral("unreadable-sortKey"), settings->sortKey());

    // Replaced by another program with a file this user cannot read: what it holds is
    // unknown, so the values known so far must stand.
    const QString replacement = settingsFile() + QStringLiteral(".new");
    writeFile(replacement, "[General]\nsortKey=5\nviewHtmlMailFormat=false\nmessageListOption=true\n");
    QFile::setPermissions(replacement, QFileDevice::Permissions());
    const int before = changes;
    ::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(settingsFile()).constData());
    waitFor([&] { return changes > before; });
    print(QStringLiteral("replaced-sortKey"), settings->sortKey());
    print(QStringLiteral("replaced-viewHtml"), settings->viewHtml());

    // An unreadable file cannot be watched; the next call of ours watches it again, and the
    // next change is read.
    QFile::setPermissions(settingsFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    settings->flush(true);
    const int seen = changes;
    writeFile(settingsFile(), "[General]\nsortKey=5\nviewHtmlMailFormat=false\nmessageListOption=true\n\n");
    waitFor([&] { return changes > seen && settings->sortKey() == 5; });
    print(QStringLiteral("readable-sortKey"), settings->sortKey());
    print(QStringLiteral("readable-threadList"), settings->threadedList());
    return 0;
}

// The file's directory becomes read-only while watched; a change made meanwhile must reach
// the file once the directory can be written again.
int readOnlyDirectory()
{
    const QString directory = QFileInfo(settingsFile()).absolutePath();
    QDir().mkpath(directory);
    writeFile(settingsFile(), "[General]\nsortKey=4\n");
    ZavekSettings *settings = ZavekSettings::instance();
    QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    settings->setSortKey(7, true);
    waitFor([] { return false; }, 300);
    print(QStringLiteral("readonly-sortKey"), settings->sortKey());
    print(QStringLiteral("readonly-file"), QString::fromLatin1(readFile(settingsFile()).simplified()));

    QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    settings->setViewHtml(false, true);
    ZavekSettings::resetInstanceForTesting(false);
    print(QStringLiteral("final-file"), QString::fromLatin1(readFile(settingsFile()).simplified()));
    return 0;
}

// The attachment directory exists but belongs to someone else and cannot be written.
int unwritableAttachmentDirectory()
{
    QMailMessage message;
    message.setMultipartType(QMailMessagePartContainer::MultipartMixed);
    QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Attachment);
    disposition.setFilename("report.txt");
    message.appendPart(QMailMessagePart::fromData(QByteArray("content"), disposition,
                                                  QMailMessageContentType("text/plain"), QMailMessageBody::Base64));
    message.setId(QMailMessageId(5));
    const QString saved = ZavekUtils::saveAttachmentToTemporaryFile(message.partAt(0));
    print(QStringLiteral("saved"), saved.isNull() ? QStringLiteral("<null>") : saved);
    return 0;
}

// A message file this user cannot read is no message, not an empty one.
int unreadableMessageFile()
{
    const QString path = QDir::homePath() + QStringLiteral("/message.eml");
    writeFile(path, "From: pat@example.org\r\nSubject: Hello\r\n\r\nBody\r\n");
    QFile::setPermissions(path, QFileDevice::Permissions());
    QMailMessage message;
    print(QStringLiteral("loaded"), ZavekUtils::loadMessageFromFile(QUrl::fromLocalFile(path), message));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    const QByteArray scenario(argv[1]);
    const QByteArray directory(argv[2]);
    if (!dropPrivileges()) {
        QTextStream(stdout) << "cannot drop privileges" << Qt::endl;
        return 3;
    }
    qputenv("HOME", directory);
    qputenv("XDG_CONFIG_HOME", directory + "/config");
    QCoreApplication application(argc, argv);
    print(QStringLiteral("uid"), uint(::getuid()));
    if (scenario == "unreadable-settings")
        return unreadableFile();
    if (scenario == "read-only-settings-directory")
        return readOnlyDirectory();
    if (scenario == "unwritable-attachment-directory")
        return unwritableAttachmentDirectory();
    if (scenario == "unreadable-message-file")
        return unreadableMessageFile();
    return 2;
}
