#ifndef ZAVEKCTL_SESSIONCOMMAND_H
#define ZAVEKCTL_SESSIONCOMMAND_H

#include <QStringList>

// `zavekctl session`: a mail session end to end through the service action manager, on a
// scripted network: against the bundled layer, on its store and message server (automatic
// mode); against an installed QMF, on an account of its store and its message server.
int runSessionCommand(const QStringList &arguments);

#endif // ZAVEKCTL_SESSIONCOMMAND_H
