#ifndef QMAILMESSAGE_P_H
#define QMAILMESSAGE_P_H

// Internal to the QMF layer: the data behind the message model classes, shared with the
// parser and the partial-content helpers.

#include "qmailmessage.h"

#include <QSharedData>

class QMailMessageHeaderFieldPrivate : public QSharedData
{
public:
    QByteArray id;
    QByteArray content;
    QList<QMailMessageHeaderField::ParameterType> parameters;
    bool structured = true;
};

class QMailMessageBodyPrivate : public QSharedData
{
public:
    QMailMessageContentType type;
    QMailMessageBody::TransferEncoding encoding = QMailMessageBody::NoEncoding;
    // The content in its transfer-encoded form (or, for a file reference, empty).
    QByteArray encoded;
    // A body made by fromFile() refers to the file instead of holding its bytes.
    QString filename;
    bool fileAlreadyEncoded = false;
};

class QMailMessagePartContainerPrivate : public QSharedData
{
public:
    typedef QPair<QByteArray, QByteArray> RawField;

    // Header fields in written order: name as written and unfolded raw value.
    QList<RawField> fields;
    QMailMessagePartContainer::MultipartType multipartType = QMailMessagePartContainer::MultipartNone;
    QMailMessageBody body;
    bool hasBody = false;
    QList<QMailMessagePart> parts;

    // Where this container sits: the message id and its own indices (none for the
    // message itself, none for a detached part).
    QMailMessageId messageId;
    QList<uint> indices;
    bool attached = false;

    static QMailMessagePartContainerPrivate *of(QMailMessagePartContainer &container)
    {
        return container.d.data();
    }
    static const QMailMessagePartContainerPrivate *of(const QMailMessagePartContainer &container)
    {
        return container.d.constData();
    }

    int fieldIndex(const QByteArray &name) const;
    QByteArray fieldValue(const QByteArray &name) const;
    void setField(const QByteArray &name, const QByteArray &value);
    void appendField(const QByteArray &name, const QByteArray &value);
    void removeField(const QByteArray &name);

    // Stamps message id and indices into the part at pos and everything below it.
    void placePart(int pos);
    void placeAllParts();
    void setMessageId(const QMailMessageId &id);

    // Implemented by the MIME parser: fills a container from message or part text.
    static void parseMultipartBody(QMailMessagePartContainer &container, const QByteArray &body,
                                   const QMailMessageContentType &type);
};

namespace QmfMimeParser {
// Fills message headers, structure and bodies from RFC 2822 text (CRLF or LF).
void parseMessage(QMailMessage &message, const QByteArray &text);
// The decoded Subject of an enclosed message's text, or "".
QString enclosedSubject(const QByteArray &text);
// The message as RFC 2822 text with LF or (for transmission) CRLF line ends.
QByteArray serialize(const QMailMessage &message, QMailMessage::EncodingFormat format);
}

// The header name that marks a part whose content has not been downloaded.
extern const char qmfPartialContentField[];

namespace QmfMessageCodec {
QByteArray encode(const QByteArray &decoded, QMailMessageBody::TransferEncoding encoding);
QByteArray decode(const QByteArray &encoded, QMailMessageBody::TransferEncoding encoding);
QMailMessageBody::TransferEncoding encodingFromName(const QByteArray &name);
QByteArray encodingName(QMailMessageBody::TransferEncoding encoding);
QString toUnicode(const QByteArray &bytes, const QByteArray &charset);
QByteArray fromUnicode(const QString &text, const QByteArray &charset);
QByteArray quotedPrintableEncode(const QByteArray &input);
QByteArray quotedPrintableDecode(const QByteArray &input);
}

#endif // QMAILMESSAGE_P_H
