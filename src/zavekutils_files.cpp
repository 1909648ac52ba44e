#include "zavekutils.h"

#include "zaveklogicalids.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

const char temporaryDirectoryName[] = ".qmf/tmp/zavek-temporary-files";

const char saveAttachmentSignature[] = "QString ZavekUtils::saveAttachmentToTemporaryFile(const QMailMessagePart&)";
const char loadMessageSignature[] = "bool ZavekUtils::loadMessageFromFile(const QUrl&, QMailMessage&)";

const QFileDevice::Permissions privateDirectoryPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Attachment copies may be private mail: every directory we create on the way to them, and
// the directories that are ours alone, are readable by the user only. Directories that
// already existed above our own are left as they are.
void makePrivate(const QString &path)
{
    // The "user" bits describe the current user, not the file's mode; they do not count.
    const QFileDevice::Permissions userBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    if ((QFile::permissions(path) & ~userBits) != privateDirectoryPermissions)
        QFile::setPermissions(path, privateDirectoryPermissions);
}

void createPrivatePath(const QString &path)
{
    QStringList missing;
    for (QString current = QDir::cleanPath(path); !QFileInfo::exists(current);) {
        missing.prepend(current);
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            break;
        current = parent;
    }
    for (const QString &directory : qAsConst(missing)) {
        // Created with the final mode at once, so the directory is never open to others.
        if (::mkdir(QFile::encodeName(directory).constData(), S_IRWXU) != 0)
            return;
        makePrivate(directory);
    }
}

bool isDirectChild(const QString &filePath, const QString &directory)
{
    const QFileInfo file(filePath);
    const QString parent = QFileInfo(file.absolutePath()).canonicalFilePath();
    return !parent.isEmpty() && parent == QFileInfo(directory).canonicalFilePath() && file.fileName() != QLatin1String("..")
           && file.fileName() != QLatin1String(".");
}

} // namespace

namespace ZavekUtils {

QString getTemporaryDirectory()
{
    // One multi-argument arg(): a "%2" inside the home path must stay as it is.
    return QStringLiteral("%1/%2").arg(QDir::homePath(), QLatin1String(temporaryDirectoryName));
}

QString getAttachmentTemporaryDirectory(const QMailMessagePart &part)
{
    const QMailMessagePart::Location location = part.location();
    if (!location.isValid(false)) {
        qWarning() << "QString ZavekUtils::getAttachmentTemporaryDirectory(const QMailMessagePart&)"
                   << "Invalid location";
        return QString();
    }
    const QByteArray digest =
        QCryptographicHash::hash(location.toString(true).toUtf8(), QCryptographicHash::Md5).toHex();
    return QDir::cleanPath(QStringLiteral("%1/%2").arg(getTemporaryDirectory(), QString::fromLatin1(digest)));
}

QString saveAttachmentToTemporaryFile(const QMailMessagePart &part)
{
    const QString path = getAttachmentTemporaryDirectory(part);
    if (path.isEmpty())
        return QString();

    QDir directory(path);
    if (!directory.exists()) {
        createPrivatePath(path);
        directory.refresh();
        if (!directory.exists()) {
            qWarning() << saveAttachmentSignature << "Error creating path";
            return QString();
        }
    }
    makePrivate(getTemporaryDirectory());
    makePrivate(path);

    // Parts of messages without an id (loaded from a file, not yet stored) share their
    // locations, and so their directories, with every other unsaved message: emptying it
    // would delete another message's copy that may still be open.
    if (part.location().containingMessageId().isValid()) {
        const QStringList files = directory.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QString &name : files)
            QFile::remove(path + QLatin1Char('/') + name);
    }

    const QString written = part.writeBodyTo(path);
    if (written.isEmpty())
        return written;
    // The file name comes from the message; whatever the message layer made of it, a path
    // that left the part's directory is not handed out.
    if (!isDirectChild(written, path)) {
        qWarning() << saveAttachmentSignature << "Refusing attachment file outside" << path << ":" << written;
        return QString();
    }
    return written;
}

int checkFilesSize(const QStringList &files, QStringList &canonicalPaths, long long maxSize)
{
    qint64 total = 0;
    for (const QString &file : files) {
        const QFileInfo info(file);
        if (!info.isFile())
            return NotAFile;
        canonicalPaths.append(info.canonicalFilePath());
        total += info.size();
        if (total > maxSize)
            return SizeExceeded;
    }
    return FilesOk;
}

bool loadMessageFromFile(const QUrl &url, QMailMessage &message)
{
    if (!url.isValid() || url.scheme() != QLatin1String("file")) {
        qWarning() << loadMessageSignature << "message file url = " << url << "is invalid";
        return false;
    }
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        qWarning() << loadMessageSignature << "Unable to load nonexistent file.";
        return false;
    }
    // Reading a FIFO or a device could block forever or never end; a directory is no message.
    if (!info.isFile()) {
        qWarning() << loadMessageSignature << "Refusing to load" << path << "which is not a regular file.";
        return false;
    }
    // An unreadable file would otherwise come back as an empty message reported as loaded.
    if (!info.isReadable()) {
        qWarning() << loadMessageSignature << "Unable to read file" << path;
        return false;
    }

    message = QMailMessage::fromRfc2822File(path);
    if (message.messageType() == QMailMessage::Email)
        return true;

    qWarning() << loadMessageSignature << "Message loaded from" << url << "is of type" << int(message.messageType())
               << "instead of type email. That can mean that it hasn't"
               << "been read properly. Are you sure that it's RFC2822"
               << "compliant? Eg: It must have CR+LF line termination.";
    return false;
}

QString textToHtml(const QString &text)
{
    QString escaped = text;
    // The ampersand first, so that the entities made below are not escaped again.
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br/>"));

    static const QString documentTemplate = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><style type=\"text/css\">"
        "body, p, li { font-family: 'Ulmar Pure', 'Ulmar Standard', sans-serif; }"
        "</style></head><body>%1</body></html>");
    return documentTemplate.arg(escaped);
}

QString get_formatted_size(const uint &size)
{
    enum Unit { Bytes, Kilobytes, Megabytes, Gigabytes };

    double value = size;
    int unit = Bytes;
    while (value >= 1024 && unit < Gigabytes) {
        value *= 0.0009765625;
        ++unit;
    }
    // 1000 to 1023 of a unit would need four digits; show them as 1 of the next.
    if (value >= 1000 && unit != Gigabytes) {
        value = 1;
        ++unit;
    }
    const QString number = QString::number(value, 'f', 0);

    switch (unit) {
    case Bytes:
        return qtTrId(qtn_comm::bytes, int(value + 0.5));
    case Kilobytes:
        return qtTrId(qtn_comm::kilobytes, -1).arg(number);
    case Megabytes:
        return qtTrId(qtn_comm::megabytes, -1).arg(number);
    default:
        return qtTrId(qtn_comm::gigabytes, -1).arg(number);
    }
}

} // namespace ZavekUtils
