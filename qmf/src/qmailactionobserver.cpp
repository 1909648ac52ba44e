#include "qmailmessageserver_p.h"
#include "qmailserviceaction.h"
#include "qmailserviceaction_p.h"

// --- QMailActionInfo -------------------------------------------------------------------

QMailActionInfo::QMailActionInfo(QMailActionId id, QMailServerRequestType requestType)
    : QMailServiceAction(nullptr), m_id(id), m_requestType(requestType)
{
}

QMailActionInfo::~QMailActionInfo() = default;

QMailActionId QMailActionInfo::id() const
{
    return m_id;
}

QMailServerRequestType QMailActionInfo::requestType() const
{
    return m_requestType;
}

QMailActionInfo::StatusErrorCode QMailActionInfo::statusErrorCode() const
{
    return status().errorCode;
}

QString QMailActionInfo::statusText() const
{
    return status().text;
}

// --- QMailActionObserver ---------------------------------------------------------------

QMailActionObserver::QMailActionObserver(QObject *parent)
    : QMailServiceAction(parent)
{
    if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
        server->observers.append(this);
    listActionsRequest();
}

QMailActionObserver::~QMailActionObserver()
{
    if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
        server->observers.removeAll(this);
}

QList<QSharedPointer<QMailActionInfo> > QMailActionObserver::actions() const
{
    return m_actions;
}

void QMailActionObserver::listActionsRequest()
{
    if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
        server->listActionsRequested(this);
}
