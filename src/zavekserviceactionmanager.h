#ifndef ZAVEKSERVICEACTIONMANAGER_H
#define ZAVEKSERVICEACTIONMANAGER_H

/**
 * @file
 * The queue of mail service operations: ZavekServiceActionManager.
 */

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

class QDBusServiceWatcher;
class QTimer;
class ZavekNetworkConfigurationManager;
class ZavekNetworkSession;

namespace ZavekServiceActionManagerPrivate {
class ActionQueue;
class OperationCaches;
}

/**
 * Queues the application's mail service requests for the message server and follows each
 * one to its end.
 *
 * Every request function (sync(), send(), retrieveMessagePart(), deleteMessages(), ...)
 * returns at once with a #Serial that names the operation from then on. The operation's
 * progress arrives through activityChanged(), statusChanged() and progressChanged(), each
 * carrying that serial; activityChanged() with QMailServiceAction::Successful or
 * QMailServiceAction::Failed ends it, exactly once per serial.
 *
 * Scheduling:
 * - One operation runs at a time. Message-level requests and send() have Action::High
 *   priority and run before the account-level requests (Action::Low) that wait; within one
 *   priority, requests run in the order they were made.
 * - A high-priority request made while a low-priority operation runs interrupts that run.
 *   The interrupted operation keeps its serial, receives activityChanged() with
 *   QMailServiceAction::Pending and runs again later; its run's status and progress are not
 *   passed on, and it ends only once.
 * - A request equal to one that waits or runs (same kind, same arguments) is merged into
 *   it: the function returns the existing serial and activityChanged() reports Pending for
 *   it. Retrievals merge into waiting and running operations alike; sync(), send() and
 *   exportUpdates() only into one that has not started, because the server takes its input
 *   when it starts; deleteMessages(), flagMessages() and moveMessages() only into an equal
 *   request with no other store change after it, so that the user's last change wins;
 *   addMessages() and updateMessages() are never merged, and count as store changes too.
 * - Retrievals, sync(), send() and exportUpdates() need the network: they wait until
 *   isOnline() is true. When one is requested offline, the manager opens a network session
 *   and closes it again once the whole messaging system has been idle for
 *   networkSessionIdleInterval(). Store changes need no network.
 * - While the message store's connection to the message server is down, nothing starts;
 *   the waiting operation starts when it comes up.
 * - When the message server leaves the session bus (it stopped or crashed), or its name
 *   passes straight to another owner (a new server took over), the running operation ends
 *   Failed with QMailServiceAction::Status::ErrInternalServer and a status text saying so
 *   (an interrupted one is queued again instead), serviceActivityChanged() reports Idle,
 *   and nothing starts until the server is back; then the queue goes on. A manager made
 *   while the server is not on the bus waits for it the same way. Without a session bus
 *   there is no such watch.
 * - An operation that the server ends with QMailServiceAction::Status::ErrInternalStateReset
 *   is started again, up to three times in a row, then reported as failed.
 *
 * Threading: the manager is not thread-safe. Use it only from the thread it lives on (the
 * thread of the Qt event loop, in practice the main thread). Signals are emitted
 * synchronously, from inside the manager's functions as well: a request function that
 * queues or merges emits activityChanged() with Pending *before it returns the serial*, and
 * cancelOperation() emits the cancelled operation's final signals before it returns.
 * Receivers may make new requests and cancel operations from their slots.
 *
 * Lifetime of what lookups return: the lists returned by operations() and the pointer
 * returned by operationInfo() stay valid only until the next call of a manager function
 * (cancelOperation(), stop() and every request function change them) or the next return
 * to the event loop. Copy the list if you need it longer; never keep the pointer.
 *
 * Warnings are logged through Qt's message handler (qWarning) when an operation fails,
 * when it cannot start because the message server is unreachable, when the message server
 * is not on the session bus at the start, when it leaves the bus and when it returns, when
 * the network session cannot be opened, and when the server's reports do not match the
 * operation that runs (they are then dropped).
 */
class ZavekServiceActionManager : public QObject
{
    Q_OBJECT

public:
    /**
     * Number of one operation, as returned by the request functions.
     *
     * Counted from 1 in each manager; 0 is never an operation's serial. After 2^32 - 1 the
     * count starts again at 1, passing over the serials of operations that have not ended.
     * Registered with Qt's meta-type system as "ZavekServiceActionManager::Serial" (an alias
     * of uint), so it can travel through queued connections and QVariant.
     */
    typedef uint Serial;

