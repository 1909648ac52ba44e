#include "qmailmessageserver_p.h"
#include "qmailserviceaction_p.h"

namespace QmfStandIn {

void MessageServerPrivate::startAutomatic(const Request &request)
{
    Q_UNUSED(request);
}

QMailServiceAction::Status storeMessages(const QMailMessageList &list, bool update, QMailMessageIdList *added)
{
    Q_UNUSED(list);
    Q_UNUSED(update);
    Q_UNUSED(added);
    return QMailServiceAction::Status();
}

} // namespace QmfStandIn
