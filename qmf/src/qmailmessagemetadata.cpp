#include "qmailmessage.h"

#include "qmailstore.h"

#include <QSharedData>

namespace {

// Fixed bit values of a fresh store, handed out as references because real clients
// must not treat them as compile-time constants.
const quint64 incomingFlag = Q_UINT64_C(0x1);
const quint64 outgoingFlag = Q_UINT64_C(0x2);
const quint64 sentFlag = Q_UINT64_C(0x4);
const quint64 repliedFlag = Q_UINT64_C(0x8);
const quint64 repliedAllFlag = Q_UINT64_C(0x10);
const quint64 forwardedFlag = Q_UINT64_C(0x20);
const quint64 contentAvailableFlag = Q_UINT64_C(0x40);
const quint64 readFlag = Q_UINT64_C(0x80);
const quint64 removedFlag = Q_UINT64_C(0x100);
const quint64 readElsewhereFlag = Q_UINT64_C(0x200);
const quint64 unloadedDataFlag = Q_UINT64_C(0x400);
const quint64 newFlag = Q_UINT64_C(0x800);
const quint64 readReplyRequestedFlag = Q_UINT64_C(0x1000);
const quint64 trashFlag = Q_UINT64_C(0x2000);
const quint64 partialContentAvailableFlag = Q_UINT64_C(0x4000);
const quint64 hasAttachmentsFlag = Q_UINT64_C(0x8000);
const quint64 hasReferencesFlag = Q_UINT64_C(0x10000);
const quint64 hasUnresolvedReferencesFlag = Q_UINT64_C(0x20000);
const quint64 draftFlag = Q_UINT64_C(0x40000);
const quint64 outboxFlag = Q_UINT64_C(0x80000);
const quint64 junkFlag = Q_UINT64_C(0x100000);
const quint64 transmitFromExternalFlag = Q_UINT64_C(0x200000);
const quint64 localOnlyFlag = Q_UINT64_C(0x400000);
const quint64 temporaryFlag = Q_UINT64_C(0x800000);
const quint64 importantElsewhereFlag = Q_UINT64_C(0x1000000);
const quint64 importantFlag = Q_UINT64_C(0x2000000);
const quint64 highPriorityFlag = Q_UINT64_C(0x4000000);
const quint64 lowPriorityFlag = Q_UINT64_C(0x8000000);
const quint64 calendarInvitationFlag = Q_UINT64_C(0x10000000);
const quint64 todoFlag = Q_UINT64_C(0x20000000);

} // namespace

const quint64 &QMailMessageMetaData::Incoming = incomingFlag;
const quint64 &QMailMessageMetaData::Outgoing = outgoingFlag;
const quint64 &QMailMessageMetaData::Sent = sentFlag;
const quint64 &QMailMessageMetaData::Replied = repliedFlag;
const quint64 &QMailMessageMetaData::RepliedAll = repliedAllFlag;
const quint64 &QMailMessageMetaData::Forwarded = forwardedFlag;
const quint64 &QMailMessageMetaData::ContentAvailable = contentAvailableFlag;
const quint64 &QMailMessageMetaData::Read = readFlag;
const quint64 &QMailMessageMetaData::Removed = removedFlag;
const quint64 &QMailMessageMetaData::ReadElsewhere = readElsewhereFlag;
const quint64 &QMailMessageMetaData::UnloadedData = unloadedDataFlag;
const quint64 &QMailMessageMetaData::New = newFlag;
const quint64 &QMailMessageMetaData::ReadReplyRequested = readReplyRequestedFlag;
const quint64 &QMailMessageMetaData::Trash = trashFlag;
const quint64 &QMailMessageMetaData::PartialContentAvailable = partialContentAvailableFlag;
const quint64 &QMailMessageMetaData::HasAttachments = hasAttachmentsFlag;
const quint64 &QMailMessageMetaData::HasReferences = hasReferencesFlag;
const quint64 &QMailMessageMetaData::HasUnresolvedReferences = hasUnresolvedReferencesFlag;
const quint64 &QMailMessageMetaData::Draft = draftFlag;
const quint64 &QMailMessageMetaData::Outbox = outboxFlag;
const quint64 &QMailMessageMetaData::Junk = junkFlag;
const quint64 &QMailMessageMetaData::TransmitFromExternal = transmitFromExternalFlag;
const quint64 &QMailMessageMetaData::LocalOnly = localOnlyFlag;
const quint64 &QMailMessageMetaData::Temporary = temporaryFlag;
const quint64 &QMailMessageMetaData::ImportantElsewhere = importantElsewhereFlag;
const quint64 &QMailMessageMetaData::Important = importantFlag;
const quint64 &QMailMessageMetaData::HighPriority = highPriorityFlag;
const quint64 &QMailMessageMetaData::LowPriority = lowPriorityFlag;
const quint64 &QMailMessageMetaData::CalendarInvitation = calendarInvitationFlag;
const quint64 &QMailMessageMetaData::Todo = todoFlag;

