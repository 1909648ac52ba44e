#include "qmailmessage.h"
#include "qmailmessage_p.h"

QString QMailMessagePart::writeBodyTo(const QString &path) const
{
    Q_UNUSED(path)
    return QString();
}
