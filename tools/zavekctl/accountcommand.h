#ifndef ZAVEKCTL_ACCOUNTCOMMAND_H
#define ZAVEKCTL_ACCOUNTCOMMAND_H

#include <QStringList>

// `zavekctl account list | add NAME --server HOST --user USER [...]`: the accounts of QMF's
// store, and a new IMAP account in it. The password is read from a file or standard input,
// never from the command line, where other users could see it.
int runAccountCommand(const QStringList &arguments);

#endif // ZAVEKCTL_ACCOUNTCOMMAND_H
