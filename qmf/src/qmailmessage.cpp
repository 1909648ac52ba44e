#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include "qmailstore.h"

#include <QFile>

namespace {

// Makes the message model types usable in queued connections and QVariant from the start.
void registerMessageMetaTypes()
{
    qRegisterMetaType<QMailMessageMetaData>("QMailMessageMetaData");
    qRegisterMetaType<QMailMessage>("QMailMessage");
    qRegisterMetaType<QMailMessageList>("QMailMessageList");
    qRegisterMetaType<QMailMessageMetaDataList>("QMailMessageMetaDataList");
    qRegisterMetaType<QMailMessagePartContainer::Location>("QMailMessagePartContainer::Location");
    qRegisterMetaType<QMailMessagePartContainer::Location>("QMailMessagePart::Location");
    qRegisterMetaType<QList<QMailMessagePartContainer::Location>>("QList<QMailMessagePart::Location>");
    qRegisterMetaType<QMailAddress>("QMailAddress");
}
Q_CONSTRUCTOR_FUNCTION(registerMessageMetaTypes)

QString joinedAddresses(const QList<QMailAddress> &addresses)
{
    return QMailAddress::toStringList(addresses).join(QLatin1String(", "));
}

// The addresses of the first such field: RFC 2822 allows each address field once, and the
// platform library reads no other.
QList<QMailAddress> addressesIn(const QMailMessage &message, const char *field)
{
    return QMailAddress::fromStringList(message.headerFieldText(QString::fromLatin1(field)));
}

const QMailMessagePart *findPart(const QMailMessagePartContainer &container, const QList<uint> &indices)
{
    const QMailMessagePartContainer *current = &container;
    const QMailMessagePart *part = nullptr;
    for (const uint index : indices) {
        if (index == 0 || index > current->partCount())
            return nullptr;
        part = &current->partAt(index - 1);
        current = part;
    }
    return part;
}

QList<uint> indicesOf(const QMailMessagePart::Location &location)
{
    // The indices are private to the location; its short text form carries them.
    QList<uint> indices;
    const QString text = location.toString(false);
    if (text.isEmpty())
        return indices;
    const QStringList items = text.split(QLatin1Char('.'));
    for (const QString &item : items)
        indices.append(item.toUInt());
    return indices;
}

} // namespace

QMailMessage QMailMessage::fromRfc2822(const QByteArray &ba)
{
    QMailMessage message;
    QmfMimeParser::parseMessage(message, ba);
    return message;
}

QMailMessage QMailMessage::fromRfc2822File(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "QMailMessage::fromRfc2822File: cannot open" << fileName << ":" << file.errorString();
        QMailMessage message;
        message.setMessageType(Email);
        return message;
    }
    return fromRfc2822(file.readAll());
}

QMailMessage::QMailMessage() = default;

QMailMessage::QMailMessage(const QMailMessageId &id)
{
    *this = QMailStore::instance()->message(id);
}

QMailMessage::QMailMessage(const QString &uid, const QMailAccountId &accountId)
    : QMailMessageMetaData(uid, accountId)
{
}

QMailMessage::QMailMessage(const QMailMessage &other) = default;
QMailMessage::~QMailMessage() = default;
QMailMessage &QMailMessage::operator=(const QMailMessage &other) = default;

const QMailMessagePart &QMailMessage::partAt(const QMailMessagePart::Location &location) const
{
    if (const QMailMessagePart *part = findPart(*this, indicesOf(location)))
        return *part;
    qWarning() << "QMailMessage::partAt: no part at" << location.toString(true);
    static const QMailMessagePart empty;
    return empty;
}

QMailMessagePart &QMailMessage::partAt(const QMailMessagePart::Location &location)
{
    if (findPart(*this, indicesOf(location))) {
        QMailMessagePartContainer *current = this;
        QMailMessagePart *part = nullptr;
        const QList<uint> indices = indicesOf(location);
        for (const uint index : indices) {
            part = &current->partAt(index - 1);
            current = part;
        }
        return *part;
    }
    qWarning() << "QMailMessage::partAt: no part at" << location.toString(true);
    static QMailMessagePart scratch;
    scratch = QMailMessagePart();
    return scratch;
}

bool QMailMessage::contains(const QMailMessagePart::Location &location) const
{
    return findPart(*this, indicesOf(location)) != nullptr;
}

QByteArray QMailMessage::toRfc2822(EncodingFormat format) const
{
    return QmfMessageWriter::write(*this, format);
}

void QMailMessage::setHeaderField(const QString &id, const QString &content)
{
    QMailMessagePartContainer::setHeaderField(id, content);
    syncMetaDataFromHeader(QMailMessagePartContainerPrivate::plainName(id.toLatin1()).toLower());
}

void QMailMessage::setHeaderField(const QMailMessageHeaderField &field)
{
    QMailMessagePartContainer::setHeaderField(field);
    syncMetaDataFromHeader(QMailMessagePartContainerPrivate::plainName(field.id()).toLower());
}

void QMailMessage::appendHeaderField(const QString &id, const QString &content)
{
    QMailMessagePartContainer::appendHeaderField(id, content);
    syncMetaDataFromHeader(QMailMessagePartContainerPrivate::plainName(id.toLatin1()).toLower());
}

