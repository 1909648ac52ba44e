#ifndef QMAILMESSAGESERVER_H
#define QMAILMESSAGESERVER_H

// TEST AND DEMO SUPPORT: NOT PART OF THE QMF CLIENT API.
//
// The in-process stand-in for the message server that carries out service actions.
// libzavek never includes this header; tests and the demo use it to decide what the
// "server" does with each request.
//
// Two modes:
// - Scripted (the default, for tests): every request is recorded and then waits; the
//   test answers it through this API (activity, progress, status, success, failure),
//   drops and re-establishes the IPC connection and sets the list of running actions
//   that QMailActionObserver reports.
// - Automatic (the demo, integration tests): requests are carried out against
//   QMailStore after an event-loop delay, retrievals reading a directory of .eml files
//   that stands for the account's server-side mailbox.
//
// In both modes a cancelOperation() on a running action is answered on the next
// event-loop turn with statusChanged(ErrCancel, "Cancelled by user") and then
// activityChanged(Failed), unless the test turned that off (setAnswerCancellations).

#include "qmailaction.h"
#include "qmailid.h"
#include "qmailserviceaction.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QScopedPointer>
#include <QString>
#include <QVariantList>

class QMailStorageAction;
class QMailTransmitAction;

namespace QmfStandIn {

class MessageServerPrivate;

// One request a service action handed to the server.
struct Request
{
    quint64 id = 0;                         // serial, counted from 1 since the last reset()
    QPointer<QMailServiceAction> action;    // the action that made it (null once deleted)
    QMailServerRequestType type = AcknowledgeNewMessagesRequestType;
    QString call;                           // the slot name, e.g. "retrieveMessagePart"
    // The slot's arguments in declaration order: ids and id lists as QVariants of their
    // own types, a part location as its toString(true), a RetrievalSpecification as a
    // QMailRetrievalAction::RetrievalSpecification, a message list as QMailMessageList,
    // masks as quint64, counts as uint, flags as bool, the sort key as QMailMessageSortKey.
    QVariantList arguments;

    bool isValid() const { return id != 0; }
};

// One entry of the list of running actions that observers report.
struct ObservedAction
{
    ObservedAction() = default;
    ObservedAction(QMailActionId actionId, QMailServerRequestType type,
                   QMailServiceAction::Status::ErrorCode code = QMailServiceAction::Status::ErrNoError,
                   const QString &text = QString())
        : id(actionId), requestType(type)
    {
        status.errorCode = code;
        status.text = text;
    }

    QMailActionId id = 0;
    QMailServerRequestType requestType = AcknowledgeNewMessagesRequestType;
    QMailServiceAction::Status status;
    QMailServiceAction::Activity activity = QMailServiceAction::InProgress;
    uint progress = 0;
    uint total = 0;
};

class MessageServer : public QObject
{
    Q_OBJECT

public:
    enum Mode { Scripted, Automatic };

    static MessageServer *instance();
    ~MessageServer() override;

    // Back to scripted mode with no recorded requests, the IPC connection up, an empty
    // list of running actions, no remote mailboxes, cancellations answered, delay 0.
    // Every existing action forgets its running request without emitting anything.
    void reset();

    void setMode(Mode mode);
    Mode mode() const;
    // Event-loop delay between the steps of automatic work; 0 = the next turn.
    void setAutomaticDelay(int milliseconds);
    int automaticDelay() const;

    // Recording.
    QList<Request> requests() const;          // all since reset(), oldest first
    QList<Request> runningRequests() const;   // not yet Successful or Failed
    Request lastRequest() const;              // invalid when there is none
    Request runningRequest(QMailServiceAction *action) const;   // invalid when idle
    int requestCount() const;

    // Scripted answers to the running request of `action`. Each is a warning and no-op
    // when the action has no running request.
    void setConnectivity(QMailServiceAction *action, QMailServiceAction::Connectivity connectivity);
    void setActivity(QMailServiceAction *action, QMailServiceAction::Activity activity);
    void setProgress(QMailServiceAction *action, uint value, uint total);
    void setStatus(QMailServiceAction *action, const QMailServiceAction::Status &status);
    void succeed(QMailServiceAction *action);
    // statusChanged with `code` and `text`, then activityChanged(Failed).
    void fail(QMailServiceAction *action, QMailServiceAction::Status::ErrorCode code,
              const QString &text = QString());
    void reportTransmitted(QMailTransmitAction *action, const QMailMessageIdList &ids);
    void reportFailedTransmission(QMailTransmitAction *action, const QMailMessageIdList &ids,
                                  QMailServiceAction::Status::ErrorCode code);
    void setMessagesAdded(QMailStorageAction *action, const QMailMessageIdList &ids);

    // Cancellation.
    void setAnswerCancellations(bool answer);
    bool answersCancellations() const;
    // Answers a cancellation now: statusChanged(ErrCancel, "Cancelled by user"), Failed.
    void answerCancellation(QMailServiceAction *action);
    QList<QPointer<QMailServiceAction> > cancellationRequests() const;   // since reset()

    // IPC connection to the server. Dropping it fails every running request with
    // ErrInternalServer; requests made while it is down fail on the next event-loop turn.
    void dropIpcConnection();
    void establishIpcConnection();
    bool isIpcConnectionEstablished() const;

    // Observed actions (scripted): replaces the list of running actions; every live
    // QMailActionObserver reports the complete list at once.
    void setRunningActions(const QList<ObservedAction> &actions);
    QList<ObservedAction> runningActions() const;
    // The info objects of that action emit statusChanged (and statusErrorCodeChanged
    // when the code changes).
    void setObservedActionStatus(QMailActionId id, const QMailServiceAction::Status &status);
    void setObservedActionProgress(QMailActionId id, uint value, uint total);
    // The info objects turn Successful; the action leaves the list on the next turn.
    void completeObservedAction(QMailActionId id);

    // Presence on the session bus. Like the real server, the stand-in owns the server's bus
    // name when a session bus exists (queued behind an earlier owner, and letting a later
    // one take it over), so that clients which watch the name see it there. reset() joins
    // again. Without a session bus both are no-ops and isOnSessionBus() is false.
    void joinSessionBus();
    void leaveSessionBus();
    bool isOnSessionBus() const;

    // Automatic mode: a directory of .eml files standing for the account's remote mailbox.
    void setRemoteMailbox(const QMailAccountId &account, const QString &directory);
    QString remoteMailbox(const QMailAccountId &account) const;
    // The remote file a retrieved message came from; empty when it was not retrieved.
    QString remoteFileOf(const QMailMessageId &id) const;

Q_SIGNALS:
    // Emitted after the requesting action has emitted Pending.
    void requestReceived(const QmfStandIn::Request &request);
    // Emitted as a request ends, just before its action reports Successful or Failed.
    void requestFinished(const QmfStandIn::Request &request);

private:
    MessageServer();
    friend class MessageServerPrivate;
    friend class ::QMailServiceActionPrivate;
    QScopedPointer<MessageServerPrivate> d;
};

} // namespace QmfStandIn

Q_DECLARE_METATYPE(QmfStandIn::Request)
Q_DECLARE_METATYPE(QmfStandIn::ObservedAction)

#endif // QMAILMESSAGESERVER_H
