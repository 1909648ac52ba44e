#ifndef ZAVEKCTL_SESSIONCOMMAND_H
#define ZAVEKCTL_SESSIONCOMMAND_H

#include <QStringList>

// `zavekctl session`: a mail session end to end through the service action manager, on
// the bundled store, message server (automatic mode) and scripted network.
int runSessionCommand(const QStringList &arguments);

#endif // ZAVEKCTL_SESSIONCOMMAND_H
