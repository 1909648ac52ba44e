#ifndef QMAILACTION_H
#define QMAILACTION_H

#include <QMetaType>
#include <QtGlobal>

// Identifies one action run by the message server on behalf of any client.
typedef quint64 QMailActionId;

// What a server action does; reported by QMailActionInfo::requestType().
enum QMailServerRequestType {
    AcknowledgeNewMessagesRequestType = 0,
    TransmitMessagesRequestType,
    RetrieveFolderListRequestType,
    RetrieveMessageListRequestType,
    RetrieveNewMessagesRequestType,
    RetrieveMessagesRequestType,
    RetrieveMessagePartRequestType,
    RetrieveMessageRangeRequestType,
    RetrieveMessagePartRangeRequestType,
    RetrieveAllRequestType,
    ExportUpdatesRequestType = 10,
    SynchronizeRequestType,
    CopyMessagesRequestType,
    MoveMessagesRequestType,
    FlagMessagesRequestType,
    CreateFolderRequestType = 15,
    RenameFolderRequestType,
    DeleteFolderRequestType,
    CancelTransferRequestType,
    DeleteMessagesRequestType,
    SearchMessagesRequestType = 20,
    CancelSearchRequestType,
    ListActionsRequestType,
    ProtocolRequestRequestType
};

Q_DECLARE_METATYPE(QMailServerRequestType)

#endif // QMAILACTION_H
