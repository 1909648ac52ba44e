#ifndef ZAVEKCTL_INSPECTCOMMAND_H
#define ZAVEKCTL_INSPECTCOMMAND_H

#include <QStringList>

// `zavekctl inspect FILE.eml [--save-attachments]`: what the utilities say about one message.
int runInspectCommand(const QStringList &arguments);

#endif // ZAVEKCTL_INSPECTCOMMAND_H
