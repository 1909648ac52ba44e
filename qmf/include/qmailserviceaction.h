#ifndef QMAILSERVICEACTION_H
#define QMAILSERVICEACTION_H

#include "qmailaction.h"
#include "qmailglobal.h"
#include "qmailid.h"
#include "qmailmessage.h"
#include "qmailmessagesortkey.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QScopedPointer>
#include <QSharedPointer>
#include <QString>

class QMailServiceActionPrivate;

// Base of every client-side handle on work done by the message server. A request makes
// the action Pending inside the call; the server then reports InProgress, progress and
// status, and finally Successful or Failed (an error status always precedes Failed).
class QMF_EXPORT QMailServiceAction : public QObject
{
    Q_OBJECT

public:
    enum Connectivity { Offline = 0, Connecting, Connected, Disconnected };
    enum Activity { Pending = 0, InProgress, Successful, Failed };

    class Status
    {
    public:
        enum ErrorCode {
            ErrNoError = 0,
            ErrorCodeMinimum = 1024,
            ErrNotImplemented = ErrorCodeMinimum,
            ErrFrameworkFault,
            ErrSystemError,
            ErrInternalServer,
            ErrUnknownResponse,
            ErrLoginFailed,
            ErrCancel,
            ErrFileSystemFull,
            ErrNonexistentMessage,
            ErrEnqueueFailed,
            ErrNoConnection,
            ErrConnectionInUse,
            ErrConnectionNotReady,
            ErrConfiguration,
            ErrInvalidAddress,
            ErrInvalidData,
            ErrTimeout,
            ErrInternalStateReset,
            ErrorCodeMaximum = ErrInternalStateReset
        };

        Status();
        Status(ErrorCode code, const QString &text, const QMailAccountId &accountId,
               const QMailFolderId &folderId, const QMailMessageId &messageId);
        Status(const Status &other);
        Status &operator=(const Status &other) = default;

        ErrorCode errorCode;
        QString text;
        QMailAccountId accountId;
        QMailFolderId folderId;
        QMailMessageId messageId;
    };

    ~QMailServiceAction() override;

    Connectivity connectivity() const;
    Activity activity() const;
    const Status status() const;
    QPair<uint, uint> progress() const;
    bool isRunning() const;

public Q_SLOTS:
    virtual void cancelOperation();

Q_SIGNALS:
    // Parameter types stay fully qualified: string-based connections match on them.
    void connectivityChanged(QMailServiceAction::Connectivity c);
    void activityChanged(QMailServiceAction::Activity a);
    void statusChanged(const QMailServiceAction::Status &s);
    void progressChanged(uint value, uint total);

protected:
    explicit QMailServiceAction(QObject *parent = nullptr);

private:
    friend class QMailServiceActionPrivate;
    QScopedPointer<QMailServiceActionPrivate> d;
};

class QMF_EXPORT QMailRetrievalAction : public QMailServiceAction
{
    Q_OBJECT

public:
    enum RetrievalSpecification { Flags = 0, MetaData, Content, Auto };

    explicit QMailRetrievalAction(QObject *parent = nullptr);
    ~QMailRetrievalAction() override;

public Q_SLOTS:
    void retrieveFolderList(const QMailAccountId &accountId, const QMailFolderId &folderId, bool descending = true);
    void retrieveMessageList(const QMailAccountId &accountId, const QMailFolderId &folderId, uint minimum = 0,
                             const QMailMessageSortKey &sort = QMailMessageSortKey());
    void retrieveMessages(const QMailMessageIdList &messageIds, QMailRetrievalAction::RetrievalSpecification kind = MetaData);
    void retrieveMessagePart(const QMailMessagePart::Location &partLocation);
    void retrieveMessageRange(const QMailMessageId &messageId, uint minimum);
    void retrieveMessagePartRange(const QMailMessagePart::Location &partLocation, uint minimum);
    void exportUpdates(const QMailAccountId &accountId);
    void synchronize(const QMailAccountId &accountId, uint minimum);
    void synchronizeAll(const QMailAccountId &accountId);
};

