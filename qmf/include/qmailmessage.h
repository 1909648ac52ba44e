#ifndef QMAILMESSAGE_H
#define QMAILMESSAGE_H

#include "qmailglobal.h"
#include "qmailaddress.h"
#include "qmailid.h"
#include "qmailmessagefwd.h"
#include "qmailtimestamp.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class QDataStream;
class QMailMessageHeaderFieldPrivate;
class QMailMessageBodyPrivate;
class QMailMessagePartContainerPrivate;
class QMailMessageMetaDataPrivate;

// One header field: a name, its content and, for structured fields, ";"-separated
// "name=value" parameters.
class QMF_EXPORT QMailMessageHeaderField : public QMailMessageHeaderFieldFwd
{
public:
    typedef QPair<QByteArray, QByteArray> ParameterType;

    QMailMessageHeaderField();
    // The whole field text "Name: content; param=value".
    QMailMessageHeaderField(const QByteArray &text, FieldType fieldType = StructuredField);
    QMailMessageHeaderField(const QByteArray &name, const QByteArray &text, FieldType fieldType = StructuredField);
    QMailMessageHeaderField(const QMailMessageHeaderField &other);
    virtual ~QMailMessageHeaderField();

    QMailMessageHeaderField &operator=(const QMailMessageHeaderField &other);

    bool isNull() const;

    QByteArray id() const;
    void setId(const QByteArray &text);

    QByteArray content() const;
    void setContent(const QByteArray &text);

    // Parameter names match ignoring case; RFC 2231 continuations are joined.
    QByteArray parameter(const QByteArray &name) const;
    void setParameter(const QByteArray &name, const QByteArray &value);

    // True when the parameter is written in the RFC 2231 extended form ("name*=").
    bool isParameterEncoded(const QByteArray &name) const;
    void setParameterEncoded(const QByteArray &name);

    QList<ParameterType> parameters() const;

    // The field as it would be written, with or without "Name: ".
    virtual QByteArray toString(bool includeName = true, bool presentable = true) const;

    // The content (and parameters) with encoded words decoded.
    virtual QString decodedContent() const;

    bool operator==(const QMailMessageHeaderField &other) const;

    static QByteArray encodeWord(const QString &input, const QByteArray &charset = QByteArray());
    static QString decodeWord(const QByteArray &input);

    static QByteArray encodeParameter(const QString &input, const QByteArray &charset = QByteArray(), const QByteArray &language = QByteArray());
    static QString decodeParameter(const QByteArray &input);

    static QByteArray encodeContent(const QString &input, const QByteArray &charset = QByteArray());
    static QString decodeContent(const QByteArray &input);

    static QByteArray removeComments(const QByteArray &input);
    static QByteArray removeWhitespace(const QByteArray &input);

protected:
    void parse(const QByteArray &text, FieldType fieldType);

private:
    friend class QMailMessageHeaderPrivate;
    friend class QMailMessagePartContainerPrivate;

    // Writes "Name: content" folded into lines of at most 78 characters, with CRLF line ends.
    void output(QDataStream &out) const;

    QSharedDataPointer<QMailMessageHeaderFieldPrivate> d;
};

// The Content-Type field: "type/subtype" plus parameters such as charset and name.
class QMF_EXPORT QMailMessageContentType : public QMailMessageHeaderField
{
public:
    QMailMessageContentType();
    QMailMessageContentType(const QByteArray &type);
    QMailMessageContentType(const QMailMessageHeaderField &field);

    QByteArray type() const;
    void setType(const QByteArray &type);

    QByteArray subType() const;
    void setSubType(const QByteArray &subType);

    QByteArray name() const;
    void setName(const QByteArray &name);

    QByteArray boundary() const;
    void setBoundary(const QByteArray &boundary);

    QByteArray charset() const;
    void setCharset(const QByteArray &charset);

    // Whether the type is primary/sub, ignoring case; an empty argument matches anything.
    bool matches(const QByteArray &primary, const QByteArray &sub = QByteArray()) const;
};

// The Content-Disposition field: inline or attachment, with filename and size.
class QMF_EXPORT QMailMessageContentDisposition : public QMailMessageHeaderField, public QMailMessageContentDispositionFwd
{
public:
    QMailMessageContentDisposition();
    QMailMessageContentDisposition(const QByteArray &type);
    QMailMessageContentDisposition(DispositionType disposition);
    QMailMessageContentDisposition(const QMailMessageHeaderField &field);

