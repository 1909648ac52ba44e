#ifndef ZAVEKCTL_MESSAGEFILECOMMAND_H
#define ZAVEKCTL_MESSAGEFILECOMMAND_H

#include <QStringList>

// `zavekctl inspect FILE.eml [--save-attachments]`: what the utilities say about one message.
int runInspectCommand(const QStringList &arguments);

#endif // ZAVEKCTL_MESSAGEFILECOMMAND_H