class QMailMessageMetaDataPrivate : public QSharedData
{
public:
    QMailMessageId id;
    QMailFolderId parentFolderId;
    QMailFolderId previousParentFolderId;
    QMailMessageMetaData::MessageType messageType = QMailMessageMetaData::None;
    QMailAddress from;
    QString subject;
    QMailTimeStamp date;
    QMailTimeStamp receivedDate;
    QList<QMailAddress> recipients;
    quint64 status = 0;
    QMailAccountId parentAccountId;
    QString serverUid;
    uint size = 0;
    QMailMessageMetaData::ContentType content = QMailMessageMetaData::UnknownContent;
    QString contentScheme;
    QString contentIdentifier;
    QMailMessageId inResponseTo;
    QMailMessageMetaData::ResponseType responseType = QMailMessageMetaData::NoResponse;
    QString preview;
    QString listId;
    QString rfcId;
    QString copyServerUid;
    QMailFolderId restoreFolderId;
    QMailThreadId parentThreadId;
    QMap<QString, QString> customFields;
    bool modified = false;
};

QMailMessageMetaData::QMailMessageMetaData()
    : d(new QMailMessageMetaDataPrivate)
{
}

QMailMessageMetaData::QMailMessageMetaData(const QMailMessageId &id)
    : d(new QMailMessageMetaDataPrivate)
{
    *this = QMailStore::instance()->messageMetaData(id);
}

QMailMessageMetaData::QMailMessageMetaData(const QString &uid, const QMailAccountId &accountId)
    : d(new QMailMessageMetaDataPrivate)
{
    d->serverUid = uid;
    d->parentAccountId = accountId;
}

QMailMessageMetaData::QMailMessageMetaData(const QMailMessageMetaData &other) = default;
QMailMessageMetaData::~QMailMessageMetaData() = default;
QMailMessageMetaData &QMailMessageMetaData::operator=(const QMailMessageMetaData &other) = default;

namespace {

// As in the platform library, clearing a text that has a value leaves it empty rather than
// null, so "was set" stays visible.
void assignText(QString &member, const QString &value, bool &modified)
{
    if (value.isNull() && !member.isEmpty())
        member = QLatin1String("");
    else if (member != value)
        member = value;
    else
        return;
    modified = true;
}

} // namespace

QMailMessageId QMailMessageMetaData::id() const { return d->id; }
void QMailMessageMetaData::setId(const QMailMessageId &id)
{
    d->id = id;
    d->modified = true;
}

QMailFolderId QMailMessageMetaData::parentFolderId() const { return d->parentFolderId; }
void QMailMessageMetaData::setParentFolderId(const QMailFolderId &id)
{
    d->parentFolderId = id;
    d->modified = true;
}

QMailFolderId QMailMessageMetaData::previousParentFolderId() const { return d->previousParentFolderId; }
void QMailMessageMetaData::setPreviousParentFolderId(const QMailFolderId &id)
{
    d->previousParentFolderId = id;
    d->modified = true;
}

QMailMessageMetaData::MessageType QMailMessageMetaData::messageType() const { return d->messageType; }
void QMailMessageMetaData::setMessageType(MessageType t)
{
    d->messageType = t;
    d->modified = true;
}

QMailAddress QMailMessageMetaData::from() const { return d->from; }
void QMailMessageMetaData::setFrom(const QMailAddress &s)
{
    d->from = s;
    d->modified = true;
}

QString QMailMessageMetaData::subject() const { return d->subject; }
void QMailMessageMetaData::setSubject(const QString &s)
{
    assignText(d->subject, s, d->modified);
}

QMailTimeStamp QMailMessageMetaData::date() const { return d->date; }
void QMailMessageMetaData::setDate(const QMailTimeStamp &s)
{
    d->date = s;
    d->modified = true;
}

QMailTimeStamp QMailMessageMetaData::receivedDate() const { return d->receivedDate; }
void QMailMessageMetaData::setReceivedDate(const QMailTimeStamp &s)
{
    d->receivedDate = s;
    d->modified = true;
}

QList<QMailAddress> QMailMessageMetaData::recipients() const { return d->recipients; }
void QMailMessageMetaData::setRecipients(const QList<QMailAddress> &s)
{
    d->recipients = s;
    d->modified = true;
}
void QMailMessageMetaData::setRecipients(const QMailAddress &s)
{
    setRecipients(QList<QMailAddress>() << s);
}
bool QMailMessageMetaData::hasRecipients() const { return !d->recipients.isEmpty(); }

