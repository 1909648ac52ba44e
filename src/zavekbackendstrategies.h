#ifndef ZAVEKBACKENDSTRATEGIES_H
#define ZAVEKBACKENDSTRATEGIES_H

#include "zavekserviceactionmanager.h"

#include <QList>
#include <QObject>
#include <qmailserviceaction.h>

/**
 * @file
 * ClosureBase: one call back when a set of manager operations is over.
 */

/**
 * Calls the application back once when every one of a set of manager operations has
 * ended.
 *
 * An operation counts as ended with its final ZavekServiceActionManager::activityChanged()
 * (QMailServiceAction::Successful or QMailServiceAction::Failed, a cancelled operation
 * included). complete() then receives the status of the operation that ended last, and the
 * closure schedules its own deletion (deleteLater()). Earlier statuses are not collected,
 * and success is not told from failure: look at the status's error code.
 *
 * Subclass it, implement complete(), and create the subclass with @c new, giving it the
 * serials the manager returned, before control returns to the event loop (operations end
 * from there on). The closure owns itself: do not delete it while it waits, and do not use
 * it after complete() has returned. A parent, if given, may delete it before it completes;
 * it is then never called.
 *
 * Serials that never end are waited for for ever; there is no timeout. Destroying the
 * manager ends nothing, so a closure waiting for its operations is then never called.
 * The closure listens to ZavekServiceActionManager::instance() and lives on the thread of
 * the manager.
 */
class ClosureBase : public QObject
{
    Q_OBJECT
public:
    ~ClosureBase() override;

protected:
    /**
     * Starts waiting for @p serials, on the manager that ZavekServiceActionManager::instance()
     * returns now.
     *
     * A serial may be given more than once; its end counts for all its copies. Given no
     * serial at all, the closure has nothing to wait for and completes on the next
     * event-loop turn with a default (no error) status. Serials that ended before the
     * closure was made are waited for for ever.
     * @param serials the operations to wait for.
     * @param parent the QObject parent; usually none.
     */
    explicit ClosureBase(const QList<ZavekServiceActionManager::Serial> &serials, QObject *parent = nullptr);

    /**
     * Called once, when the last of the serials has ended, with that operation's final
     * status. The closure is deleted after this returns, on the next event-loop turn.
     */
    virtual void complete(const QMailServiceAction::Status &status) = 0;

    /// The serials still waited for; each ended serial is removed.
    QList<ZavekServiceActionManager::Serial> mSerials;

private Q_SLOTS:
    void onActivityChanged(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                           const QMailServiceAction::Status &status);
};

#endif // ZAVEKBACKENDSTRATEGIES_H
