#ifndef QMAILSTORECONTROL_H
#define QMAILSTORECONTROL_H

// Test and demo support of the bundled layer; NOT part of the QMF client API, and never
// needed by the library itself. Tests call resetStore() in init(); the in-process
// message server stand-in drives the IPC state.

#include "qmailstore.h"

namespace QmfStandIn {

// Back to a fresh store: no accounts or messages, only the local storage folder (id 1),
// ids counted from the start again, IPC connection up, last error NoError and no armed
// query error. Emits nothing.
void resetStore();

// Sets the state of the store's channel to the message server. Going from down to up
// emits QMailStore::ipcConnectionEstablished(); setting the current state again emits
// nothing.
void setIpcConnectionEstablished(bool up);

// Makes the next query or count of the store (queryAccounts/Folders/Messages,
// countAccounts/Folders/Messages) fail: it returns an empty list or 0 and lastError()
// reports `code`. Later calls work again. NoError disarms.
void setNextError(QMailStore::ErrorCode code);

} // namespace QmfStandIn

#endif // QMAILSTORECONTROL_H