    DispositionType type() const;
    void setType(DispositionType disposition);

    QByteArray filename() const;
    void setFilename(const QByteArray &filename);

    QMailTimeStamp creationDate() const;
    void setCreationDate(const QMailTimeStamp &timeStamp);

    QMailTimeStamp modificationDate() const;
    void setModificationDate(const QMailTimeStamp &timeStamp);

    QMailTimeStamp readDate() const;
    void setReadDate(const QMailTimeStamp &timeStamp);

    // The "size" parameter in bytes, -1 when absent or not a number.
    int size() const;
    void setSize(int size);
};

// The content of a single-part container: bytes with their content type and transfer
// encoding. The encoded form is what is kept; decoding happens on request.
class QMF_EXPORT QMailMessageBody : public QMailMessageBodyFwd
{
public:
    QMailMessageBody(const QMailMessageBody &other);
    ~QMailMessageBody();
    QMailMessageBody &operator=(const QMailMessageBody &other);

    static QMailMessageBody fromData(const QByteArray &input, const QMailMessageContentType &type, TransferEncoding encoding, EncodingStatus status);
    static QMailMessageBody fromData(const QString &input, const QMailMessageContentType &type, TransferEncoding encoding);
    static QMailMessageBody fromFile(const QString &filename, const QMailMessageContentType &type, TransferEncoding encoding, EncodingStatus status);

    bool toFile(const QString &filename, EncodingFormat format) const;

    QByteArray data(EncodingFormat format) const;
    // The decoded content as text, converted from the content type's charset.
    QString data() const;

    TransferEncoding transferEncoding() const;
    QMailMessageContentType contentType() const;

    bool isEmpty() const;
    int length() const;

private:
    friend class QMailMessagePartContainer;
    friend class QMailMessagePartContainerPrivate;

    QMailMessageBody();

    QSharedDataPointer<QMailMessageBodyPrivate> d;
};

// What QMailMessage and QMailMessagePart have in common: header fields, and either a
// body or a list of parts.
class QMF_EXPORT QMailMessagePartContainer : public QMailMessagePartContainerFwd
{
public:
    // Where a part sits in its message: the message id and 1-based indices, one per
    // nesting level. Text form "<id>-<i>.<j>", e.g. "42-2.3".
    class QMF_EXPORT Location
    {
    public:
        Location();
        Location(const QString &description);
        Location(const Location &other);
        ~Location();

        const Location &operator=(const Location &other);

        bool operator==(const Location &other) const;
        bool operator!=(const Location &other) const;

        bool isValid(bool extended = true) const;

        QMailMessageId containingMessageId() const;
        void setContainingMessageId(const QMailMessageId &id);

        QString toString(bool extended) const;

    private:
        friend class QMailMessagePartContainer;
        friend class QMailMessagePartContainerPrivate;
        friend class QMailMessagePart;

        Location(const QMailMessageId &messageId, const QList<uint> &indices);

        QMailMessageId m_messageId;
        QList<uint> m_indices;
    };

    QMailMessagePartContainer(const QMailMessagePartContainer &other);
    virtual ~QMailMessagePartContainer();
    QMailMessagePartContainer &operator=(const QMailMessagePartContainer &other);

    // Parts
    void setMultipartType(MultipartType type);
    MultipartType multipartType() const;

    uint partCount() const;
    // 0-based; an index out of range logs a warning and yields an empty part.
    const QMailMessagePart &partAt(uint pos) const;
    QMailMessagePart &partAt(uint pos);

    void appendPart(const QMailMessagePart &part);
    void prependPart(const QMailMessagePart &part);
    void removePartAt(uint pos);
    void clearParts();

    QByteArray boundary() const;
    void setBoundary(const QByteArray &text);

    // Body
    virtual void setBody(const QMailMessageBody &body);
    QMailMessageBody body() const;
    bool hasBody() const;

    // Header fields describing this container
    QMailMessageContentType contentType() const;
    QMailMessageBody::TransferEncoding transferEncoding() const;

    QMailMessageContentDisposition contentDisposition() const;
    void setContentDisposition(const QMailMessageContentDisposition &disposition);

    QString contentDescription() const;
    void setContentDescription(const QString &s);

    // Header fields; names match ignoring case.
    QString headerFieldText(const QString &id) const;
    QMailMessageHeaderField headerField(const QString &id, QMailMessageHeaderField::FieldType fieldType = QMailMessageHeaderField::StructuredField) const;

