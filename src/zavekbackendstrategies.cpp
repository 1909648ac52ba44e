#include "zavekbackendstrategies.h"

#include "zavekglobal.h"

#include <QTimer>

ClosureBase::ClosureBase(const QList<ZavekServiceActionManager::Serial> &serials, QObject *parent)
    : QObject(parent)
    , mSerials(serials)
{
    if (mSerials.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            complete(QMailServiceAction::Status());
            deleteLater();
        });
        return;
    }
    ENFORCE(connect(ZavekServiceActionManager::instance(),
                    SIGNAL(activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                    this,
                    SLOT(onActivityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status))));
}

ClosureBase::~ClosureBase() = default;

void ClosureBase::onActivityChanged(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                                    const QMailServiceAction::Status &status)
{
    if (activity != QMailServiceAction::Successful && activity != QMailServiceAction::Failed)
        return;
    if (!mSerials.contains(serial))
        return;
    mSerials.removeAll(serial);
    if (!mSerials.isEmpty())
        return;

    const bool disconnected = disconnect(
        ZavekServiceActionManager::instance(),
        SIGNAL(activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
        this,
        SLOT(onActivityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)));
    Q_ASSERT(disconnected);
    Q_UNUSED(disconnected)
    complete(status);
    deleteLater();
}
