#ifndef BODYTESTHELPERS_H
#define BODYTESTHELPERS_H

// Messages for the body-part and resource suites: parsed from tests/data/body or built in
// code. Every message gets id 5, so part locations read "5-<indices>".

#include "testenvironment.h"

#include <qmailmessage.h>

#include <QFile>

namespace BodyTest {

inline QMailMessage loadFixture(const QString &name)
{
    QFile file(ZavekTest::dataPath(QStringLiteral("body/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    QMailMessage message = QMailMessage::fromRfc2822(file.readAll());
    message.setId(QMailMessageId(5));
    return message;
}

// Present with the given content, or (empty content) pending with the announced size,
// none when announcedSize < 0.
inline QMailMessagePart part(const QByteArray &type, const QByteArray &content, int announcedSize = -1,
                             const QString &contentId = QString())
{
    QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
    if (announcedSize >= 0)
        disposition.setSize(announcedSize);
    QMailMessagePart result = QMailMessagePart::fromData(content, disposition, QMailMessageContentType(type),
                                                         QMailMessageBody::EightBit);
    if (!contentId.isEmpty())
        result.setContentID(contentId);
    return result;
}

template <typename Container>
Container multipart(QMailMessagePartContainer::MultipartType type, const QList<QMailMessagePart> &parts)
{
    Container container;
    container.setMultipartType(type);
    for (const QMailMessagePart &p : parts)
        container.appendPart(p);
    return container;
}

inline QMailMessage message(const QList<QMailMessagePart> &parts,
                            QMailMessagePartContainer::MultipartType type = QMailMessagePartContainer::MultipartMixed)
{
    QMailMessage result = multipart<QMailMessage>(type, parts);
    result.setId(QMailMessageId(5));
    return result;
}

inline QMailMessage singlePart(const QByteArray &type, const QString &text, bool contentAvailable)
{
    QMailMessage result;
    result.setBody(QMailMessageBody::fromData(text, QMailMessageContentType(type), QMailMessageBody::EightBit));
    result.setId(QMailMessageId(5));
    result.setStatus(QMailMessage::ContentAvailable, contentAvailable);
    return result;
}

} // namespace BodyTest

#endif // BODYTESTHELPERS_H
