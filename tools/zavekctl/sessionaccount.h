#ifndef ZAVEKCTL_SESSIONACCOUNT_H
#define ZAVEKCTL_SESSIONACCOUNT_H

#include <qmailid.h>

#include <QString>

// The account a session works on. Against the bundled layer it is a demo account whose
// remote side is a directory of .eml files; against an installed QMF it is an account
// already in QMF's store, served by the running message server.
struct SessionAccountRequest {
    QString mailbox;     // bundled layer: the "remote" mailbox directory
    QString accountName; // installed QMF: the account's name in the store
    int stepDelay = 120; // bundled layer: the message server's delay per step
};

struct SessionAccount {
    QMailAccountId id;
    QString description; // one line of narration, or the reason for failure
};

// An invalid id when the account cannot be used; description then says why.
SessionAccount prepareSessionAccount(const SessionAccountRequest &request);

// Whether this build works on QMF's persistent store (accounts outlive the process).
bool sessionUsesInstalledQmf();

#endif // ZAVEKCTL_SESSIONACCOUNT_H
