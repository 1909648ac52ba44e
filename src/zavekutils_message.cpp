#include "zavekutils.h"

#include <qmailmessage.h>
#include <qmailtimestamp.h>

namespace ZavekUtils {

quint64 generateReadFlag()
{
    return QMailMessage::Read | QMailMessage::Removed;
}

QMailMessageKey generateUnreadKey()
{
    return QMailMessageKey::status(QMailMessage::Read, QMailDataComparator::Excludes)
        & QMailMessageKey::status(QMailMessage::Removed, QMailDataComparator::Excludes);
}

Priority messagePriority(const QMailMessageMetaData &message)
{
    const quint64 status = message.status();
    if (status & QMailMessage::HighPriority)
        return HighPriority;
    if (status & QMailMessage::LowPriority)
        return LowPriority;
    return NormalPriority;
}

Priority messagePriority(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return messagePriority(QMailMessageMetaData(id));
}

void setMessagePriority(QMailMessage &message, Priority priority)
{
    const QString xPriority = QStringLiteral("X-Priority");
    const QString msMailPriority = QStringLiteral("X-MSMail-Priority");
    const QString importance = QStringLiteral("Importance");

    switch (priority) {
    case HighPriority:
        message.setHeaderField(xPriority, QStringLiteral("1"));
        message.setHeaderField(msMailPriority, QStringLiteral("high"));
        message.setHeaderField(importance, QStringLiteral("high"));
        message.setStatus(QMailMessage::LowPriority, false);
        message.setStatus(QMailMessage::HighPriority, true);
        break;
    case LowPriority:
        message.setHeaderField(xPriority, QStringLiteral("5"));
        message.setHeaderField(msMailPriority, QStringLiteral("low"));
        message.setHeaderField(importance, QStringLiteral("low"));
        message.setStatus(QMailMessage::HighPriority, false);
        message.setStatus(QMailMessage::LowPriority, true);
        break;
    case NormalPriority:
    default:
        // Any number that is not a known priority is treated as normal.
        message.removeHeaderField(xPriority);
        message.removeHeaderField(msMailPriority);
        message.removeHeaderField(importance);
        message.setStatus(QMailMessage::HighPriority, false);
        message.setStatus(QMailMessage::LowPriority, false);
        break;
    }
}

bool messageHasAttachment(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return QMailMessageMetaData(id).status() & QMailMessage::HasAttachments;
}

bool messageImportant(const QMailMessageId &id)
{
    return QMailMessageMetaData(id).status() & (QMailMessage::Important | QMailMessage::ImportantElsewhere);
}

bool messageUnread(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return !(QMailMessageMetaData(id).status() & generateReadFlag());
}

QDateTime messageTimeStamp(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return QMailMessageMetaData(id).date().toLocalTime();
}

uint messageSize(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return QMailMessageMetaData(id).size();
}

QString messageSender(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return QMailMessageMetaData(id).from().name();
}

bool messageHasMultipleRecipients(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    return QMailMessage(id).recipients().count() > 1;
}

QString recipients(const QMailMessageId &id)
{
    Q_ASSERT(id.isValid());
    const QMailMessage message(id);
    const QList<QMailAddress> addresses = message.to() + message.cc() + message.bcc();

    // The comma separates names in the line, so it may not appear inside one.
    QString line;
    for (const QMailAddress &address : addresses) {
        const QString name = address.name().replace(QLatin1Char(','), QLatin1Char(' '));
        if (!line.isEmpty())
            line += QLatin1Char(',');
        line += name;
    }
    return line;
}

QStringList filterAddresses(const QMailAddress &own, const QList<QMailAddress> &addresses)
{
    QStringList taken;
    QStringList takenAddresses;
    const QString ownAddress = own.address();
    for (const QMailAddress &address : addresses) {
        const QString part = address.address();
        if (part.compare(ownAddress, Qt::CaseInsensitive) == 0)
            continue;
        if (takenAddresses.contains(part, Qt::CaseInsensitive))
            continue;
        takenAddresses.append(part);
        taken.append(address.toString(false));
    }
    return taken;
}

bool isToday(const QDateTime &dateTime)
{
    return isToday(dateTime, QDateTime::currentDateTime());
}

bool isToday(const QDateTime &dateTime, const QDateTime &now)
{
    // secsTo() of an invalid time is 0, which would make an undated message "today".
    if (!dateTime.isValid())
        return false;
    const QDateTime localNow = now.toLocalTime();
    const QDateTime nextMidnight(localNow.date().addDays(1), QTime(0, 0), Qt::LocalTime);
    const qint64 seconds = dateTime.secsTo(nextMidnight);
    return seconds >= 0 && seconds <= 86400;
}

} // namespace ZavekUtils
