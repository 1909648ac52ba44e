#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <QUuid>

namespace {

const QByteArray contentTypeField("Content-Type");
const QByteArray transferEncodingField("Content-Transfer-Encoding");

struct MultipartName {
    QMailMessagePartContainer::MultipartType type;
    const char *subType;
};

const MultipartName multipartNames[] = {
    {QMailMessagePartContainer::MultipartSigned, "signed"},
    {QMailMessagePartContainer::MultipartEncrypted, "encrypted"},
    {QMailMessagePartContainer::MultipartMixed, "mixed"},
    {QMailMessagePartContainer::MultipartAlternative, "alternative"},
    {QMailMessagePartContainer::MultipartDigest, "digest"},
    {QMailMessagePartContainer::MultipartParallel, "parallel"},
    {QMailMessagePartContainer::MultipartRelated, "related"},
    {QMailMessagePartContainer::MultipartFormData, "form-data"},
    {QMailMessagePartContainer::MultipartReport, "report"},
};

QByteArray subTypeOf(QMailMessagePartContainer::MultipartType type)
{
    for (const MultipartName &name : multipartNames) {
        if (name.type == type)
            return name.subType;
    }
    return QByteArray();
}

bool isType(const QMailMessageContentType &type, const char *wanted)
{
    return type.content().toLower() == wanted;
}

bool isAttachmentPart(const QMailMessagePart &part)
{
    return part.contentDisposition().type() == QMailMessageContentDisposition::Attachment;
}

// The body search of findPlainTextContainer() and findHtmlContainer().
QMailMessagePartContainer *findBodyContainer(const QMailMessagePartContainer &container, const char *wanted)
{
    auto *self = const_cast<QMailMessagePartContainer *>(&container);
    const QMailMessagePartContainer::MultipartType multipart = container.multipartType();
    if (multipart == QMailMessagePartContainer::MultipartNone)
        return isType(container.contentType(), wanted) ? self : nullptr;

    const auto candidate = [wanted](const QMailMessagePart &part) -> QMailMessagePartContainer * {
        if (part.multipartType() != QMailMessagePartContainer::MultipartNone)
            return findBodyContainer(part, wanted);
        if (isAttachmentPart(part) || isType(part.contentType(), "message/rfc822"))
            return nullptr;
        return isType(part.contentType(), wanted) ? const_cast<QMailMessagePart *>(&part) : nullptr;
    };

    const int count = int(container.partCount());
    switch (multipart) {
    case QMailMessagePartContainer::MultipartSigned:
        return count > 0 ? candidate(container.partAt(0)) : nullptr;
    case QMailMessagePartContainer::MultipartAlternative:
    case QMailMessagePartContainer::MultipartRelated:
        // The richest alternative, or the root of a related set, comes last.
        for (int i = count - 1; i >= 0; --i) {
            if (QMailMessagePartContainer *found = candidate(container.partAt(uint(i))))
                return found;
        }
        return nullptr;
    default:
        for (int i = 0; i < count; ++i) {
            if (QMailMessagePartContainer *found = candidate(container.partAt(uint(i))))
                return found;
        }
        return nullptr;
    }
}

bool countsAsAttachment(const QMailMessagePart &part)
{
    if (part.multipartType() != QMailMessagePartContainer::MultipartNone)
        return false;
    if (isType(part.contentType(), "message/rfc822"))
        return true;
    const QMailMessageContentDisposition::DispositionType disposition = part.contentDisposition().type();
    if (disposition == QMailMessageContentDisposition::Attachment)
        return true;
    if (disposition == QMailMessageContentDisposition::Inline)
        return !isType(part.contentType(), "text/plain") && !isType(part.contentType(), "text/html");
    return false;
}

QByteArray toHeaderBytes(const QString &content)
{
    bool ascii = true;
    for (const QChar c : content) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    return ascii ? content.toLatin1() : QMailMessageHeaderField::encodeContent(content);
}

} // namespace

// --- QMailMessagePartContainerPrivate ---

int QMailMessagePartContainerPrivate::fieldIndex(const QByteArray &name) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QByteArray QMailMessagePartContainerPrivate::fieldValue(const QByteArray &name) const
{
    const int index = fieldIndex(name);
    return index < 0 ? QByteArray() : fields.at(index).second;
}

void QMailMessagePartContainerPrivate::setField(const QByteArray &name, const QByteArray &value)
{
    const int index = fieldIndex(name);
    if (index < 0)
        fields.append(qMakePair(name, value));
    else
        fields[index].second = value;
}

void QMailMessagePartContainerPrivate::appendField(const QByteArray &name, const QByteArray &value)
{
    fields.append(qMakePair(name, value));
}

