// The list of running actions that observers report, and the info objects that mirror
// its entries.

#include "qmailmessageserver.h"
#include "qmailmessageserver_p.h"
#include "qmailserviceaction_p.h"

#include <QTimer>

#include <algorithm>

namespace QmfStandIn {

namespace {

bool byId(const ObservedAction &a, const ObservedAction &b)
{
    return a.id < b.id;
}

} // namespace

QList<QPointer<QMailActionInfo> > MessageServerPrivate::infosOf(QMailActionId id) const
{
    // Guarded: a slot reached through one info object may delete another.
    QList<QPointer<QMailActionInfo> > infos;
    for (QMailServiceAction *action : actions) {
        QMailActionInfo *info = qobject_cast<QMailActionInfo *>(action);
        if (info && info->id() == id)
            infos.append(info);
    }
    return infos;
}

// --- MessageServerPrivate: observers ---------------------------------------------------

void MessageServerPrivate::listActionsRequested(QMailActionObserver *observer)
{
    // The answer comes like one over IPC: after the caller has had a chance to connect.
    const QPointer<QMailActionObserver> target(observer);
    QTimer::singleShot(0, q, [this, target] {
        if (target)
            reportTo(target.data());
    });
}

void MessageServerPrivate::reportTo(QMailActionObserver *observer)
{
    const QList<QSharedPointer<QMailActionInfo> > previous = observer->actions();
    QList<QSharedPointer<QMailActionInfo> > list;
    for (const ObservedAction &entry : qAsConst(observed)) {
        QSharedPointer<QMailActionInfo> info;
        for (const QSharedPointer<QMailActionInfo> &candidate : previous) {
            if (candidate && candidate->id() == entry.id)
                info = candidate;
        }
        if (!info)
            info.reset(QMailServiceActionPrivate::createInfo(entry.id, entry.requestType));
        // A full answer carries the current state; changes are announced only by the
        // notices (setObservedActionStatus and the like), as over IPC.
        QMailServiceActionPrivate *state = QMailServiceActionPrivate::get(info.data());
        state->activity = entry.activity;
        state->status = entry.status;
        state->progressValue = qMin(entry.progress, entry.total);
        state->progressTotal = entry.total;
        list.append(info);
    }
    QMailServiceActionPrivate::get(observer)->setObservedActions(list);
}

void MessageServerPrivate::reportToAll()
{
    // A slot may create or delete observers while we report.
    QList<QPointer<QMailActionObserver> > targets;
    for (QMailActionObserver *observer : qAsConst(observers))
        targets.append(observer);
    for (const QPointer<QMailActionObserver> &observer : qAsConst(targets)) {
        if (observer)
            reportTo(observer.data());
    }
}

void MessageServerPrivate::removeObservedLater(QMailActionId id)
{
    const quint64 requestEpoch = epoch;
    QTimer::singleShot(0, q, [this, id, requestEpoch] {
        if (requestEpoch != epoch)
            return;
        const auto entry = std::find_if(observed.begin(), observed.end(),
                                        [id](const ObservedAction &a) { return a.id == id; });
        if (entry == observed.end())
            return;
        observed.erase(entry);
        reportToAll();
    });
}

void MessageServer::setRunningActions(const QList<ObservedAction> &actions)
{
    d->observed = actions;
    std::stable_sort(d->observed.begin(), d->observed.end(), byId);
    d->reportToAll();
}

QList<ObservedAction> MessageServer::runningActions() const
{
    return d->observed;
}

void MessageServer::setObservedActionStatus(QMailActionId id, const QMailServiceAction::Status &status)
{
    for (ObservedAction &entry : d->observed) {
        if (entry.id == id)
            entry.status = status;
    }
    const QList<QPointer<QMailActionInfo> > infos = d->infosOf(id);
    for (const QPointer<QMailActionInfo> &info : infos) {
        if (!info)
            continue;
        const bool codeChanged = info->statusErrorCode() != status.errorCode;
        QMailServiceActionPrivate::get(info.data())->setStatus(status);
        if (codeChanged && info)
            emit info->statusErrorCodeChanged(status.errorCode);
    }
}

void MessageServer::setObservedActionProgress(QMailActionId id, uint value, uint total)
{
    for (ObservedAction &entry : d->observed) {
        if (entry.id == id) {
            entry.progress = qMin(value, total);
            entry.total = total;
        }
    }
    const QList<QPointer<QMailActionInfo> > infos = d->infosOf(id);
    for (const QPointer<QMailActionInfo> &info : infos) {
        if (info)
            QMailServiceActionPrivate::get(info.data())->setProgress(value, total);
    }
}

void MessageServer::completeObservedAction(QMailActionId id)
{
    bool known = false;
    for (ObservedAction &entry : d->observed) {
        if (entry.id == id) {
            entry.activity = QMailServiceAction::Successful;
            known = true;
        }
    }
    if (!known) {
        qWarning("QmfStandIn::MessageServer::completeObservedAction: no running action %llu",
                 static_cast<unsigned long long>(id));
        return;
    }
    const QList<QPointer<QMailActionInfo> > infos = d->infosOf(id);
    for (const QPointer<QMailActionInfo> &info : infos) {
        if (info)
            QMailServiceActionPrivate::get(info.data())->setActivity(QMailServiceAction::Successful);
    }
    d->removeObservedLater(id);
}

} // namespace QmfStandIn