    /**
     * Whether the messaging system as a whole runs service actions, as the message
     * server's action observer reports it (the actions of every client count, not only
     * this manager's).
     *
     * Registered as the meta-type "ZavekServiceActionManager::Activity", with QDataStream
     * operators that write it as a 32-bit integer.
     */
    enum Activity {
        /// No service action runs; also the state of a new manager, before any report.
        Idle = 0,
        /// At least one service action runs.
        Busy = 1
    };

    /**
     * What callers may ask about one queued or running operation.
     *
     * Obtained from operationInfo(); owned by the manager. The pointer is valid only until
     * the next call of a manager function or the next return to the event loop: never
     * keep it, never delete it.
     */
    class OperationInfo
    {
    public:
        /**
         * The message the operation concerns: the first message of retrieveMessages(), the
         * message holding the part of retrieveMessagePart(); an invalid id for every other
         * kind of request.
         */
        virtual QMailMessageId messageId() const = 0;
        /**
         * The part the operation concerns: the location given to retrieveMessagePart(); an
         * invalid location for every other kind of request.
         */
        virtual QMailMessagePartContainer::Location messagePartLocation() const = 0;
    };

    /**
     * The manager's record of one operation.
     *
     * Each request function builds one and hands it to the manager's queue, which owns it
     * through a shared pointer until the operation ends or is merged into an equal one.
     * Applications see operations only as OperationInfo; the fields below are the manager's
     * bookkeeping and must not be changed from outside.
     */
    class Action : public OperationInfo
    {
    public:
        /// Scheduling priority; a larger value is more urgent.
        enum Priority {
            /// Account-level work: sync, export, folder and message lists.
            Low = 0,
            /// Message-level work and send(); runs before and interrupts Low work.
            High = 1
        };

        /// How a later equal request may be merged into this operation.
        enum MergePolicy : quint8 {
            /// Retrievals: merged also into the running operation.
            MergeAlways,
            /// Send, export and sync: the server snapshots its input when it starts, so
            /// only a waiting operation takes later requests.
            MergeUnlessStarted,
            /// Store changes: merged only into the last store change queued, so that the
            /// user's last change wins.
            MergeIfLastStoreChange,
            /// Additions and updates carry content of their own and are never merged.
            MergeNever
        };

        /**
         * Records the service action that will run the operation (one of the manager's
         * three shared actions, not owned), its priority and whether it needs the network.
         * No serial yet: the manager assigns it when the operation is queued.
         */
        Action(QMailServiceAction *action, Priority priority, bool needsNetwork);
        /// Leaves the shared service action alone.
        virtual ~Action();

        /// An invalid id, unless the kind of operation concerns one message.
        QMailMessageId messageId() const override;
        /// An invalid location, unless the kind of operation concerns one part.
        QMailMessagePartContainer::Location messagePartLocation() const override;

        /**
         * Starts the operation with exactly one call on #_serviceAction; does not wait.
         * The outcome arrives through the service action's signals.
         */
        virtual void exec() = 0;
        /**
         * The operation's identity: its kind and the arguments that make it different from
         * another request. Equal descriptions are one operation. Built on first use and
         * kept in #_description.
         */
        virtual QString description() const = 0;

        /**
         * The shared service action that carries the operation out; not owned. The manager
         * replaces it when the message server was lost while it ran.
         */
        QMailServiceAction *_serviceAction;
        /// Cache of description(); empty until it is first asked for.
        mutable QString _description;
        /// The serial, assigned when the operation is queued; 0 before.
        Serial _serial = 0;
        /// Scheduling priority.
        Priority _priority;
        /// Whether the operation talks to a mail server and waits while offline.
        bool _needsNetwork;
        /**
         * Whether more urgent work may interrupt the run. An export is never interrupted:
         * the message server starts its copies and appends again when it runs again, so an
         * interrupted export leaves moved messages twice on the mail server.
         */
        bool _interruptible = true;

