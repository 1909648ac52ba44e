#ifndef QMAILMESSAGESERVER_P_H
#define QMAILMESSAGESERVER_P_H

#include "qmailmessageserver.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

class QMailActionInfo;
class QMailActionObserver;

namespace QmfStandIn {

class MessageServerPrivate
{
public:
    explicit MessageServerPrivate(MessageServer *server);

    // Null once the server has been destroyed at process exit.
    static MessageServerPrivate *instance();

    // Bookkeeping of live actions, observers and info objects.
    void registerAction(QMailServiceAction *action);
    void unregisterAction(QMailServiceAction *action);

    // The action side of a request: record, announce (after Pending), end.
    Request record(QMailServiceAction *action, QMailServerRequestType type, const QString &call,
                   const QVariantList &arguments);
    void announce(quint64 requestId, bool local);
    void requestEnded(quint64 requestId, QMailServiceAction::Activity outcome);
    void cancelRequested(QMailServiceAction *action);

    // Observers.
    void listActionsRequested(QMailActionObserver *observer);
    void reportTo(QMailActionObserver *observer);
    void reportToAll();
    void removeObservedLater(QMailActionId id);
    QList<QPointer<QMailActionInfo> > infosOf(QMailActionId id) const;

    // Automatic mode (qmailmessageserver_automatic.cpp).
    void startAutomatic(const Request &request);
    bool isRunning(quint64 requestId, quint64 epoch) const;
    void scheduleStep(quint64 requestId, int step);
    void runStep(quint64 requestId, int step);
    QMailServiceAction::Status perform(const Request &request);
    QMailServiceAction::Status transmit(const Request &request);
    QMailServiceAction::Status importRemoteMessages(const QMailAccountId &accountId);
    // Loads the remote copy of a retrieved message and lets `fill` bring content in.
    QMailServiceAction::Status retrieveContent(const QMailMessageId &id,
                                               const std::function<bool(QMailMessage &, const QMailMessage &)> &fill);

    QMailServiceActionPrivate *runningActionPrivate(quint64 requestId) const;
    int indexOfRequest(quint64 requestId) const;

    MessageServer *q;
    MessageServer::Mode mode = MessageServer::Scripted;
    int delay = 0;
    // Distinguishes requests and answers from before a reset().
    quint64 epoch = 1;
    quint64 lastRequestId = 0;
    QList<Request> requests;
    QList<quint64> running;
    bool answerCancellations = true;
    QList<QPointer<QMailServiceAction> > cancellations;
    QList<ObservedAction> observed;
    QHash<QMailAccountId, QString> remoteMailboxes;
    QHash<QMailMessageId, QString> remoteFiles;
    // Remote files already imported, per account; never imported twice.
    QHash<QMailAccountId, QSet<QString> > importedFiles;
    QList<QMailServiceAction *> actions;
    QList<QMailActionObserver *> observers;
};

// Writes messages to the store (new ones with `update` false, receiving their ids in
// `added`); the status tells the first failure.
QMailServiceAction::Status storeMessages(const QMailMessageList &list, bool update, QMailMessageIdList *added);

} // namespace QmfStandIn

#endif // QMAILMESSAGESERVER_P_H
