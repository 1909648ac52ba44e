#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>

// Saving a part's body as a file. The file name comes from the message and is untrusted:
// it must never name a place outside the target directory.

namespace {

// Longest file name we produce, in bytes, leaving room for the collision prefix within
// the usual 255-byte limit.
const int maximumNameBytes = 200;

struct KnownExtension {
    const char *mimeType;
    const char *extension;
};

// The common types, so that names do not depend on the platform's MIME database.
const KnownExtension knownExtensions[] = {
    {"text/plain", "txt"},   {"text/html", "html"},  {"text/calendar", "ics"}, {"text/vcard", "vcf"},
    {"text/x-vcard", "vcf"}, {"text/csv", "csv"},    {"image/jpeg", "jpg"},    {"image/jpg", "jpg"},
    {"image/png", "png"},    {"image/gif", "gif"},   {"image/bmp", "bmp"},     {"image/svg+xml", "svg"},
    {"image/tiff", "tiff"},  {"audio/mpeg", "mp3"},  {"audio/wav", "wav"},     {"video/mp4", "mp4"},
    {"video/mpeg", "mpeg"},  {"application/pdf", "pdf"}, {"application/zip", "zip"},
    {"application/msword", "doc"}, {"message/rfc822", "eml"},
};

QStringList extensionsFor(const QByteArray &mimeType)
{
    QStringList result;
    for (const KnownExtension &known : knownExtensions) {
        if (mimeType == known.mimeType)
            result.append(QString::fromLatin1(known.extension));
    }
    const QMimeType type = QMimeDatabase().mimeTypeForName(QString::fromLatin1(mimeType));
    if (type.isValid()) {
        const QStringList suffixes = type.suffixes();
        for (const QString &suffix : suffixes) {
            if (!result.contains(suffix))
                result.append(suffix);
        }
    }
    return result;
}

bool isSafeFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.toUtf8().size() > maximumNameBytes)
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return false;
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    }
    return true;
}

QString fileNameFor(const QMailMessagePart &part)
{
    QString name = part.displayName();
    // Directory separators never survive: "../../x" becomes "....x", inside the directory.
    name.remove(QLatin1Char('/'));
    name.remove(QLatin1Char('\\'));
    name = name.trimmed();
    if (!isSafeFileName(name)) {
        const int number = part.partNumber();
        name = number >= 0 ? QStringLiteral("attachment-%1").arg(number + 1) : QStringLiteral("attachment");
    }

    const QByteArray mimeType = part.contentType().content().toLower();
    if (mimeType != "application/octet-stream") {
        const QStringList extensions = extensionsFor(mimeType);
        bool hasOne = false;
        for (const QString &extension : extensions) {
            if (name.endsWith(QLatin1Char('.') + extension, Qt::CaseInsensitive)) {
                hasOne = true;
                break;
            }
        }
        if (!hasOne && !extensions.isEmpty())
            name += QLatin1Char('.') + extensions.first();
    }
    return name;
}

QString randomPrefix()
{
    static const char characters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString prefix;
    for (int i = 0; i < 5; ++i)
        prefix.append(QLatin1Char(characters[QRandomGenerator::global()->bounded(int(sizeof(characters) - 1))]));
    return prefix + QLatin1Char('.');
}

} // namespace

QString QMailMessagePart::writeBodyTo(const QString &path) const
{
    QDir directory(path);
    if (!directory.exists() && !QDir().mkpath(path)) {
        qWarning() << "QMailMessagePart::writeBodyTo: cannot create directory" << path;
        return QString();
    }
    if (!hasBody()) {
        qWarning() << "QMailMessagePart::writeBodyTo: part" << location().toString(true) << "has no body";
        return QString();
    }

    const QString name = fileNameFor(*this);
    const QString canonicalDirectory = QFileInfo(directory.absolutePath()).canonicalFilePath();
    QString filePath = directory.absoluteFilePath(name);
    // An existing file is never replaced: NewOnly also refuses to follow a planted link.
    QFile file(filePath);
    int attempts = 0;
    while (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (!QFileInfo::exists(filePath) && !QFileInfo(filePath).isSymLink()) {
            qWarning() << "QMailMessagePart::writeBodyTo: cannot create" << filePath << ":" << file.errorString();
            return QString();
        }
        if (++attempts > 100) {
            qWarning() << "QMailMessagePart::writeBodyTo: no free file name for" << name << "in" << path;
            return QString();
        }
        filePath = directory.absoluteFilePath(randomPrefix() + name);
        file.setFileName(filePath);
    }

    if (QFileInfo(QFileInfo(filePath).absolutePath()).canonicalFilePath() != canonicalDirectory) {
        // Cannot happen with a sanitised name; checked so that a mistake fails safely.
        qWarning() << "QMailMessagePart::writeBodyTo: refusing to write outside" << path;
        file.remove();
        return QString();
    }

    const QByteArray data = body().data(QMailMessageBody::Decoded);
    if (file.write(data) != data.size()) {
        qWarning() << "QMailMessagePart::writeBodyTo: cannot write" << filePath << ":" << file.errorString();
        file.remove();
        return QString();
    }
    return filePath;
}
