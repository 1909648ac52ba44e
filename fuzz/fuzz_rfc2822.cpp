// Feeds arbitrary bytes to the message loader and touches everything a mail client would:
// parts, bodies, names, the body search and the attachment list.

#include "qmailmessage.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

namespace {

void silence(QtMsgType, const QMessageLogContext &, const QString &)
{
}

struct PartToucher {
    size_t *bytes;
    bool operator()(const QMailMessagePart &part) const
    {
        *bytes += size_t(part.displayName().size());
        *bytes += size_t(part.contentID().size());
        *bytes += size_t(part.contentDisposition().size() > 0);
        *bytes += size_t(part.location().toString(true).size());
        if (part.hasBody()) {
            *bytes += size_t(part.body().data(QMailMessageBody::Decoded).size());
            *bytes += size_t(part.body().data().size());
        }
        *bytes += size_t(part.contentAvailable());
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = (qInstallMessageHandler(silence), true);
    Q_UNUSED(quiet)

    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const QMailMessage message = QMailMessage::fromRfc2822(input);

    size_t bytes = 0;
    message.foreachPart(PartToucher{&bytes});
    bytes += size_t(message.subject().size() + message.from().toString().size() + message.recipients().size());
    bytes += size_t(message.date().toString().size());
    if (message.hasBody())
        bytes += size_t(message.body().data().size());
    if (const QMailMessagePartContainer *plain = message.findPlainTextContainer())
        bytes += size_t(plain->body().data().size());
    if (const QMailMessagePartContainer *html = message.findHtmlContainer())
        bytes += size_t(html->body().data().size());
    const QList<QMailMessagePart::Location> attachments = message.findAttachmentLocations();
    for (const QMailMessagePart::Location &location : attachments) {
        if (message.contains(location))
            bytes += size_t(message.partAt(location).displayName().size());
        bytes += size_t(QMailMessagePart::Location(location.toString(true)) == location);
    }
    // Writing and reading back must not fail either.
    bytes += size_t(QMailMessage::fromRfc2822(message.toRfc2822(QMailMessage::StorageFormat)).partCount());
    return bytes == size_t(-1) ? 1 : 0;
}
