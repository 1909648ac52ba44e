#ifndef ZAVEKSERVICEACTIONMANAGER_H
#define ZAVEKSERVICEACTIONMANAGER_H

#include <qmailaction.h>
#include <qmailid.h>
#include <qmailmessage.h>
#include <qmailmessagesortkey.h>
#include <qmailserviceaction.h>

#include <QDataStream>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QScopedPointer>
#include <QSharedPointer>
#include <QString>
#include <QVarLengthArray>

class QTimer;
class ZavekNetworkConfigurationManager;
class ZavekNetworkSession;

namespace ZavekServiceActionManagerPrivate {
class ActionQueue;

// A text key that carries its hash, so that large tables do not hash it again at every
// lookup and removal.
struct HashedText {
    HashedText() = default;
    explicit HashedText(const QString &text) : text(text), hash(qHash(text)) {}
    HashedText(const QString &text, uint hash) : text(text), hash(hash) {}
    bool operator==(const HashedText &other) const { return hash == other.hash && text == other.text; }

    QString text;
    uint hash = 0;
};

inline uint qHash(const HashedText &key, uint seed = 0) { return key.hash ^ seed; }
}

// Queues the application's mail service requests and runs them one at a time through three
// long-lived service actions, message-level work before account-level work. Each request
// gets a serial; callers follow it through activityChanged, statusChanged and
// progressChanged. An equal request (same description) is merged into the one already
// waiting or running and answered with its serial. Operations that need the network wait
// until the device is online; a network session is opened on demand and closed again when
// the whole messaging system has been idle for a while.
//
// Lifetime of what lookups return: the lists returned by operations() and the pointer
// returned by operationInfo() stay valid only until the next call of a manager function
// (cancelOperation, stop and every request function change them) or the next return to
// the event loop. Copy the list if you need it longer; never keep the pointer.
class ZavekServiceActionManager : public QObject
{
    Q_OBJECT

public:
    typedef uint Serial;

    enum Activity { Idle = 0, Busy = 1 };

    // What callers may ask about one queued or running operation.
    class OperationInfo
    {
    public:
        virtual QMailMessageId messageId() const = 0;
        virtual QMailMessagePartContainer::Location messagePartLocation() const = 0;
    };

    // One queued operation. The request functions create local subclasses of it.
    class Action : public OperationInfo
    {
    public:
        enum Priority { Low = 0, High = 1 };

        // How a later equal request may be merged into this operation.
        enum MergePolicy {
            MergeAlways,         // retrievals: also into the running one
            MergeUnlessStarted,  // send, export, sync: the server snapshots its input at start
            MergeIfLastStoreChange, // store changes: the user's last change must win
            MergeNever           // additions and updates carry content of their own
        };

        Action(QMailServiceAction *action, Priority priority, bool needsNetwork);
        virtual ~Action();

        QMailMessageId messageId() const override;
        QMailMessagePartContainer::Location messagePartLocation() const override;

        virtual void exec() = 0;
        virtual QString description() const = 0;

        QMailServiceAction *_serviceAction;
        mutable QString _description;
        Serial _serial = 0;
        Priority _priority;
        bool _needsNetwork;

        MergePolicy _mergePolicy = MergeAlways;
        // Scheduler state of the current run.
        bool _started = false;         // exec() was called and the run has not ended
        bool _preempted = false;       // cancelled to make room; its run's reports are not relayed
        bool _cancelRequested = false; // the service action was already asked to cancel
        int _resetRestarts = 0;        // restarts after internal-state resets in a row
        // Hash of description(), once worked out.
        bool _descriptionHashed = false;
        uint _descriptionHash = 0;
        // Bookkeeping of the manager: position in queue order, and the cache keys under
        // which the serial was entered (exactly as stored, once per entry).
        qint64 _queueOrder = 0;
        Action *_queuePrevious = nullptr;
        Action *_queueNext = nullptr;
        QVarLengthArray<QMailMessageId, 1> _cachedIds;
        QVarLengthArray<ZavekServiceActionManagerPrivate::HashedText, 1> _cachedLocations;

    private:
        Q_DISABLE_COPY(Action)
    };

    // The process-wide manager (Qt bearer backend in production). While a test instance is
    // installed with setTestInstance(), that one is returned instead.
    static ZavekServiceActionManager *instance();

    // Test support: makes instance() return manager (not owned) until called with nullptr.
    static void setTestInstance(ZavekServiceActionManager *manager);

    // Builds an independent manager. networkConfigurationManager is the bearer source to
    // use; null means ZavekNetworkConfigurationManager::create() (the backend in force).
    // A given manager without a parent is adopted as a child.
    explicit ZavekServiceActionManager(ZavekNetworkConfigurationManager *networkConfigurationManager = nullptr,
                                       QObject *parent = nullptr);
    ~ZavekServiceActionManager() override;

    // ---- registry ----
    const OperationInfo *operationInfo(uint serial) const;
    const QList<uint> &operations(const QMailMessageId &id) const
    {
        static const QList<uint> NULL_OPLIST;
        const auto found = messageIdCache.constFind(id);
        return found == messageIdCache.constEnd() ? NULL_OPLIST : found.value();
    }
    const QList<uint> &operations(const QMailMessagePartContainer::Location &location) const;

    // ---- cancellation ----
    void cancelOperation(const Serial &serial);
    void stop();

    // ---- account-level requests ----
    Serial sync(const QMailAccountId &accountId);
    Serial send(const QMailAccountId &id);
    Serial exportUpdates(const QMailAccountId &accountId);
    Serial retrieveFolderList(const QMailAccountId &accountId, const QMailFolderId &folderId, bool descending);
    Serial retrieveMessageList(const QMailAccountId &accountId, const QMailFolderId &folderId, uint minimum,
                               const QMailMessageSortKey &sort);

