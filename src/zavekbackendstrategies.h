#ifndef ZAVEKBACKENDSTRATEGIES_H
#define ZAVEKBACKENDSTRATEGIES_H

#include "zavekserviceactionmanager.h"

#include <QList>
#include <QObject>
#include <qmailserviceaction.h>

// Waits until every one of a set of manager operations has ended (Successful or Failed,
// a cancelled operation included), then calls complete() once with the status of the
// operation that ended last, and schedules itself for deletion.
//
// Subclass it, implement complete(), and create the subclass on the heap with the serials
// the manager returned; the constructor connects it to
// ZavekServiceActionManager::instance(). A serial may be given more than once. Given no
// serial at all it has nothing to wait for and completes on the next event-loop turn with
// a default (no error) status. Serials that never end are waited for for ever.
class ClosureBase : public QObject
{
    Q_OBJECT
public:
    ~ClosureBase() override;

protected:
    explicit ClosureBase(const QList<ZavekServiceActionManager::Serial> &serials, QObject *parent = nullptr);

    virtual void complete(const QMailServiceAction::Status &status) = 0;

    QList<ZavekServiceActionManager::Serial> mSerials;

private Q_SLOTS:
    void onActivityChanged(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                           const QMailServiceAction::Status &status);
};

#endif // ZAVEKBACKENDSTRATEGIES_H