        /// How later equal requests are merged into this one.
        MergePolicy _mergePolicy = MergeAlways;
        /**
         * @name Scheduler state
         * The manager's bookkeeping of the current run, the queue position and the cache
         * entries of the operation. Read and written by the manager alone. The small fields
         * come first, packed together: a long queue holds thousands of operations, and every
         * byte of each is read again when the queue is emptied.
         */
        ///@{
        /// exec() was called and the run has not ended.
        bool _started = false;
        /// Cancelled to make room for more urgent work; the run's reports are not relayed.
        bool _preempted = false;
        /// The service action was already asked to cancel.
        bool _cancelRequested = false;
        /// Restarts after internal-state resets in a row.
        quint8 _resetRestarts = 0;
        /// Whether #_descriptionHash has been worked out.
        bool _descriptionHashed = false;
        /// Whether the serial was entered under the one message id #_cacheId.
        bool _cachedUnderId = false;
        /**
         * The description is a fixed text and the part location key, nothing more: an equal
         * request has an equal key, so it is found through the part cache by its key, the
         * queue keeps no index of the description, and the description is built only when
         * asked for. The key is not kept: it is the text of messagePartLocation().
         */
        bool _equalByPartKey = false;
        /// Where description() holds the part location key, for the other operations that
        /// have one (after a short fixed prefix).
        quint8 _partKeyOffset = 0;
        /// Length of the part location key under which the serial was entered; 0 while it
        /// is not entered under one. A location may be of any length.
        quint32 _partKeyLength = 0;
        /// Hash of description(), once worked out.
        uint _descriptionHash = 0;
        /// Hash of the part location key.
        uint _partKeyHash = 0;
        /**
         * Place in queue order: 0 for an operation appended at the tail, whose place follows
         * its serial (operations are appended as their serials are handed out); otherwise
         * the count, from 1, of the operations put at the head of the queue up to this one,
         * so that a later one stands nearer the head.
         */
        quint32 _headRank = 0;
        /// The serial of the neighbour towards the head of the queue; 0 at the head. Serials
        /// take half the room of pointers.
        Serial _queuePrevious = 0;
        /// The serial of the neighbour towards the tail of the queue; 0 at the tail.
        Serial _queueNext = 0;
        /// The serial of the next queued operation with the same description, in queue
        /// order; 0 for none.
        Serial _nextEqual = 0;
        /// The message id under which the serial was entered, when it names one message; its
        /// number, since an id object may own memory of its own.
        quint64 _cacheId = 0;
        ///@}

    private:
        Q_DISABLE_COPY(Action)
    };

    /**
     * The process-wide manager, created on the first call.
     *
     * It has no parent and is destroyed at process exit. Its network backend is the one in
     * force at the first call (Qt's bearer management unless a ZavekScriptedNetwork is
     * installed). Call it first from the thread that runs the Qt event loop. While a test
     * instance is installed with setTestInstance(), that one is returned instead.
     */
    static ZavekServiceActionManager *instance();

    /**
     * Test support: makes instance() return @p manager (not owned) until called with
     * nullptr. A manager that is destroyed uninstalls itself.
     */
    static void setTestInstance(ZavekServiceActionManager *manager);

    /**
     * Test support: the next request gets the serial that follows @p serial, 0 and the
     * serials still in use skipped. Lets a test reach the wrap of the counter without four
     * billion requests.
     */
    void setLastSerialForTesting(Serial serial);

    /**
     * Builds an independent manager with its own queue and serials.
     *
     * @param networkConfigurationManager the bearer source to use; null means
     *        ZavekNetworkConfigurationManager::create() (the backend in force). A given
     *        manager without a parent becomes the manager's child.
     * @param parent the QObject parent.
     *
     * The manager starts Idle, with nothing queued and no network session; it asks the
     * action observer for the running actions when the message store reports its
     * connection to the message server.
     */
    explicit ZavekServiceActionManager(ZavekNetworkConfigurationManager *networkConfigurationManager = nullptr,
                                       QObject *parent = nullptr);
    /**
     * Cancels nothing and emits nothing: operations still queued or running end without a
     * final signal, so closures waiting for them are never called. An open network session
     * is left open for whoever else uses the link; its object is deleted.
     */
    ~ZavekServiceActionManager() override;

