#include "qmailmessage.h"
#include "qmailmessage_p.h"

void QMailMessagePartContainerPrivate::parseMultipartBody(QMailMessagePartContainer &container, const QByteArray &body,
                                                          const QMailMessageContentType &type)
{
    Q_UNUSED(container) Q_UNUSED(body) Q_UNUSED(type)
}

namespace QmfMimeParser {

void parseMessage(QMailMessage &message, const QByteArray &text)
{
    Q_UNUSED(text)
    message.setMessageType(QMailMessage::Email);
}

QString enclosedSubject(const QByteArray &text)
{
    Q_UNUSED(text)
    return QString();
}

QByteArray serialize(const QMailMessage &message, QMailMessage::EncodingFormat format)
{
    Q_UNUSED(message) Q_UNUSED(format)
    return QByteArray();
}

} // namespace QmfMimeParser