void QMailMessagePartContainerPrivate::removeField(const QByteArray &name)
{
    for (int i = fields.size() - 1; i >= 0; --i) {
        if (fields.at(i).first.compare(name, Qt::CaseInsensitive) == 0)
            fields.removeAt(i);
    }
}

void QMailMessagePartContainerPrivate::placePart(int pos)
{
    QMailMessagePartContainerPrivate *part = of(parts[pos]);
    part->messageId = messageId;
    part->indices = indices;
    part->indices.append(uint(pos + 1));
    part->attached = true;
    part->placeAllParts();
}

void QMailMessagePartContainerPrivate::placeAllParts()
{
    for (int i = 0; i < parts.size(); ++i)
        placePart(i);
}

void QMailMessagePartContainerPrivate::setMessageId(const QMailMessageId &id)
{
    messageId = id;
    for (QMailMessagePart &part : parts)
        of(part)->setMessageId(id);
}

// --- QMailMessagePartContainer ---

QMailMessagePartContainer::QMailMessagePartContainer()
    : d(new QMailMessagePartContainerPrivate)
{
}

QMailMessagePartContainer::QMailMessagePartContainer(const QMailMessagePartContainer &other) = default;
QMailMessagePartContainer::~QMailMessagePartContainer() = default;
QMailMessagePartContainer &QMailMessagePartContainer::operator=(const QMailMessagePartContainer &other) = default;

void QMailMessagePartContainer::setMultipartType(MultipartType type)
{
    d->multipartType = type;
    if (type == MultipartNone) {
        d->removeField(contentTypeField);
        return;
    }
    QMailMessageContentType contentType(QMailMessageHeaderField(contentTypeField, d->fieldValue(contentTypeField)));
    QByteArray boundary = contentType.boundary();
    contentType = QMailMessageContentType("multipart/" + subTypeOf(type));
    if (boundary.isEmpty())
        boundary = "[)}<" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + ">{(]";
    contentType.setBoundary(boundary);
    d->setField(contentTypeField, contentType.toString(false));
    d->removeField(transferEncodingField);
    d->body = QMailMessageBody();
    d->hasBody = false;
}

QMailMessagePartContainer::MultipartType QMailMessagePartContainer::multipartType() const
{
    return d->multipartType;
}

uint QMailMessagePartContainer::partCount() const
{
    return uint(d->parts.size());
}

const QMailMessagePart &QMailMessagePartContainer::partAt(uint pos) const
{
    if (pos < uint(d->parts.size()))
        return d->parts.at(int(pos));
    qWarning() << "QMailMessagePartContainer::partAt: no part at" << pos;
    static const QMailMessagePart empty;
    return empty;
}

QMailMessagePart &QMailMessagePartContainer::partAt(uint pos)
{
    if (pos < uint(d->parts.size()))
        return d->parts[int(pos)];
    qWarning() << "QMailMessagePartContainer::partAt: no part at" << pos;
    // Callers get a scratch part rather than a crash; whatever they write to it is lost.
    static QMailMessagePart scratch;
    scratch = QMailMessagePart();
    return scratch;
}

void QMailMessagePartContainer::appendPart(const QMailMessagePart &part)
{
    d->parts.append(part);
    d->placePart(d->parts.size() - 1);
}

void QMailMessagePartContainer::prependPart(const QMailMessagePart &part)
{
    d->parts.prepend(part);
    d->placeAllParts();
}

void QMailMessagePartContainer::removePartAt(uint pos)
{
    if (pos >= uint(d->parts.size())) {
        qWarning() << "QMailMessagePartContainer::removePartAt: no part at" << pos;
        return;
    }
    d->parts.removeAt(int(pos));
    d->placeAllParts();
}

void QMailMessagePartContainer::clearParts()
{
    d->parts.clear();
}

QByteArray QMailMessagePartContainer::boundary() const
{
    return contentType().boundary();
}

void QMailMessagePartContainer::setBoundary(const QByteArray &text)
{
    QMailMessageContentType type = contentType();
    type.setBoundary(text);
    d->setField(contentTypeField, type.toString(false));
}