quint64 QMailMessageMetaData::status() const { return d->status; }
void QMailMessageMetaData::setStatus(quint64 newStatus)
{
    d->status = newStatus;
    d->modified = true;
}
void QMailMessageMetaData::setStatus(quint64 mask, bool set)
{
    setStatus(set ? (d->status | mask) : (d->status & ~mask));
}

QMailAccountId QMailMessageMetaData::parentAccountId() const { return d->parentAccountId; }
void QMailMessageMetaData::setParentAccountId(const QMailAccountId &id)
{
    d->parentAccountId = id;
    d->modified = true;
}

QString QMailMessageMetaData::serverUid() const { return d->serverUid; }
void QMailMessageMetaData::setServerUid(const QString &s)
{
    assignText(d->serverUid, s, d->modified);
}

uint QMailMessageMetaData::size() const { return d->size; }
void QMailMessageMetaData::setSize(uint i)
{
    d->size = i;
    d->modified = true;
}

QMailMessageMetaData::ContentType QMailMessageMetaData::content() const { return d->content; }
void QMailMessageMetaData::setContent(ContentType type)
{
    d->content = type;
    d->modified = true;
}

QString QMailMessageMetaData::contentScheme() const { return d->contentScheme; }
bool QMailMessageMetaData::setContentScheme(const QString &s)
{
    d->contentScheme = s;
    d->modified = true;
    return true;
}

QString QMailMessageMetaData::contentIdentifier() const { return d->contentIdentifier; }
bool QMailMessageMetaData::setContentIdentifier(const QString &i)
{
    d->contentIdentifier = i;
    d->modified = true;
    return true;
}

QMailMessageId QMailMessageMetaData::inResponseTo() const { return d->inResponseTo; }
void QMailMessageMetaData::setInResponseTo(const QMailMessageId &id)
{
    d->inResponseTo = id;
    d->modified = true;
}

QMailMessageMetaData::ResponseType QMailMessageMetaData::responseType() const { return d->responseType; }
void QMailMessageMetaData::setResponseType(ResponseType type)
{
    d->responseType = type;
    d->modified = true;
}

QString QMailMessageMetaData::preview() const { return d->preview; }
void QMailMessageMetaData::setPreview(const QString &s)
{
    assignText(d->preview, s, d->modified);
}

QString QMailMessageMetaData::listId() const { return d->listId; }
void QMailMessageMetaData::setListId(const QString &s)
{
    assignText(d->listId, s, d->modified);
}

QString QMailMessageMetaData::rfcId() const { return d->rfcId; }
void QMailMessageMetaData::setRfcId(const QString &s)
{
    assignText(d->rfcId, s, d->modified);
}

QString QMailMessageMetaData::copyServerUid() const { return d->copyServerUid; }
void QMailMessageMetaData::setCopyServerUid(const QString &s)
{
    assignText(d->copyServerUid, s, d->modified);
}

QMailFolderId QMailMessageMetaData::restoreFolderId() const { return d->restoreFolderId; }
void QMailMessageMetaData::setRestoreFolderId(const QMailFolderId &id)
{
    d->restoreFolderId = id;
    d->modified = true;
}

QMailThreadId QMailMessageMetaData::parentThreadId() const { return d->parentThreadId; }
void QMailMessageMetaData::setParentThreadId(const QMailThreadId &id)
{
    d->parentThreadId = id;
    d->modified = true;
}

bool QMailMessageMetaData::contentAvailable() const
{
    return (d->status & ContentAvailable) != 0;
}

bool QMailMessageMetaData::partialContentAvailable() const
{
    return (d->status & PartialContentAvailable) != 0;
}

QString QMailMessageMetaData::customField(const QString &name) const
{
    const auto it = d->customFields.constFind(name);
    return it == d->customFields.constEnd() ? QString() : it.value();
}

void QMailMessageMetaData::setCustomField(const QString &name, const QString &value)
{
    d->customFields.insert(name, value);
    d->modified = true;
}

void QMailMessageMetaData::removeCustomField(const QString &name)
{
    if (d->customFields.remove(name))
        d->modified = true;
}

const QMap<QString, QString> &QMailMessageMetaData::customFields() const
{
    return d->customFields;
}

void QMailMessageMetaData::setCustomFields(const QMap<QString, QString> &fields)
{
    d->customFields = fields;
    d->modified = true;
}

bool QMailMessageMetaData::dataModified() const { return d->modified; }
void QMailMessageMetaData::setUnmodified() { d->modified = false; }
