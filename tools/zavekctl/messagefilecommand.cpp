#include "messagefilecommand.h"

#include <zaveksettings.h>
#include <zavekutils.h>

#include <qmailmessage.h>

#include <QFileInfo>
#include <QTextStream>
#include <QUrl>

namespace {

QString describeContainer(const QMailMessagePartContainer *container)
{
    if (!container)
        return QStringLiteral("none");
    const auto *part = dynamic_cast<const QMailMessagePart *>(container);
    const QString where = part ? QStringLiteral("part ") + part->location().toString(false)
                               : QStringLiteral("the message itself");
    return QStringLiteral("%1 (%2)").arg(where, QString::fromLatin1(container->contentType().content()));
}

void printPartTree(QTextStream &out, const QMailMessage &message)
{
    if (message.multipartType() == QMailMessagePartContainer::MultipartNone) {
        out << "  (single part: " << message.contentType().content() << ")\n";
        return;
    }
    message.foreachPart([&out](const QMailMessagePart &part) {
        const QString location = part.location().toString(false);
        const QString indent(2 * (location.count(QLatin1Char('.')) + 1), QLatin1Char(' '));
        out << indent << location << "  " << part.contentType().content();
        if (!part.contentID().isEmpty())
            out << "  cid:" << part.contentID();
        if (part.contentDisposition().type() == QMailMessageContentDisposition::Attachment)
            out << "  attachment \"" << part.displayName() << '"';
        out << (part.contentAvailable() ? "" : "  (not downloaded)") << '\n';
        return true;
    });
}

QString priorityName(ZavekUtils::Priority priority)
{
    return priority == ZavekUtils::HighPriority ? QStringLiteral("high")
         : priority == ZavekUtils::LowPriority ? QStringLiteral("low")
                                               : QStringLiteral("normal");
}

QString joinAddresses(const QList<QMailAddress> &addresses)
{
    QStringList texts;
    for (const QMailAddress &address : addresses)
        texts << address.toString();
    return texts.isEmpty() ? QStringLiteral("-") : texts.join(QStringLiteral(", "));
}

} // namespace

int runInspectCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList files;
    bool saveAttachments = false;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--save-attachments"))
            saveAttachments = true;
        else if (argument.startsWith(QLatin1String("--")))
            files << QString(); // an unknown option makes the usage error below
        else
            files << argument;
    }
    if (files.size() != 1 || files.first().isEmpty()) {
        err << "usage: zavekctl inspect FILE.eml [--save-attachments]\n";
        return 2;
    }
    const QFileInfo file(files.first());
    if (!file.exists() || !file.isFile() || !file.isReadable()) {
        err << "zavekctl inspect: \"" << files.first() << "\" is not a readable file\n";
        return 1;
    }
    QMailMessage message;
    if (!ZavekUtils::loadMessageFromFile(QUrl::fromLocalFile(file.absoluteFilePath()), message)) {
        err << "zavekctl inspect: \"" << files.first() << "\" is not an e-mail message\n";
        return 1;
    }

    const bool viewHtml = ZavekSettings::instance()->viewHtml();
    const QMailMessagePartContainer *body = ZavekUtils::Message::getBodyPart(message, !viewHtml);
    out << "Subject:     " << message.subject() << '\n'
        << "From:        " << message.from().toString() << '\n'
        << "Recipients:  " << joinAddresses(message.recipients()) << '\n'
        << "Priority:    " << priorityName(ZavekUtils::messagePriority(message)) << '\n'
        << "Total size:  " << ZavekUtils::get_formatted_size(ZavekUtils::Message::calculateTotalSize(message)) << '\n'
        << "Shown body:  " << describeContainer(body) << (viewHtml ? " (HTML preferred)\n" : " (plain text preferred)\n")
        << "Viewable:    " << (ZavekUtils::Message::isDownloadedForViewing(message) ? "yes" : "no") << '\n'
        << "Parts:\n";
    printPartTree(out, message);

    if (body && body->contentType().subType().toLower() == "html" && body->contentAvailable()) {
        const QString html = body->body().data();
        const QHash<QString, QVariant> present = ZavekUtils::Message::getResources(message, html);
        const QStringList missing = ZavekUtils::Message::getMissingResources(message, html);
        QStringList presentIds = present.keys();
        presentIds.sort();
        out << "Resources:   " << (presentIds.isEmpty() ? QStringLiteral("-") : presentIds.join(QStringLiteral(", ")))
            << '\n'
            << "Missing:     " << (missing.isEmpty() ? QStringLiteral("-") : missing.join(QStringLiteral(", "))) << '\n';
    }

    const QList<QMailMessagePartContainer::Location> attachments = message.findAttachmentLocations();
    out << "Attachments: " << attachments.size() << '\n';
    int failures = 0;
    for (const QMailMessagePartContainer::Location &location : attachments) {
        const QMailMessagePart &part = message.partAt(location);
        out << "  " << location.toString(false) << "  \"" << part.displayName() << "\"  "
            << ZavekUtils::get_formatted_size(uint(qMax(0, part.contentDisposition().size() >= 0
                                                                ? part.contentDisposition().size()
                                                                : part.body().length())));
        if (saveAttachments) {
            const QString path = ZavekUtils::saveAttachmentToTemporaryFile(part);
            if (path.isEmpty())
                ++failures;
            out << "  -> " << (path.isEmpty() ? QStringLiteral("(not saved)") : path);
        }
        out << '\n';
    }
    return failures == 0 ? 0 : 1;
}
