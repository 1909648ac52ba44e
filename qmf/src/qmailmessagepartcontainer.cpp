#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <QDebug>
#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>

namespace {

const QByteArray contentTypeField("Content-Type");
const QByteArray transferEncodingField("Content-Transfer-Encoding");
const QByteArray contentDispositionField("Content-Disposition");
const QByteArray contentDescriptionField("Content-Description");

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

// A single part is an attachment unless it is text meant to be read in place: plain text,
// HTML or a calendar without an "attachment" disposition. Enclosed messages always are.
bool isAttachment(const QMailMessagePart &part)
{
    const QMailMessageContentType type = part.contentType();
    if (type.matches("message", "rfc822"))
        return true;
    if (part.contentDisposition().type() == QMailMessageContentDisposition::Attachment)
        return true;
    return !(type.matches("text", "plain") || type.matches("text", "html") || type.matches("text", "calendar"));
}

// The platform's attachment search: mixed and alternative sets are searched through, other
// sets (related, signed below the top) hold none; of a signed message only the first part.
void collectAttachments(const QMailMessagePartContainer &container, QList<QMailMessagePartContainer::Location> *found)
{
    for (uint i = 0; i < container.partCount(); ++i) {
        const QMailMessagePart &part = container.partAt(i);
        switch (part.multipartType()) {
        case QMailMessagePartContainer::MultipartNone:
            if (isAttachment(part))
                found->append(part.location());
            break;
        case QMailMessagePartContainer::MultipartMixed:
        case QMailMessagePartContainer::MultipartAlternative:
            collectAttachments(part, found);
            break;
        default:
            break;
        }
    }
}

QList<QMailMessagePartContainer::Location> attachmentsOf(const QMailMessagePartContainer &container)
{
    QList<QMailMessagePartContainer::Location> found;
    switch (container.multipartType()) {
    case QMailMessagePartContainer::MultipartMixed:
    case QMailMessagePartContainer::MultipartAlternative:
        collectAttachments(container, &found);
        break;
    case QMailMessagePartContainer::MultipartSigned:
        if (container.partCount() > 0) {
            const QMailMessagePart &signedPart = container.partAt(0);
            if (signedPart.multipartType() == QMailMessagePartContainer::MultipartNone) {
                if (isAttachment(signedPart))
                    found.append(signedPart.location());
            } else {
                collectAttachments(signedPart, &found);
            }
        }
        break;
    default:
        break;
    }
    return found;
}

} // namespace

// --- QMailMessagePartContainerPrivate ---

QByteArray QMailMessagePartContainerPrivate::plainName(const QByteArray &name)
{
    // Callers may write the name as it appears in a message: " Subject:" is "Subject".
    QByteArray plain = name.trimmed();
    if (plain.endsWith(':'))
        plain.chop(1);
    return plain.trimmed();
}

int QMailMessagePartContainerPrivate::fieldIndex(const QByteArray &givenName) const
{
    const QByteArray name = plainName(givenName);
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

void QMailMessagePartContainerPrivate::setField(const QByteArray &givenName, const QByteArray &value)
{
    const QByteArray name = plainName(givenName);
    modified = true;
    const int index = fieldIndex(name);
    if (index < 0)
        fields.append(qMakePair(name, value));
    else
        fields[index].second = value;
}

void QMailMessagePartContainerPrivate::appendField(const QByteArray &givenName, const QByteArray &value)
{
    const QByteArray name = plainName(givenName);
    // Fields RFC 2822 (3.6) allows once are replaced rather than repeated.
    static const QList<QByteArray> singleFields = {"date", "from", "sender", "reply-to", "to", "cc", "bcc",
                                                   "message-id", "in-reply-to", "references", "subject"};
    if (singleFields.contains(name.toLower())) {
        setField(name, value);
        return;
    }
    modified = true;
    fields.append(qMakePair(name, value));
}

void QMailMessagePartContainerPrivate::removeField(const QByteArray &givenName)
{
    const QByteArray name = plainName(givenName);
    modified = true;
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
    if (type == d->multipartType)
        return;
    d->modified = true;
    d->multipartType = type;
    if (type == MultipartNone) {
        d->removeField(contentTypeField);
        return;
    }
    // The parameters of the earlier type stay; a boundary is chosen only when the message
    // is written, unless one is set.
    const QMailMessageContentType existing(QMailMessageHeaderField(contentTypeField, d->fieldValue(contentTypeField)));
    QMailMessageContentType contentType("multipart/" + subTypeOf(type));
    for (const QMailMessageHeaderField::ParameterType &parameter : existing.parameters())
        contentType.setParameter(parameter.first, parameter.second);
    d->setField(contentTypeField, contentType.toString(false, false));
    if (d->hasBody) {
        d->removeField(transferEncodingField);
        d->body = QMailMessageBody();
        d->hasBody = false;
    }
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
    d->modified = true;
    d->parts.append(part);
    d->placePart(d->parts.size() - 1);
}

void QMailMessagePartContainer::prependPart(const QMailMessagePart &part)
{
    d->modified = true;
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
    d->modified = true;
    d->placeAllParts();
}

void QMailMessagePartContainer::clearParts()
{
    d->modified = true;
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
    d->setField(contentTypeField, type.toString(false, false));
}

void QMailMessagePartContainer::setBody(const QMailMessageBody &body)
{
    d->modified = true;
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
        d->setField(contentTypeField, type.toString(false, false));
        QMailMessagePartContainerPrivate::parseMultipartBody(*this, body.data(QMailMessageBody::Decoded), type);
        return;
    }
    d->multipartType = MultipartNone;
    d->parts.clear();
    if (!type.isNull())
        d->setField(contentTypeField, type.toString(false, false));
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
    // The field carries the name as asked for, as in the platform library.
    return QMailMessageHeaderField(id.toLatin1(), d->fields.at(index).second, fieldType);
}

