#include "qmailstorecontrol.h"

#include "qmailstore_p.h"

namespace QmfStandIn {

void resetStore()
{
    StoreAccess::contents()->reset();
}

void setIpcConnectionEstablished(bool up)
{
    QMailStorePrivate *store = StoreAccess::contents();
    const bool wasUp = store->ipcConnectionEstablished;
    store->ipcConnectionEstablished = up;
    if (up && !wasUp)
        StoreAccess::announceIpcConnection();
}

void setNextError(QMailStore::ErrorCode code)
{
    StoreAccess::contents()->nextQueryError = code;
}

} // namespace QmfStandIn