    QStringList headerFieldsText(const QString &id) const;
    QList<QMailMessageHeaderField> headerFields(const QString &id, QMailMessageHeaderField::FieldType fieldType = QMailMessageHeaderField::StructuredField) const;
    // Every field in written order.
    QList<QMailMessageHeaderField> headerFields() const;

    virtual void setHeaderField(const QString &id, const QString &content);
    virtual void setHeaderField(const QMailMessageHeaderField &field);

    virtual void appendHeaderField(const QString &id, const QString &content);
    virtual void appendHeaderField(const QMailMessageHeaderField &field);

    virtual void removeHeaderField(const QString &id);

    virtual bool contentAvailable() const = 0;
    virtual bool partialContentAvailable() const = 0;

    // Depth-first walk over the parts below this container, each part before its own
    // parts. A false result from func ends the whole walk and makes it return false.
    template <typename F>
    bool foreachPart(F func);

    template <typename F>
    bool foreachPart(F func) const;

    QMailMessagePartContainer *findPlainTextContainer() const;
    QMailMessagePartContainer *findHtmlContainer() const;
    QList<QMailMessagePartContainer::Location> findAttachmentLocations() const;
    bool hasAttachments() const;

    // Each regular file becomes an attachment part (base64, type from its content, name as
    // written, RFC 2231 encoded when not ASCII); this container becomes multipart/mixed,
    // its body or its parts of another kind moved to a first part. Other paths are warned
    // about and left out.
    virtual void addAttachments(const QStringList &paths);

protected:
    QMailMessagePartContainer();

private:
    // The private class gives the parser and the partial-content helpers raw access.
    friend class QMailMessagePartContainerPrivate;

    QSharedDataPointer<QMailMessagePartContainerPrivate> d;
};

// One part of a multipart container.
class QMF_EXPORT QMailMessagePart : public QMailMessagePartContainer, public QMailMessagePartFwd
{
public:
    QMailMessagePart();
    QMailMessagePart(const QMailMessagePart &other);
    ~QMailMessagePart() override;
    QMailMessagePart &operator=(const QMailMessagePart &other);

    static QMailMessagePart fromFile(const QString &filename, const QMailMessageContentDisposition &disposition,
                                     const QMailMessageContentType &type, QMailMessageBody::TransferEncoding encoding,
                                     QMailMessageBody::EncodingStatus status = QMailMessageBody::RequiresEncoding);
    static QMailMessagePart fromData(const QByteArray &input, const QMailMessageContentDisposition &disposition,
                                     const QMailMessageContentType &type, QMailMessageBody::TransferEncoding encoding,
                                     QMailMessageBody::EncodingStatus status = QMailMessageBody::RequiresEncoding);
    static QMailMessagePart fromData(const QString &input, const QMailMessageContentDisposition &disposition,
                                     const QMailMessageContentType &type, QMailMessageBody::TransferEncoding encoding);

    QString contentID() const;
    void setContentID(const QString &s);

    QString contentLocation() const;
    void setContentLocation(const QString &s);

    QString contentLanguage() const;
    void setContentLanguage(const QString &s);

    // Position in the containing message; invalid for a part in no container.
    Location location() const;
    // 0-based index within the parent container; -1 for a detached part.
    int partNumber() const;

    // A name for showing the part to the user (attachment name, content id, ...).
    QString displayName() const;
    QString identifier() const;

    ReferenceType referenceType() const;

    // Multipart parts always; otherwise a non-empty body that is not marked partial.
    bool contentAvailable() const override;
    bool partialContentAvailable() const override;

    // Writes the decoded body into directory path under a name derived from the part;
    // returns the file's path, or "" with a warning.
    QString writeBodyTo(const QString &path) const;

    // The part as message text (its fields, then its body or parts), CRLF line ends.
    QByteArray toRfc2822() const;

private:
    friend class QMailMessagePartContainer;
    friend class QMailMessagePartContainerPrivate;
};