QStringList QMailMessagePartContainer::headerFieldsText(const QString &id) const
{
    QStringList result;
    const QByteArray name = QMailMessagePartContainerPrivate::plainName(id.toLatin1());
    for (const auto &field : qAsConst(d->fields)) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            result.append(QMailMessageHeaderField::decodeContent(field.second.trimmed()));
    }
    return result;
}

QList<QMailMessageHeaderField> QMailMessagePartContainer::headerFields(const QString &id, QMailMessageHeaderField::FieldType fieldType) const
{
    QList<QMailMessageHeaderField> result;
    const QByteArray name = QMailMessagePartContainerPrivate::plainName(id.toLatin1());
    for (const auto &field : qAsConst(d->fields)) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            result.append(QMailMessageHeaderField(id.toLatin1(), field.second, fieldType));
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

namespace {

// A value written "Id: value" carries its field name again; that copy is dropped.
QString withoutRepeatedName(const QString &id, const QString &value)
{
    const int colon = value.indexOf(QLatin1Char(':'));
    if (colon >= 0 && value.left(colon).trimmed().compare(id.trimmed(), Qt::CaseInsensitive) == 0)
        return value.mid(colon + 1);
    return value;
}

} // namespace

void QMailMessagePartContainer::setHeaderField(const QString &id, const QString &content)
{
    d->setField(id.toLatin1(), QMailMessageHeaderField::encodeContent(withoutRepeatedName(id, content)));
}

void QMailMessagePartContainer::setHeaderField(const QMailMessageHeaderField &field)
{
    d->setField(field.id(), field.toString(false, false));
}

void QMailMessagePartContainer::appendHeaderField(const QString &id, const QString &content)
{
    d->appendField(id.toLatin1(), QMailMessageHeaderField::encodeContent(withoutRepeatedName(id, content)));
}

void QMailMessagePartContainer::appendHeaderField(const QMailMessageHeaderField &field)
{
    d->appendField(field.id(), field.toString(false, false));
}

void QMailMessagePartContainer::removeHeaderField(const QString &id)
{
    d->removeField(id.toLatin1());
}

QMailMessageContentDisposition QMailMessagePartContainer::contentDisposition() const
{
    return QMailMessageContentDisposition(headerField(QString::fromLatin1(contentDispositionField)));
}

void QMailMessagePartContainer::setContentDisposition(const QMailMessageContentDisposition &disposition)
{
    // As in the platform library, a disposition without type is no field at all.
    if (disposition.type() == QMailMessageContentDisposition::None) {
        removeHeaderField(QString::fromLatin1(contentDispositionField));
        return;
    }
    QMailMessageHeaderField field(disposition);
    field.setId(contentDispositionField);
    QMailMessagePartContainer::setHeaderField(field);
}

QString QMailMessagePartContainer::contentDescription() const
{
    return headerFieldText(QString::fromLatin1(contentDescriptionField));
}

void QMailMessagePartContainer::setContentDescription(const QString &s)
{
    setHeaderField(QString::fromLatin1(contentDescriptionField), s);
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
    return attachmentsOf(*this);
}

bool QMailMessagePartContainer::hasAttachments() const
{
    return !attachmentsOf(*this).isEmpty();
}

void QMailMessagePartContainer::addAttachments(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (d->multipartType != MultipartMixed) {
        QMailMessagePart first;
        if (d->multipartType == MultipartNone) {
            first.setBody(body());
        } else {
            first.setMultipartType(d->multipartType);
            for (const QMailMessagePart &part : qAsConst(d->parts))
                first.appendPart(part);
        }
        clearParts();
        setMultipartType(MultipartMixed);
        appendPart(first);
    }
    for (const QString &path : paths) {
        const QFileInfo file(path);
        if (!file.isFile()) {
            qWarning() << "QMailMessagePartContainer::addAttachments:" << path << "is not a regular file; not attached";
            continue;
        }
        QMailMessageContentType type(QMimeDatabase().mimeTypeForFile(file).name().toLatin1());
        QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Attachment);
        disposition.setSize(int(qMin<qint64>(file.size(), INT_MAX)));
        const QString name = file.fileName();
        if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; })) {
            type.setName(name.toLatin1());
            disposition.setFilename(name.toLatin1());
        } else {
            const QByteArray encoded = QMailMessageHeaderField::encodeParameter(name, "UTF-8");
            type.setParameter("name*", encoded);
            disposition.setParameter("filename*", encoded);
        }
        appendPart(QMailMessagePart::fromFile(file.absoluteFilePath(), disposition, type, QMailMessageBody::Base64));
    }
}