    // ---- registry ----
    /**
     * The queued or running operation with this serial, or null when there is none (it
     * ended, was cancelled, or was never issued).
     *
     * Owned by the manager; valid only until the next call of a manager function or the
     * next return to the event loop.
     */
    const OperationInfo *operationInfo(uint serial) const;
    /**
     * Serials of the unfinished operations that concern the message: retrievals of it, of
     * its parts or of its ranges, and deletions, flag changes and moves that include it.
     *
     * A serial appears once per request merged into it, so the same serial may be listed
     * more than once. Additions and updates are never listed. The list is empty when no
     * operation concerns the message. The reference is valid only until the next call of
     * a manager function or the next return to the event loop; copy the list to keep it.
     */
    const QList<uint> &operations(const QMailMessageId &id) const;
    /**
     * Serials of the unfinished operations that concern the part: retrieveMessagePart()
     * and retrieveMessagePartRange() of that location.
     *
     * Parts are told apart by their location's extended text form (with the message id).
     * Repeats, emptiness and lifetime as for operations(const QMailMessageId &).
     */
    const QList<uint> &operations(const QMailMessagePartContainer::Location &location) const;

    // ---- cancellation ----
    /**
     * Cancels a queued or running operation.
     *
     * A queued operation, or one chosen to run that still waits for the network or the
     * message server, is removed at once: statusChanged() and then activityChanged() with
     * QMailServiceAction::Failed, both carrying QMailServiceAction::Status::ErrCancel, are
     * emitted before this function returns (for the chosen one, the next operation is
     * chosen and started when it can). A running
     * operation's service action is asked to cancel; its final activityChanged() comes when
     * the server reports the outcome (normally Failed with ErrCancel, Successful if the work
     * was done first), and it is not restarted. A serial that is neither queued nor running
     * (finished, already cancelled or never issued) also receives the two Failed signals.
     *
     * The serial leaves operations() at once. When the running service action cannot be
     * cancelled, a warning is logged and the operation runs to its end.
     */
    void cancelOperation(const Serial &serial);
    /**
     * Cancels every operation: the queued ones first, in queue order, each with its
     * statusChanged() and activityChanged() (Failed, ErrCancel), then the running one as
     * cancelOperation() does.
     */
    void stop();

    // ---- account-level requests ----
    /**
     * Synchronises the account with its server: folders, new messages and local changes.
     *
     * Low priority; needs the network. Merged only into an equal sync that has not started
     * yet. The account id must be valid (checked by a debug assertion; in release builds the
     * server fails the operation).
     * @return the operation's serial.
     */
    Serial sync(const QMailAccountId &accountId);
    /**
     * Transmits the messages waiting in the account's outbox.
     *
     * High priority; needs the network. Merged only into an equal send that has not started
     * yet, so a message queued while a send runs goes out with the next one. The account
     * must be valid and able to transmit (MessageSink and CanTransmit; checked by debug
     * assertions).
     * @return the operation's serial.
     */
    Serial send(const QMailAccountId &id);
    /**
     * Exports the account's local changes (flags, moves, deletions) to its server.
     *
     * Low priority; needs the network. Merged only into an equal export that has not
     * started yet. Once running it is not interrupted by more urgent work, which waits for
     * it: an export that starts again copies the moved messages to the server a second time.
     * @return the operation's serial.
     */
    Serial exportUpdates(const QMailAccountId &accountId);
    /**
     * Retrieves the account's folder list below @p folderId (the whole account for an
     * invalid folder id), with the subfolders of every level when @p descending is true.
     *
     * Low priority; needs the network. The account id must be valid (debug assertion).
     * @return the operation's serial.
     */
    Serial retrieveFolderList(const QMailAccountId &accountId, const QMailFolderId &folderId, bool descending);
    /**
     * Retrieves the list of messages in a folder of the account (in every folder for an
     * invalid folder id), as many per folder as @p minimum asks for (0: all), in the order
     * of @p sort.
     *
     * Low priority; needs the network. The sort key does not make requests different: a
     * second request that differs only in its sort key is merged into the first, and its
     * key is not used. The account id must be valid (debug assertion).
     * @return the operation's serial.
     */
    Serial retrieveMessageList(const QMailAccountId &accountId, const QMailFolderId &folderId, uint minimum,
                               const QMailMessageSortKey &sort);

