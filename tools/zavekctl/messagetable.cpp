#include "messagetable.h"

#include <zavekutils.h>

#include <qmailmessage.h>

namespace {

QString cell(const QString &text, int width)
{
    const QString flat = text.simplified();
    if (flat.size() <= width)
        return flat.leftJustified(width);
    return flat.left(width - 1) + QChar(0x2026);
}

QString priorityName(ZavekUtils::Priority priority)
{
    switch (priority) {
    case ZavekUtils::HighPriority: return QStringLiteral("high");
    case ZavekUtils::LowPriority: return QStringLiteral("low");
    case ZavekUtils::NormalPriority: break;
    }
    return QStringLiteral("normal");
}

int missingResourceCount(const QMailMessage &message)
{
    const QMailMessagePartContainer *html = ZavekUtils::Message::getBodyPart(message, false);
    if (!html || html->contentType().subType().toLower() != "html" || !html->contentAvailable())
        return 0;
    return ZavekUtils::Message::getMissingResources(message, html->body().data()).size();
}

} // namespace

void printMessageTable(QTextStream &out, const QMailMessageIdList &ids)
{
    out << cell(QStringLiteral("From"), 22) << ' ' << cell(QStringLiteral("To"), 26) << ' '
        << cell(QStringLiteral("Priority"), 8) << ' ' << cell(QStringLiteral("Date"), 16) << ' '
        << cell(QStringLiteral("Size"), 10) << ' ' << cell(QStringLiteral("Viewable"), 8) << ' '
        << QStringLiteral("Missing") << '\n';
    for (const QMailMessageId &id : ids) {
        const QMailMessage message(id);
        const QDateTime stamp = ZavekUtils::messageTimeStamp(id);
        const QString date = ZavekUtils::isToday(stamp) ? QStringLiteral("today")
                                                        : stamp.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        out << cell(ZavekUtils::messageSender(id), 22) << ' ' << cell(ZavekUtils::recipients(id), 26) << ' '
            << cell(priorityName(ZavekUtils::messagePriority(id)), 8) << ' ' << cell(date, 16) << ' '
            << cell(ZavekUtils::get_formatted_size(ZavekUtils::messageSize(id)), 10) << ' '
            << cell(ZavekUtils::Message::isDownloadedForViewing(message) ? QStringLiteral("yes")
                                                                          : QStringLiteral("no"), 8)
            << ' ' << missingResourceCount(message) << '\n';
    }
    out.flush();
}
