#ifndef QMAILMESSAGE_P_H
#define QMAILMESSAGE_P_H

// Internal to the QMF layer: the data behind the message model classes, shared with the
// parser and the partial-content helpers.

#include "qmailmessage.h"

#include <QSharedData>

#include <memory>

class QMailCodec;

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
    QMailMessageBody::TransferEncoding encoding = QMailMessageBody::SevenBit;
    // The content: in its transfer encoding when `encoded` (bodies made from data always
    // are), or as it is; a body made by fromFile() reads the file instead.
    QByteArray bytes;
    QString filename;
    bool encoded = true;

    QByteArray stored() const;
    void settleCharset();
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
    // Set by every edit of fields, body or parts; cleared by parsing and setUnmodified().
    bool modified = false;

    static QMailMessagePartContainerPrivate *of(QMailMessagePartContainer &container)
    {
        return container.d.data();
    }
    static const QMailMessagePartContainerPrivate *of(const QMailMessagePartContainer &container)
    {
        return container.d.constData();
    }

    static QByteArray plainName(const QByteArray &name);
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
    // A body as read from a message, kept exactly as written.
    static QMailMessageBody parsedBody(const QByteArray &encoded, const QMailMessageContentType &type,
                                       QMailMessageBody::TransferEncoding encoding);
};

namespace QmfMimeParser {
// Fills message headers, structure and bodies from RFC 2822 text (CRLF or LF).
void parseMessage(QMailMessage &message, const QByteArray &text);
// The decoded Subject of an enclosed message's text, or "".
QString enclosedSubject(const QByteArray &text);
}

namespace QmfMessageWriter {
// The message as RFC 2822 text with CRLF line ends, in the given format.
QByteArray write(const QMailMessage &message, QMailMessage::EncodingFormat format);
// A part as it is written inside a message.
QByteArray write(const QMailMessagePart &part);
}

namespace QmfHeaderWriter {
// "Name: content" as written in a message: folded into lines of at most 78 characters
// where white space (best after ";" or ","), or else ";" or ",", allows, with CRLF line ends.
QByteArray field(const QByteArray &name, const QByteArray &content);
}

// The header name that marks a part whose content has not been downloaded.
extern const char qmfPartialContentField[];

namespace QmfMessageCodec {
// The codec for a transfer encoding; text has its line ends converted.
std::unique_ptr<QMailCodec> codecFor(QMailMessageBody::TransferEncoding encoding, bool text);
QMailMessageBody::TransferEncoding encodingFromName(const QByteArray &name);
QByteArray encodingName(QMailMessageBody::TransferEncoding encoding);
// Header text in charset; without one, detected, else in fallbackCharset, and Latin-1 when
// nothing fits.
QString toUnicode(const QByteArray &bytes, const QByteArray &charset, const QByteArray &fallbackCharset = QByteArray());
}

#endif // QMAILMESSAGE_P_H