    // ---- message-level requests ----
    /**
     * Retrieves the messages to the extent @p kind names (QMF's RetrievalSpecification values:
     * metadata only, content, ...).
     *
     * High priority; needs the network. Listed by operations() under each id; the same ids
     * in another order make a different operation. OperationInfo::messageId() gives the
     * first id. An empty list is accepted and handed to the server.
     * @return the operation's serial.
     */
    Serial retrieveMessages(const QMailMessageIdList &ids, QMailRetrievalAction::RetrievalSpecification kind);
    /**
     * Retrieves at least the first @p minimum bytes of the message.
     *
     * High priority; needs the network. Listed by operations() under the message.
     * @return the operation's serial.
     */
    Serial retrieveMessageRange(const QMailMessageId &id, uint minimum);
    /**
     * Retrieves the content of one part of a message.
     *
     * High priority; needs the network. Listed by operations() under the part location and
     * under its message; OperationInfo gives both. The location must be valid with its
     * message id (debug assertion).
     * @return the operation's serial.
     */
    Serial retrieveMessagePart(const QMailMessagePartContainer::Location &partLocation);
    /**
     * Retrieves at least the first @p minimum bytes of one part of a message.
     *
     * High priority; needs the network. Listed by operations() under the part location and
     * under its message, and a different operation from retrieveMessagePart() of the same
     * part. The location must be valid with its message id (debug assertion).
     * @return the operation's serial.
     */
    Serial retrieveMessagePartRange(const QMailMessagePartContainer::Location &partLocation, uint minimum);
    /**
     * Deletes the messages through the message server.
     *
     * High priority; no network needed. Listed by operations() under each id. Merged only
     * into an equal request that is the last store change queued.
     * @return the operation's serial.
     */
    Serial deleteMessages(const QMailMessageIdList &ids);
    /**
     * Sets the status bits of @p setMask and clears those of @p unsetMask on the messages.
     *
     * High priority; no network needed. Listed by operations() under each id. Merged only
     * into an equal request that is the last store change queued, so a flag, its reversal
     * and the flag again make three runs.
     * @return the operation's serial.
     */
    Serial flagMessages(const QMailMessageIdList &ids, quint64 setMask, quint64 unsetMask);
    /**
     * Moves the messages to the folder.
     *
     * High priority; no network needed. Listed by operations() under each id. Merged only
     * into an equal request that is the last store change queued.
     * @return the operation's serial.
     */
    Serial moveMessages(const QMailMessageIdList &ids, const QMailFolderId &folderId);
    /**
     * Adds the messages to the mail store.
     *
     * High priority; no network needed. Never merged, and not listed by operations().
     * @return the operation's serial.
     */
    Serial addMessages(const QMailMessageList &messages);
    /**
     * Writes the messages, changed by the caller, back to the mail store.
     *
     * High priority; no network needed. Never merged, and not listed by operations().
     * @return the operation's serial.
     */
    Serial updateMessages(const QMailMessageList &messages);

    // ---- connectivity and observation ----
    /**
     * Whether operations that need the network may run: true when the bearer layer reports
     * the device online, or when the ZavekSettings::useConnectivityManager() option is off.
     *
     * The option is read at every call, so a change takes effect at once.
     */
    bool isOnline() const;
    /// Whether any client's service action runs, as the action observer last reported.
    Activity activity() const;
    /**
     * A new storage action for the caller's own use; the caller owns it and deletes it.
     *
     * It is not queued and its signals are not relayed by the manager; the caller runs it
     * and listens to it directly. The manager counts it until it is destroyed
     * (liveStorageActionCount()).
     */
    QMailStorageAction *newStorageAction();

    /**
     * Request type of the first action in the observer's last non-empty report;
     * AcknowledgeNewMessagesRequestType before the first one.
     */
    QMailServerRequestType lastObservedRequestType() const;
    /**
     * Status error code of the first action in the observer's last non-empty report;
     * QMailServiceAction::Status::ErrNoError before the first one.
     */
    QMailServiceAction::Status::ErrorCode lastObservedStatusErrorCode() const;
    /// Number of storage actions from newStorageAction() not yet destroyed.
    int liveStorageActionCount() const;