class QMF_EXPORT QMailTransmitAction : public QMailServiceAction
{
    Q_OBJECT

public:
    explicit QMailTransmitAction(QObject *parent = nullptr);
    ~QMailTransmitAction() override;

public Q_SLOTS:
    void transmitMessages(const QMailAccountId &accountId);

Q_SIGNALS:
    void messagesTransmitted(const QMailMessageIdList &ids);
    void messagesFailedTransmission(const QMailMessageIdList &ids, QMailServiceAction::Status::ErrorCode error);
};

class QMF_EXPORT QMailStorageAction : public QMailServiceAction
{
    Q_OBJECT

public:
    explicit QMailStorageAction(QObject *parent = nullptr);
    ~QMailStorageAction() override;

    // Ids the last addMessages() request gave the new messages.
    QMailMessageIdList messagesAdded() const;

public Q_SLOTS:
    void deleteMessages(const QMailMessageIdList &ids);
    void flagMessages(const QMailMessageIdList &ids, quint64 setMask, quint64 unsetMask);
    void moveToFolder(const QMailMessageIdList &ids, const QMailFolderId &folderId);
    void addMessages(const QMailMessageList &list);
    void updateMessages(const QMailMessageList &list);
    void onlineMoveMessages(const QMailMessageIdList &ids, const QMailFolderId &destinationId);
    // A local, network-free move (moveToFolder's behaviour) under the name libzavek calls.
    void moveMessages(const QMailMessageIdList &ids, const QMailFolderId &folderId);

private:
    friend class QMailServiceActionPrivate;
    QMailMessageIdList m_messagesAdded;
};

// Mirrors one action the server runs for any client. Made only by QMailActionObserver.
class QMF_EXPORT QMailActionInfo : public QMailServiceAction
{
    Q_OBJECT

public:
    typedef Status::ErrorCode StatusErrorCode;

    ~QMailActionInfo() override;

    QMailActionId id() const;
    QMailServerRequestType requestType() const;
    StatusErrorCode statusErrorCode() const;
    QString statusText() const;

Q_SIGNALS:
    void statusErrorCodeChanged(QMailActionInfo::StatusErrorCode newError);

private:
    friend class QMailActionObserver;
    friend class QMailServiceActionPrivate;
    QMailActionInfo(QMailActionId id, QMailServerRequestType requestType);

    QMailActionId m_id;
    QMailServerRequestType m_requestType;
};

// Reports the complete list of actions the server runs for all clients: once after
// construction, after every listActionsRequest(), and whenever an action starts or ends.
class QMF_EXPORT QMailActionObserver : public QMailServiceAction
{
    Q_OBJECT

public:
    explicit QMailActionObserver(QObject *parent = nullptr);
    ~QMailActionObserver() override;

    QList<QSharedPointer<QMailActionInfo> > actions() const;

public Q_SLOTS:
    void listActionsRequest();

Q_SIGNALS:
    void actionsChanged(const QList<QSharedPointer<QMailActionInfo> > &newActions);

private:
    friend class QMailServiceActionPrivate;
    QList<QSharedPointer<QMailActionInfo> > m_actions;
    bool m_ready = false;
};

Q_DECLARE_METATYPE(QMailServiceAction::Connectivity)
Q_DECLARE_METATYPE(QMailServiceAction::Activity)
Q_DECLARE_METATYPE(QMailServiceAction::Status)
Q_DECLARE_METATYPE(QMailServiceAction::Status::ErrorCode)
Q_DECLARE_METATYPE(QMailRetrievalAction::RetrievalSpecification)
Q_DECLARE_METATYPE(QSharedPointer<QMailActionInfo>)
Q_DECLARE_METATYPE(QList<QSharedPointer<QMailActionInfo> >)

#endif // QMAILSERVICEACTION_H