// The header and status information of a message, without its content.
class QMF_EXPORT QMailMessageMetaData : public QMailMessageMetaDataFwd
{
public:
    static const quint64 &Incoming;
    static const quint64 &Outgoing;
    static const quint64 &Sent;
    static const quint64 &Replied;
    static const quint64 &RepliedAll;
    static const quint64 &Forwarded;
    static const quint64 &ContentAvailable;
    static const quint64 &Read;
    static const quint64 &Removed;
    static const quint64 &ReadElsewhere;
    static const quint64 &UnloadedData;
    static const quint64 &New;
    static const quint64 &ReadReplyRequested;
    static const quint64 &Trash;
    static const quint64 &PartialContentAvailable;
    static const quint64 &HasAttachments;
    static const quint64 &HasReferences;
    static const quint64 &HasUnresolvedReferences;
    static const quint64 &Draft;
    static const quint64 &Outbox;
    static const quint64 &Junk;
    static const quint64 &TransmitFromExternal;
    static const quint64 &LocalOnly;
    static const quint64 &Temporary;
    static const quint64 &ImportantElsewhere;
    static const quint64 &Important;
    static const quint64 &HighPriority;
    static const quint64 &LowPriority;
    static const quint64 &CalendarInvitation;
    static const quint64 &Todo;

    QMailMessageMetaData();
    QMailMessageMetaData(const QMailMessageId &id);
    QMailMessageMetaData(const QString &uid, const QMailAccountId &accountId);
    QMailMessageMetaData(const QMailMessageMetaData &other);
    virtual ~QMailMessageMetaData();
    QMailMessageMetaData &operator=(const QMailMessageMetaData &other);

    virtual QMailMessageId id() const;
    virtual void setId(const QMailMessageId &id);

    virtual QMailFolderId parentFolderId() const;
    virtual void setParentFolderId(const QMailFolderId &id);

    virtual QMailFolderId previousParentFolderId() const;
    virtual void setPreviousParentFolderId(const QMailFolderId &id);

    virtual MessageType messageType() const;
    virtual void setMessageType(MessageType t);

    virtual QMailAddress from() const;
    virtual void setFrom(const QMailAddress &s);

    virtual QString subject() const;
    virtual void setSubject(const QString &s);

    virtual QMailTimeStamp date() const;
    virtual void setDate(const QMailTimeStamp &s);

    virtual QMailTimeStamp receivedDate() const;
    virtual void setReceivedDate(const QMailTimeStamp &s);

    virtual QList<QMailAddress> recipients() const;
    virtual void setRecipients(const QList<QMailAddress> &s);
    virtual void setRecipients(const QMailAddress &s);
    virtual bool hasRecipients() const;

    virtual quint64 status() const;
    virtual void setStatus(quint64 newStatus);
    virtual void setStatus(quint64 mask, bool set);

    virtual QMailAccountId parentAccountId() const;
    virtual void setParentAccountId(const QMailAccountId &id);

    virtual QString serverUid() const;
    virtual void setServerUid(const QString &s);

    virtual uint size() const;
    virtual void setSize(uint i);

    virtual ContentType content() const;
    virtual void setContent(ContentType type);

    virtual QString contentScheme() const;
    virtual bool setContentScheme(const QString &s);

    virtual QString contentIdentifier() const;
    virtual bool setContentIdentifier(const QString &i);

    virtual QMailMessageId inResponseTo() const;
    virtual void setInResponseTo(const QMailMessageId &id);

    virtual ResponseType responseType() const;
    virtual void setResponseType(ResponseType type);

    virtual QString preview() const;
    virtual void setPreview(const QString &s);

    virtual QString listId() const;
    virtual void setListId(const QString &s);

    virtual QString rfcId() const;
    virtual void setRfcId(const QString &s);

    virtual QString copyServerUid() const;
    virtual void setCopyServerUid(const QString &s);

    virtual QMailFolderId restoreFolderId() const;
    virtual void setRestoreFolderId(const QMailFolderId &id);

    virtual QMailThreadId parentThreadId() const;
    virtual void setParentThreadId(const QMailThreadId &id);

    virtual bool contentAvailable() const;
    virtual bool partialContentAvailable() const;

    QString customField(const QString &name) const;
    void setCustomField(const QString &name, const QString &value);
    void removeCustomField(const QString &name);
    const QMap<QString, QString> &customFields() const;
    void setCustomFields(const QMap<QString, QString> &fields);

    // Whether anything changed since construction or the last setUnmodified().
    bool dataModified() const;
    virtual void setUnmodified();

private:
    QSharedDataPointer<QMailMessageMetaDataPrivate> d;
};

// A complete message: metadata plus header fields and content.
class QMF_EXPORT QMailMessage : public QMailMessageFwd, public QMailMessageMetaData, public QMailMessagePartContainer
{
public:
    static QMailMessage fromRfc2822(const QByteArray &ba);
    static QMailMessage fromRfc2822File(const QString &fileName);