    /**
     * Milliseconds the whole messaging system must stay idle before the manager closes the
     * network session it opened; 7000 by default.
     */
    int networkSessionIdleInterval() const;
    /**
     * Sets the idle period before the network session is closed; a negative value counts
     * as 0. It applies from the next countdown on; one that runs is not changed.
     */
    void setNetworkSessionIdleInterval(int msec);
    /// Milliseconds left before the idle session is closed, or -1 when no countdown runs.
    int networkSessionIdleRemaining() const;

signals:
    /**
     * The action observer reported the service actions that run in the messaging system.
     *
     * Emitted after every report, also when the activity did not change.
     */
    void serviceActivityChanged(ZavekServiceActionManager::Activity activity);
    /**
     * The status of an observed service action (this or another client's) changed.
     *
     * Read the new status from @p actionInfo. The object belongs to the manager and stays
     * valid until the observer's next report; do not keep the pointer beyond the slot.
     */
    void serviceStatusChanged(const QMailActionInfo *actionInfo);
    /**
     * The running operation's service action reported a new status; also emitted, with
     * QMailServiceAction::Status::ErrCancel, before the final signal of an operation that is
     * cancelled before it runs.
     *
     * The status is passed on unchanged; it does not end the operation (activityChanged()
     * does). The status of a run that a more urgent request interrupted is not passed on.
     */
    void statusChanged(ZavekServiceActionManager::Serial operation, const QMailServiceAction::Status &status);
    /**
     * The running operation's service action reported progress, as the server counts it
     * (@p total may be 0 when unknown).
     */
    void progressChanged(ZavekServiceActionManager::Serial operation, uint progress, uint total);
    /**
     * The operation's activity changed.
     *
     * - QMailServiceAction::Pending, with an empty status: the request was queued behind
     *   another operation or took the place of one that waits and has to wait too, was
     *   merged into an existing one (the serial is that one's), or its run was interrupted
     *   by a more urgent request and it waits to run again. A request that becomes the
     *   operation to run on an idle manager gets no Pending, even while it waits for the
     *   network or the message server.
     * - QMailServiceAction::InProgress and further Pending reports: as the service action
     *   reports them, with its status.
     * - QMailServiceAction::Successful or QMailServiceAction::Failed: the end, exactly once
     *   per serial, with the final status (a cancellation carries
     *   QMailServiceAction::Status::ErrCancel). By then the operation has left
     *   operationInfo() and operations(); the next operation starts after this signal has
     *   been delivered.
     */
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
    Serial nextSerial();
    ActionPointer getNext();
    bool executeCurrent();
    void dequeue(ActionPointer action);
    // partLocationKey: the request's part location key, when it is equal by it.
    ActionPointer findAction(const ActionPointer &action, const QString &partLocationKey) const;
    void removeFromCaches(Action *action);
    void finishCurrent(QMailServiceAction::Activity activity, const QMailServiceAction::Status &status);
    void requeuePreempted(const ActionPointer &preempted);
    void reportCancelled(Serial serial);
    bool dropStrayReport(const char *signature);
    bool hasOwnWork() const;
    void startIdleCountdownIfIdle();
    void goOnline(ZavekNetworkConfigurationManager *manager);
    void wireServiceAction(QMailServiceAction *action);
    // Not slots: the meta-object keeps exactly its documented signals and slots.
    void watchMessageServer();
    void onMessageServerRegistered();
    void onMessageServerUnregistered();
    template <typename ServiceAction>
    void renewIfStuck(ServiceAction *&action);

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
    // Serials by message id and by part location.
    QScopedPointer<ZavekServiceActionManagerPrivate::OperationCaches> caches;
    ZavekNetworkConfigurationManager *networkConfig = nullptr;
    ZavekNetworkSession *networkSession = nullptr;
    QList<QSharedPointer<QMailActionInfo> > observedActions;
    bool connectInBackground = false;
    int storageActionCount = 0;
    QTimer *networkSessionIdleTimer = nullptr;
    int idleInterval = 7000;
    // Watches the message server's name on the session bus; null without a session bus.
    QDBusServiceWatcher *messageServerWatcher = nullptr;
    // The server's name left the bus and has not come back: nothing is started meanwhile.
    bool messageServerGone = false;
};

Q_DECLARE_METATYPE(ZavekServiceActionManager::Activity)

/// Writes the activity as a 32-bit signed integer.
QDataStream &operator<<(QDataStream &stream, ZavekServiceActionManager::Activity activity);
/// Reads an activity written by operator<<().
QDataStream &operator>>(QDataStream &stream, ZavekServiceActionManager::Activity &activity);

#endif // ZAVEKSERVICEACTIONMANAGER_H
