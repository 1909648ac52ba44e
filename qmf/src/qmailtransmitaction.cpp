#include "qmailserviceaction.h"
#include "qmailserviceaction_p.h"

QMailTransmitAction::QMailTransmitAction(QObject *parent)
    : QMailServiceAction(parent)
{
}

QMailTransmitAction::~QMailTransmitAction() = default;

void QMailTransmitAction::transmitMessages(const QMailAccountId &accountId)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            TransmitMessagesRequestType, QStringLiteral("transmitMessages"), { QVariant::fromValue(accountId) });
}