void QMailMessage::appendHeaderField(const QMailMessageHeaderField &field)
{
    QMailMessagePartContainer::appendHeaderField(field);
    syncMetaDataFromHeader(QMailMessagePartContainerPrivate::plainName(field.id()).toLower());
}

void QMailMessage::removeHeaderField(const QString &id)
{
    QMailMessagePartContainer::removeHeaderField(id);
    syncMetaDataFromHeader(QMailMessagePartContainerPrivate::plainName(id.toLatin1()).toLower());
}

void QMailMessage::syncMetaDataFromHeader(const QByteArray &lowerName)
{
    if (lowerName == "from") {
        QMailMessageMetaData::setFrom(QMailAddress(headerFieldText(QStringLiteral("From"))));
    } else if (lowerName == "to" || lowerName == "cc" || lowerName == "bcc") {
        QMailMessageMetaData::setRecipients(recipients());
    } else if (lowerName == "subject") {
        QMailMessageMetaData::setSubject(headerFieldText(QStringLiteral("Subject")));
    } else if (lowerName == "date") {
        QMailMessageMetaData::setDate(QMailTimeStamp(headerFieldText(QStringLiteral("Date"))));
    } else if (lowerName == "message-id") {
        QMailMessageMetaData::setRfcId(headerFieldText(QStringLiteral("Message-ID")).trimmed());
    } else if (lowerName == "list-id") {
        QMailMessageMetaData::setListId(headerFieldText(QStringLiteral("List-ID")).trimmed());
    }
}

void QMailMessage::setId(const QMailMessageId &id)
{
    QMailMessageMetaData::setId(id);
    QMailMessagePartContainerPrivate::of(*this)->setMessageId(id);
}

void QMailMessage::setFrom(const QMailAddress &from)
{
    QMailMessagePartContainer::setHeaderField(QStringLiteral("From"), from.toString());
    QMailMessageMetaData::setFrom(from);
}

void QMailMessage::setSubject(const QString &s)
{
    QMailMessagePartContainer::setHeaderField(QStringLiteral("Subject"), s);
    QMailMessageMetaData::setSubject(s);
}

void QMailMessage::setDate(const QMailTimeStamp &s)
{
    QMailMessagePartContainer::setHeaderField(QStringLiteral("Date"), s.toString());
    QMailMessageMetaData::setDate(s);
}

QList<QMailAddress> QMailMessage::to() const
{
    return addressesIn(*this, "To");
}

void QMailMessage::setTo(const QList<QMailAddress> &s)
{
    setHeaderField(QStringLiteral("To"), joinedAddresses(s));
}

void QMailMessage::setTo(const QMailAddress &s)
{
    setTo(QList<QMailAddress>() << s);
}

QList<QMailAddress> QMailMessage::cc() const
{
    return addressesIn(*this, "Cc");
}

void QMailMessage::setCc(const QList<QMailAddress> &s)
{
    setHeaderField(QStringLiteral("Cc"), joinedAddresses(s));
}

QList<QMailAddress> QMailMessage::bcc() const
{
    return addressesIn(*this, "Bcc");
}

void QMailMessage::setBcc(const QList<QMailAddress> &s)
{
    setHeaderField(QStringLiteral("Bcc"), joinedAddresses(s));
}

QList<QMailAddress> QMailMessage::recipients() const
{
    return to() + cc() + bcc();
}

bool QMailMessage::hasRecipients() const
{
    return !recipients().isEmpty();
}

void QMailMessage::setBody(const QMailMessageBody &body)
{
    QMailMessagePartContainer::setBody(body);
    setStatus(HasAttachments, false);
}

void QMailMessage::addAttachments(const QStringList &paths)
{
    QMailMessagePartContainer::addAttachments(paths);
    if (hasAttachments())
        setStatus(HasAttachments, true);
}

QMailAddress QMailMessage::replyTo() const
{
    return QMailAddress(headerFieldText(QStringLiteral("Reply-To")));
}

void QMailMessage::setReplyTo(const QMailAddress &s)
{
    setHeaderField(QStringLiteral("Reply-To"), s.toString());
}

QString QMailMessage::inReplyTo() const
{
    return headerFieldText(QStringLiteral("In-Reply-To"));
}

void QMailMessage::setInReplyTo(const QString &s)
{
    setHeaderField(QStringLiteral("In-Reply-To"), s);
}

void QMailMessage::setReplyReferences(const QMailMessage &msg)
{
    if (msg.id().isValid())
        setInResponseTo(msg.id());
    QString references = msg.headerFieldText(QStringLiteral("References"));
    if (references.isEmpty())
        references = msg.inReplyTo();
    const QString precursor = msg.headerFieldText(QStringLiteral("Message-ID"));
    if (!precursor.isEmpty()) {
        setInReplyTo(precursor);
        if (!references.isEmpty())
            references.append(QLatin1Char(' '));
        references.append(precursor);
    }
    if (!references.isEmpty())
        setHeaderField(QStringLiteral("References"), references);
}

bool QMailMessage::contentModified() const
{
    return QMailMessagePartContainerPrivate::of(*this)->modified;
}

void QMailMessage::setUnmodified()
{
    QMailMessageMetaData::setUnmodified();
    QMailMessagePartContainerPrivate::of(*this)->modified = false;
}

bool QMailMessage::contentAvailable() const
{
    return QMailMessageMetaData::contentAvailable();
}

bool QMailMessage::partialContentAvailable() const
{
    return QMailMessageMetaData::partialContentAvailable();
}
