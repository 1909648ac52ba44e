#ifndef QMAILSERVICEACTION_P_H
#define QMAILSERVICEACTION_P_H

#include "qmailserviceaction.h"

#include <QString>
#include <QVariantList>

// The state of one service action and the only way to change it. Actions use it to start
// a request; the message server uses it to report on the request.
class QMailServiceActionPrivate
{
public:
    explicit QMailServiceActionPrivate(QMailServiceAction *action);
    ~QMailServiceActionPrivate();

    static QMailServiceActionPrivate *get(QMailServiceAction *action) { return action->d.data(); }
    static const QMailServiceActionPrivate *get(const QMailServiceAction *action) { return action->d.data(); }

    // Starts a request: resets the state, makes the action running, emits Pending and
    // hands the request to the server. Refused with a warning (returns 0) while another
    // request runs. Returns the server's request id. A `local` request is only recorded:
    // the action completes it itself.
    quint64 beginRequest(QMailServerRequestType type, const QString &call, const QVariantList &arguments,
                         bool local = false);

    // Ends a request the action completed by itself (without the server doing the work).
    void completeLocally(const QMailServiceAction::Status &status, QMailServiceAction::Activity outcome);

    // The server's reports. Each call emits what changed, in the order connectivity,
    // activity, progress, status, and stops emitting when a slot started a new request
    // or deleted the action. Successful and Failed end the request before anything is
    // emitted, so slots see isRunning() false.
    void update(const QMailServiceAction::Connectivity *connectivity,
                const QMailServiceAction::Activity *activity,
                const QPair<uint, uint> *progress,
                const QMailServiceAction::Status *status);
    void setConnectivity(QMailServiceAction::Connectivity connectivity) { update(&connectivity, nullptr, nullptr, nullptr); }
    void setActivity(QMailServiceAction::Activity activity) { update(nullptr, &activity, nullptr, nullptr); }
    void setProgress(uint value, uint total);
    void setStatus(const QMailServiceAction::Status &status) { update(nullptr, nullptr, nullptr, &status); }
    // Error status first, then Failed, unless a slot took over the action in between.
    void fail(const QMailServiceAction::Status &status);

    // Forgets the running request without emitting anything (server reset).
    void forgetRequest();

    quint64 requestId() const { return m_requestId; }
    bool isRunning() const { return m_running; }

    // Touches the subclass members the server fills in.
    void setMessagesAdded(const QMailMessageIdList &ids);
    void emitMessagesTransmitted(const QMailMessageIdList &ids);
    void emitMessagesFailedTransmission(const QMailMessageIdList &ids, QMailServiceAction::Status::ErrorCode code);
    // Observers only: replace the reported list and announce it in full.
    void setObservedActions(const QList<QSharedPointer<QMailActionInfo> > &actions);
    bool observerReady() const;
    // Info objects are made only here, for the server's reports to observers.
    static QMailActionInfo *createInfo(QMailActionId id, QMailServerRequestType type);

    QMailServiceAction::Connectivity connectivity = QMailServiceAction::Offline;
    QMailServiceAction::Activity activity = QMailServiceAction::Pending;
    QMailServiceAction::Status status;
    uint progressValue = 0;
    uint progressTotal = 0;

private:
    QMailServiceAction *q;
    bool m_running = false;
    quint64 m_requestId = 0;
    // Changes with every request and every reset; a report stops when it changes.
    quint64 m_generation = 0;
};

// Registers the meta-types the actions' signals carry, once per process.
void qmfRegisterServiceActionTypes();

#endif // QMAILSERVICEACTION_P_H
