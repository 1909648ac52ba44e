#ifndef ZAVEKCTL_MESSAGETABLE_H
#define ZAVEKCTL_MESSAGETABLE_H

#include <qmailid.h>

#include <QTextStream>

// One line per message with what the utilities say about it: sender, recipients line,
// priority, date (or "today"), size, whether it is downloaded for viewing, and how many
// inline resources are still missing.
void printMessageTable(QTextStream &out, const QMailMessageIdList &ids);

#endif // ZAVEKCTL_MESSAGETABLE_H