    QMailMessage();
    QMailMessage(const QMailMessageId &id);
    QMailMessage(const QString &uid, const QMailAccountId &accountId);
    QMailMessage(const QMailMessage &other);
    ~QMailMessage() override;
    QMailMessage &operator=(const QMailMessage &other);

    // The message text with all header fields and content.
    QByteArray toRfc2822(EncodingFormat format = TransmissionFormat) const;

    using QMailMessagePartContainer::partAt;
    // Follows the indices only; an unknown location logs a warning and yields an empty part.
    const QMailMessagePart &partAt(const QMailMessagePart::Location &location) const;
    QMailMessagePart &partAt(const QMailMessagePart::Location &location);
    bool contains(const QMailMessagePart::Location &location) const;

    // Header edits of the fields the metadata mirrors update the metadata too.
    void setHeaderField(const QString &id, const QString &content) override;
    void setHeaderField(const QMailMessageHeaderField &field) override;
    void appendHeaderField(const QString &id, const QString &content) override;
    void appendHeaderField(const QMailMessageHeaderField &field) override;
    void removeHeaderField(const QString &id) override;

    void setId(const QMailMessageId &id) override;

    void setFrom(const QMailAddress &from) override;
    void setSubject(const QString &s) override;
    void setDate(const QMailTimeStamp &s) override;

    virtual QList<QMailAddress> to() const;
    virtual void setTo(const QList<QMailAddress> &s);
    virtual void setTo(const QMailAddress &s);

    virtual QList<QMailAddress> cc() const;
    virtual void setCc(const QList<QMailAddress> &s);

    virtual QList<QMailAddress> bcc() const;
    virtual void setBcc(const QList<QMailAddress> &s);

    QList<QMailAddress> recipients() const override;
    bool hasRecipients() const override;

    // A single body has no attachments: the HasAttachments status goes; added attachments
    // set it.
    void setBody(const QMailMessageBody &body) override;
    void addAttachments(const QStringList &paths) override;

    virtual QMailAddress replyTo() const;
    virtual void setReplyTo(const QMailAddress &s);

    virtual QString inReplyTo() const;
    virtual void setInReplyTo(const QString &s);

    // Makes this message a reply to msg: In-Reply-To its Message-ID, References its
    // references followed by that id, and inResponseTo() its id when it has one.
    void setReplyReferences(const QMailMessage &msg);

    // The ContentAvailable status bit; parts are not consulted.
    bool contentAvailable() const override;
    bool partialContentAvailable() const override;

    // Whether header fields, body or parts changed since construction, parsing or the last
    // setUnmodified().
    virtual bool contentModified() const;
    void setUnmodified() override;

private:
    void syncMetaDataFromHeader(const QByteArray &lowerName);
};

// The types the platform library declares, and no others, so that code declaring the rest
// itself builds against both.
Q_DECLARE_METATYPE(QMailMessageBody::TransferEncoding)
Q_DECLARE_METATYPE(QMailMessagePartContainer::MultipartType)
Q_DECLARE_METATYPE(QMailMessage::MessageType)
Q_DECLARE_METATYPE(QMailMessage::ResponseType)
Q_DECLARE_METATYPE(QMailMessage::AttachmentsAction)
Q_DECLARE_METATYPE(QMailMessageMetaData)
Q_DECLARE_METATYPE(QMailMessage)
Q_DECLARE_METATYPE(QMailMessagePart)
Q_DECLARE_METATYPE(QMailMessageList)
Q_DECLARE_METATYPE(QMailMessageMetaDataList)
Q_DECLARE_METATYPE(QMailMessagePartContainer::Location)

template <typename F>
bool QMailMessagePartContainer::foreachPart(F func)
{
    for (uint i = 0; i < partCount(); ++i) {
        QMailMessagePart &part(partAt(i));
        if (!func(part))
            return false;
        if (part.multipartType() != QMailMessagePartContainer::MultipartNone) {
            // Each level gets its own copy of the functor (taken by value), so a
            // functor that reports a result must do so through a pointer it holds.
            if (!part.foreachPart<F>(func))
                return false;
        }
    }
    return true;
}

template <typename F>
bool QMailMessagePartContainer::foreachPart(F func) const
{
    for (uint i = 0; i < partCount(); ++i) {
        const QMailMessagePart &part(partAt(i));
        if (!func(part))
            return false;
        if (part.multipartType() != QMailMessagePartContainer::MultipartNone) {
            if (!part.foreachPart<F>(func))
                return false;
        }
    }
    return true;
}

#endif // QMAILMESSAGE_H
