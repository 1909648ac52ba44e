#include "qmailmessagecontrol.h"
#include "qmailmessage_p.h"

namespace {

// Every single-part descendant, depth first.
void collectLeaves(QMailMessagePartContainer &container, QList<QMailMessagePart *> *leaves)
{
    for (uint i = 0; i < container.partCount(); ++i) {
        QMailMessagePart &part = container.partAt(i);
        if (part.multipartType() == QMailMessagePartContainer::MultipartNone)
            leaves->append(&part);
        else
            collectLeaves(part, leaves);
    }
}

void stripContent(QMailMessagePart &part)
{
    const QMailMessageBody body = part.body();
    const QByteArray decoded = body.data(QMailMessageBody::Decoded);
    QMailMessageContentDisposition disposition = part.contentDisposition();
    // The real IMAP service records a part without a disposition as inline; a disposition
    // without a type would not even read back its size.
    if (disposition.type() == QMailMessageContentDisposition::None)
        disposition.setType(QMailMessageContentDisposition::Inline);
    disposition.setSize(decoded.size());
    part.setContentDisposition(disposition);
    part.setHeaderField(QString::fromLatin1(qmfPartialContentField), QStringLiteral("true"));

    QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(part);
    p->body = QMailMessageBody::fromData(QByteArray(), body.contentType(), body.transferEncoding(),
                                         QMailMessageBody::AlreadyEncoded);
    p->hasBody = false;
}

void takePart(QMailMessage &stored, const QMailMessagePart &source, const QMailMessagePart::Location &location)
{
    QMailMessagePart &target = stored.partAt(location);
    target = source;
    QMailMessagePartContainerPrivate::of(target)->setMessageId(stored.id());
}

bool locate(const QMailMessage &stored, const QMailMessage &complete, const QMailMessagePart::Location &location)
{
    if (!stored.contains(location) || !complete.contains(location)) {
        qWarning() << "QmfStandIn: no part at" << location.toString(true);
        return false;
    }
    return true;
}

} // namespace

namespace QmfStandIn {

QMailMessage withoutContent(const QMailMessage &complete)
{
    QMailMessage message(complete);
    if (message.multipartType() == QMailMessagePartContainer::MultipartNone) {
        QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(message);
        p->body = QMailMessageBody::fromData(QByteArray(), message.contentType(), message.transferEncoding(),
                                             QMailMessageBody::AlreadyEncoded);
        p->hasBody = false;
    } else {
        QList<QMailMessagePart *> leaves;
        collectLeaves(message, &leaves);
        for (QMailMessagePart *leaf : qAsConst(leaves))
            stripContent(*leaf);
    }
    message.setStatus(QMailMessage::ContentAvailable | QMailMessage::PartialContentAvailable, false);
    return message;
}

bool fillPart(QMailMessage &stored, const QMailMessage &complete, const QMailMessagePart::Location &location)
{
    if (!locate(stored, complete, location))
        return false;
    takePart(stored, complete.partAt(location), location);
    updateContentStatus(stored);
    return true;
}

bool fillPartRange(QMailMessage &stored, const QMailMessage &complete, const QMailMessagePart::Location &location,
                   uint minimum)
{
    if (!locate(stored, complete, location))
        return false;
    const QMailMessagePart &source = complete.partAt(location);
    const QByteArray decoded = source.body().data(QMailMessageBody::Decoded);
    if (source.multipartType() != QMailMessagePartContainer::MultipartNone || uint(decoded.size()) <= minimum)
        return fillPart(stored, complete, location);

    QMailMessagePart &target = stored.partAt(location);
    QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(target);
    const QMailMessageBody body = source.body();
    p->body = QMailMessageBody::fromData(decoded.left(int(minimum)), body.contentType(), body.transferEncoding(),
                                         QMailMessageBody::RequiresEncoding);
    p->hasBody = true;
    updateContentStatus(stored);
    return true;
}

bool fillMessage(QMailMessage &stored, const QMailMessage &complete)
{
    const QMailMessagePartContainerPrivate *source = QMailMessagePartContainerPrivate::of(complete);
    if (!source->hasBody && source->parts.isEmpty()) {
        qWarning() << "QmfStandIn::fillMessage: the complete message has no content";
        return false;
    }
    QMailMessagePartContainerPrivate *target = QMailMessagePartContainerPrivate::of(stored);
    target->fields = source->fields;
    target->multipartType = source->multipartType;
    target->body = source->body;
    target->hasBody = source->hasBody;
    target->parts = source->parts;
    target->placeAllParts();
    updateContentStatus(stored);
    return true;
}

bool fillMessageRange(QMailMessage &stored, const QMailMessage &complete, uint minimum)
{
    if (stored.multipartType() == QMailMessagePartContainer::MultipartNone)
        return fillMessage(stored, complete);

    QList<QMailMessagePart *> leaves;
    collectLeaves(stored, &leaves);
    qint64 total = 0;
    for (QMailMessagePart *leaf : qAsConst(leaves)) {
        if (total >= minimum)
            break;
        const QMailMessagePart::Location location = leaf->location();
        if (!leaf->contentAvailable() && complete.contains(location))
            takePart(stored, complete.partAt(location), location);
        total += stored.partAt(location).body().data(QMailMessageBody::Decoded).size();
    }
    updateContentStatus(stored);
    return true;
}

void updateContentStatus(QMailMessage &message)
{
    bool complete = true;
    bool partial = false;
    if (message.multipartType() == QMailMessagePartContainer::MultipartNone) {
        complete = message.hasBody();
        partial = complete;
    } else {
        QList<QMailMessagePart *> leaves;
        collectLeaves(message, &leaves);
        for (QMailMessagePart *leaf : qAsConst(leaves)) {
            complete = complete && leaf->contentAvailable();
            partial = partial || leaf->hasBody();
        }
    }
    message.setStatus(QMailMessage::ContentAvailable, complete);
    message.setStatus(QMailMessage::PartialContentAvailable, partial);
    message.setStatus(QMailMessage::HasAttachments, message.hasAttachments());
}

} // namespace QmfStandIn
