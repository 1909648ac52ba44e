#ifndef QMAILFOLDERFWD_H
#define QMAILFOLDERFWD_H

#include "qmailglobal.h"

// Holds the folder enums that both QMailFolder and QMailFolderId need, so that the id
// header does not have to include the whole folder class.
class QMF_EXPORT QMailFolderFwd
{
public:
    enum PredefinedFolderId {
        LocalStorageFolderId = 1
    };
};

#endif // QMAILFOLDERFWD_H
