#ifndef QMAILFOLDERFWD_H
#define QMAILFOLDERFWD_H

#include "qmailid.h"

// Deprecated and included by nothing: the predefined folder ids moved into QMailFolderId.
typedef QMailFolderId QMailFolderFwd;

#endif // QMAILFOLDERFWD_H
