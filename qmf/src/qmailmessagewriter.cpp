#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>

// Writes messages as RFC 2822 text the way the platform library does: header fields folded,
// CRLF line ends, bodies in their transfer encoding, boundaries chosen where none is set.

namespace {

QByteArray fixedBoundary;

const QByteArray contentTypeField("Content-Type");

QByteArray newBoundary(const QMailMessagePartContainerPrivate *container)
{
    if (!fixedBoundary.isEmpty())
        return fixedBoundary;
    // A hash of the fields makes a clash with the content even less likely.
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (const auto &field : container->fields)
        hash.addData(field.first + field.second);
    return "[)}<qmf:" + QByteArray::number(QRandomGenerator::global()->generate()) + hash.result().toBase64() + ")}<]";
}

void setBoundary(QMailMessagePartContainerPrivate *container, const QByteArray &boundary)
{
    QMailMessageContentType type(QMailMessageHeaderField(contentTypeField, container->fieldValue(contentTypeField)));
    type.setBoundary(boundary);
    container->setField(contentTypeField, type.toString(false, false));
}

QByteArray boundaryOf(const QMailMessagePartContainerPrivate *container)
{
    return QMailMessageContentType(QMailMessageHeaderField(contentTypeField, container->fieldValue(contentTypeField))).boundary();
}

// Gives every multipart below container without a boundary one derived from its parent's.
void deriveBoundaries(QMailMessagePartContainerPrivate *container)
{
    const QByteArray parentBoundary = boundaryOf(container);
    for (int i = 0; i < container->parts.size(); ++i) {
        QMailMessagePartContainerPrivate *part = QMailMessagePartContainerPrivate::of(container->parts[i]);
        if (part->multipartType == QMailMessagePartContainer::MultipartNone)
            continue;
        if (boundaryOf(part).isEmpty()) {
            QByteArray boundary = parentBoundary;
            const int colon = boundary.indexOf(':');
            const QByteArray number = QByteArray::number(container->parts.at(i).partNumber());
            if (colon >= 0)
                boundary.insert(colon, '-' + number);
            else
                boundary.prepend(number + ':');
            setBoundary(part, boundary);
        }
        deriveBoundaries(part);
    }
}

struct Options {
    bool preamble = false;
    bool partBodies = true;
    bool skipInternal = false;
};

void writeFields(QByteArray &out, const QMailMessagePartContainerPrivate *container, const QList<QByteArray> &excluded,
                 bool skipInternal)
{
    for (const auto &field : container->fields) {
        const QByteArray lower = field.first.trimmed().toLower();
        if (excluded.contains(lower) || (skipInternal && lower.startsWith("x-qmf-internal-")))
            continue;
        out.append(QmfHeaderWriter::field(field.first.trimmed(), field.second.trimmed()));
    }
}

void writeParts(QByteArray &out, const QMailMessagePartContainerPrivate *container, const Options &options);

void writePart(QByteArray &out, const QMailMessagePartContainerPrivate *part, const Options &options)
{
    writeFields(out, part, {}, options.skipInternal);
    out.append("\r\n");
    if (part->hasBody) {
        if (options.partBodies)
            out.append(part->body.data(QMailMessageBody::Encoded));
    } else {
        Options inner = options;
        inner.preamble = false;
        writeParts(out, part, inner);
    }
}

void writeParts(QByteArray &out, const QMailMessagePartContainerPrivate *container, const Options &options)
{
    if (container->multipartType == QMailMessagePartContainer::MultipartNone)
        return;
    const QByteArray boundary = boundaryOf(container);
    if (options.preamble)
        out.append("This is a multipart message in Mime 1.0 format\r\n");
    for (const QMailMessagePart &part : container->parts) {
        out.append("\r\n--" + boundary + "\r\n");
        writePart(out, QMailMessagePartContainerPrivate::of(part), options);
    }
    out.append("\r\n--" + boundary + "--\r\n");
}


// Chooses the boundaries a container and the multiparts below it still lack.
void settleBoundaries(QMailMessagePartContainerPrivate *container)
{
    if (container->multipartType != QMailMessagePartContainer::MultipartNone && boundaryOf(container).isEmpty())
        setBoundary(container, newBoundary(container));
    deriveBoundaries(container);
}

} // namespace

// The platform library's hook for fixed boundaries in its unit tests.
void QMF_EXPORT setQMailMessageBoundaryString(const QByteArray &boundary)
{
    fixedBoundary = boundary;
}

namespace QmfMessageWriter {

QByteArray write(const QMailMessagePart &part)
{
    QMailMessagePart copy = part;
    QMailMessagePartContainerPrivate *container = QMailMessagePartContainerPrivate::of(copy);
    settleBoundaries(container);
    QByteArray out;
    Options options;
    options.skipInternal = true;
    writePart(out, container, options);
    return out;
}

QByteArray write(const QMailMessage &message, QMailMessage::EncodingFormat format)
{
    QMailMessage copy = message;
    QMailMessagePartContainerPrivate *container = QMailMessagePartContainerPrivate::of(copy);
    settleBoundaries(container);

    const bool outgoing = message.status() & (QMailMessage::Outgoing | QMailMessage::Sent);
    const bool identity = (format == QMailMessage::IdentityFormat);
    const bool transmission = (format == QMailMessage::TransmissionFormat);
    // Stored incoming single-part messages keep the fields they came with.
    const bool contentFields = !identity && (format != QMailMessage::StorageFormat || outgoing || !container->hasBody);

    QList<QByteArray> excluded;
    if (contentFields)
        excluded.append("mime-version");
    if (transmission)
        excluded.append("bcc");

    QByteArray out;
    writeFields(out, container, excluded, transmission);
    if (!identity && container->fieldIndex("Date") < 0)
        out.append(QmfHeaderWriter::field("Date", QMailTimeStamp(QDateTime::currentDateTime()).toString().toLatin1()));
    if (contentFields)
        out.append("MIME-Version: 1.0\r\n");
    out.append("\r\n");
    if (format == QMailMessage::HeaderOnlyFormat)
        return out;

    if (container->hasBody) {
        out.append(container->body.data(QMailMessageBody::Encoded));
    } else {
        Options options;
        options.preamble = transmission;
        // The store keeps the bodies of parts apart from the message text.
        options.partBodies = (format != QMailMessage::StorageFormat);
        options.skipInternal = transmission;
        writeParts(out, container, options);
    }
    return out;
}

} // namespace QmfMessageWriter