    // ---- message-level requests ----
    Serial retrieveMessages(const QMailMessageIdList &ids, QMailRetrievalAction::RetrievalSpecification kind);
    Serial retrieveMessageRange(const QMailMessageId &id, uint minimum);
    Serial retrieveMessagePart(const QMailMessagePartContainer::Location &partLocation);
    Serial retrieveMessagePartRange(const QMailMessagePartContainer::Location &partLocation, uint minimum);
    Serial deleteMessages(const QMailMessageIdList &ids);
    Serial flagMessages(const QMailMessageIdList &ids, quint64 setMask, quint64 unsetMask);
    Serial moveMessages(const QMailMessageIdList &ids, const QMailFolderId &folderId);
    Serial addMessages(const QMailMessageList &messages);
    Serial updateMessages(const QMailMessageList &messages);

    // ---- connectivity and observation ----
    // True when the bearer layer says so, or when the useConnectivityManager option is off.
    bool isOnline() const;
    Activity activity() const;
    // A storage action for the caller's own use; the caller owns and deletes it.
    QMailStorageAction *newStorageAction();

    // Values of the first entry of the last non-empty observer report, and the number of
    // storage actions from newStorageAction() still alive.
    QMailServerRequestType lastObservedRequestType() const;
    QMailServiceAction::Status::ErrorCode lastObservedStatusErrorCode() const;
    int liveStorageActionCount() const;

    // Idle period after which an unused network session is closed (7000 ms by default).
    int networkSessionIdleInterval() const;
    void setNetworkSessionIdleInterval(int msec);
    // Milliseconds left before the idle session is closed, or -1 when no countdown runs.
    int networkSessionIdleRemaining() const;

signals:
    void serviceActivityChanged(ZavekServiceActionManager::Activity activity);
    void serviceStatusChanged(const QMailActionInfo *actionInfo);
    void statusChanged(ZavekServiceActionManager::Serial operation, const QMailServiceAction::Status &status);
    void progressChanged(ZavekServiceActionManager::Serial operation, uint progress, uint total);
    void activityChanged(ZavekServiceActionManager::Serial operation, QMailServiceAction::Activity activity,
                         const QMailServiceAction::Status &status);

private slots:
    void onActionConnectivityChanged(QMailServiceAction::Connectivity connectivity);
    void onActionActivityChanged(QMailServiceAction::Activity activity);
    void onActionStatusChanged(const QMailServiceAction::Status &status);
    void onActionProgressChanged(uint progress, uint total);
    void onOnlineStateChanged(bool isOnline);
    void onIpcConnectionEstablished();
    void onActionsChanged(const QList<QSharedPointer<QMailActionInfo> > &actions);
    void onStatusChanged(const QMailServiceAction::Status &status);
    void releaseNetworkSession();
    void goOffline();
    void onStorageActionDestroyed();

private:
    typedef QSharedPointer<Action> ActionPointer;

    // partLocationKey, when given, is partLocation.toString(true) computed by the caller.
    Serial enqueue(ActionPointer action, const QMailMessagePartContainer::Location &partLocation,
                   const QMailMessageIdList &ids, const QString &partLocationKey = QString());
    // For an operation on one message: spares building a list.
    Serial enqueue(ActionPointer action, const QMailMessagePartContainer::Location &partLocation,
                   const QMailMessageId &id, const QString &partLocationKey = QString());
    template <typename IdRange>
    Serial enqueueFor(ActionPointer action, const QMailMessagePartContainer::Location &partLocation,
                      const IdRange &ids, const QString &partLocationKey);
    ActionPointer getNext();
    bool executeCurrent();
    void dequeue(ActionPointer action);
    ActionPointer findAction(ActionPointer action) const;
    void removeFromCaches(Action *action);
    void finishCurrent(QMailServiceAction::Activity activity, const QMailServiceAction::Status &status);
    void requeuePreempted(const ActionPointer &preempted);
    void reportCancelled(Serial serial);
    bool dropStrayReport(const char *signature);
    bool hasOwnWork() const;
    void goOnline(ZavekNetworkConfigurationManager *manager);

    uint lastSerial = 0;
    QMailRetrievalAction *retrievalAction = nullptr;
    QMailTransmitAction *transmitAction = nullptr;
    QMailStorageAction *storageAction = nullptr;
    QMailActionObserver *observerAction = nullptr;
    Activity currentActivity = Idle;
    QMailServerRequestType lastRequestType = AcknowledgeNewMessagesRequestType;
    QMailServiceAction::Status::ErrorCode lastStatusErrorCode = QMailServiceAction::Status::ErrNoError;
    QScopedPointer<ZavekServiceActionManagerPrivate::ActionQueue> queue;
    ActionPointer current;
    bool waitingForIpc = false;
    QHash<QMailMessageId, QList<uint> > messageIdCache;
    QHash<ZavekServiceActionManagerPrivate::HashedText, QList<uint> > partLocationCache;
    ZavekNetworkConfigurationManager *networkConfig = nullptr;
    ZavekNetworkSession *networkSession = nullptr;
    QList<QSharedPointer<QMailActionInfo> > observedActions;
    bool connectInBackground = false;
    int storageActionCount = 0;
    QTimer *networkSessionIdleTimer = nullptr;
    int idleInterval = 7000;
};

Q_DECLARE_METATYPE(ZavekServiceActionManager::Activity)

QDataStream &operator<<(QDataStream &stream, ZavekServiceActionManager::Activity activity);
QDataStream &operator>>(QDataStream &stream, ZavekServiceActionManager::Activity &activity);

#endif // ZAVEKSERVICEACTIONMANAGER_H