void QMailMessagePartContainer::setBody(const QMailMessageBody &body)
{
    const QMailMessageContentType type = body.contentType();
    if (type.type().toLower() == "multipart") {
        // A multipart body is structure, not content: it becomes this container's parts.
        const QByteArray sub = type.subType().toLower();
        MultipartType multipart = MultipartMixed;
        for (const MultipartName &name : multipartNames) {
            if (sub == name.subType)
                multipart = name.type;
        }
        setMultipartType(multipart);
        d->setField(contentTypeField, type.toString(false));
        QMailMessagePartContainerPrivate::parseMultipartBody(*this, body.data(QMailMessageBody::Decoded), type);
        return;
    }
    d->multipartType = MultipartNone;
    d->parts.clear();
    if (!type.isNull())
        d->setField(contentTypeField, type.toString(false));
    const QByteArray encodingName = QmfMessageCodec::encodingName(body.transferEncoding());
    if (encodingName.isEmpty())
        d->removeField(transferEncodingField);
    else
        d->setField(transferEncodingField, encodingName);
    d->body = body;
    d->hasBody = true;
}

QMailMessageBody QMailMessagePartContainer::body() const
{
    return d->body;
}

bool QMailMessagePartContainer::hasBody() const
{
    return d->hasBody && !d->body.isEmpty();
}

QMailMessageContentType QMailMessagePartContainer::contentType() const
{
    return QMailMessageContentType(QMailMessageHeaderField(contentTypeField, d->fieldValue(contentTypeField)));
}

QMailMessageBody::TransferEncoding QMailMessagePartContainer::transferEncoding() const
{
    return QmfMessageCodec::encodingFromName(d->fieldValue(transferEncodingField));
}

QString QMailMessagePartContainer::headerFieldText(const QString &id) const
{
    const int index = d->fieldIndex(id.toLatin1());
    if (index < 0)
        return QString();
    return QMailMessageHeaderField::decodeContent(d->fields.at(index).second.trimmed());
}

QMailMessageHeaderField QMailMessagePartContainer::headerField(const QString &id, QMailMessageHeaderField::FieldType fieldType) const
{
    const int index = d->fieldIndex(id.toLatin1());
    if (index < 0)
        return QMailMessageHeaderField();
    const auto &field = d->fields.at(index);
    return QMailMessageHeaderField(field.first, field.second, fieldType);
}

QStringList QMailMessagePartContainer::headerFieldsText(const QString &id) const
{
    QStringList result;
    const QByteArray name = id.toLatin1();
    for (const auto &field : qAsConst(d->fields)) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            result.append(QMailMessageHeaderField::decodeContent(field.second.trimmed()));
    }
    return result;
}

QList<QMailMessageHeaderField> QMailMessagePartContainer::headerFields(const QString &id, QMailMessageHeaderField::FieldType fieldType) const
{
    QList<QMailMessageHeaderField> result;
    const QByteArray name = id.toLatin1();
    for (const auto &field : qAsConst(d->fields)) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            result.append(QMailMessageHeaderField(field.first, field.second, fieldType));
    }
    return result;
}

QList<QMailMessageHeaderField> QMailMessagePartContainer::headerFields() const
{
    QList<QMailMessageHeaderField> result;
    for (const auto &field : qAsConst(d->fields))
        result.append(QMailMessageHeaderField(field.first, field.second, QMailMessageHeaderField::UnstructuredField));
    return result;
}

void QMailMessagePartContainer::setHeaderField(const QString &id, const QString &content)
{
    d->setField(id.toLatin1(), toHeaderBytes(content));
}

void QMailMessagePartContainer::setHeaderField(const QMailMessageHeaderField &field)
{
    d->setField(field.id(), field.toString(false));
}

void QMailMessagePartContainer::appendHeaderField(const QString &id, const QString &content)
{
    d->appendField(id.toLatin1(), toHeaderBytes(content));
}

void QMailMessagePartContainer::appendHeaderField(const QMailMessageHeaderField &field)
{
    d->appendField(field.id(), field.toString(false));
}

void QMailMessagePartContainer::removeHeaderField(const QString &id)
{
    d->removeField(id.toLatin1());
}

QMailMessagePartContainer *QMailMessagePartContainer::findPlainTextContainer() const
{
    return findBodyContainer(*this, "text/plain");
}

QMailMessagePartContainer *QMailMessagePartContainer::findHtmlContainer() const
{
    return findBodyContainer(*this, "text/html");
}

QList<QMailMessagePartContainer::Location> QMailMessagePartContainer::findAttachmentLocations() const
{
    QList<Location> result;
    if (d->multipartType != MultipartMixed)
        return result;
    for (const QMailMessagePart &part : qAsConst(d->parts)) {
        if (countsAsAttachment(part))
            result.append(part.location());
    }
    return result;
}

bool QMailMessagePartContainer::hasAttachments() const
{
    if (d->multipartType != MultipartMixed)
        return false;
    for (const QMailMessagePart &part : qAsConst(d->parts)) {
        if (countsAsAttachment(part))
            return true;
    }
    return false;
}
