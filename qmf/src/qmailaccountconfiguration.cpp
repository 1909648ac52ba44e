#include "qmailaccountconfiguration.h"

#include "qmailstore.h"

#include <QDebug>

QMailAccountConfiguration::ServiceConfiguration::ServiceConfiguration() = default;

QMailAccountConfiguration::ServiceConfiguration::~ServiceConfiguration() = default;

QString QMailAccountConfiguration::ServiceConfiguration::service() const
{
    return m_service;
}

QMailAccountId QMailAccountConfiguration::ServiceConfiguration::id() const
{
    return m_id;
}

QString QMailAccountConfiguration::ServiceConfiguration::value(const QString &name) const
{
    return m_values.value(name);
}

void QMailAccountConfiguration::ServiceConfiguration::setValue(const QString &name, const QString &value)
{
    m_values.insert(name, value);
}

void QMailAccountConfiguration::ServiceConfiguration::removeValue(const QString &name)
{
    m_values.remove(name);
}

const QMap<QString, QString> &QMailAccountConfiguration::ServiceConfiguration::values() const
{
    return m_values;
}

QMailAccountConfiguration::QMailAccountConfiguration() = default;

QMailAccountConfiguration::QMailAccountConfiguration(const QMailAccountId &id)
{
    *this = QMailStore::instance()->accountConfiguration(id);
}

QMailAccountConfiguration::~QMailAccountConfiguration() = default;

void QMailAccountConfiguration::setId(const QMailAccountId &id)
{
    m_id = id;
    for (ServiceConfiguration &service : m_services)
        service.m_id = id;
}

QMailAccountId QMailAccountConfiguration::id() const
{
    return m_id;
}

namespace {

QMailAccountConfiguration::ServiceConfiguration &unconfiguredService(const QString &service)
{
    qWarning() << "QMailAccountConfiguration::serviceConfiguration(const QString&)"
               << "No configuration for service:" << service;
    Q_ASSERT_X(false, "QMailAccountConfiguration::serviceConfiguration", "service not configured");
    // Values written here are not kept; the caller has to add the service first.
    static QMailAccountConfiguration::ServiceConfiguration detached;
    detached = QMailAccountConfiguration::ServiceConfiguration();
    return detached;
}

} // namespace

QMailAccountConfiguration::ServiceConfiguration &
QMailAccountConfiguration::serviceConfiguration(const QString &service)
{
    auto it = m_services.find(service);
    if (it == m_services.end())
        return unconfiguredService(service);
    return it.value();
}

const QMailAccountConfiguration::ServiceConfiguration &
QMailAccountConfiguration::serviceConfiguration(const QString &service) const
{
    auto it = m_services.constFind(service);
    if (it == m_services.constEnd())
        return unconfiguredService(service);
    return it.value();
}

bool QMailAccountConfiguration::addServiceConfiguration(const QString &service)
{
    if (m_services.contains(service))
        return false;
    ServiceConfiguration configuration;
    configuration.m_service = service;
    configuration.m_id = m_id;
    m_services.insert(service, configuration);
    return true;
}

bool QMailAccountConfiguration::removeServiceConfiguration(const QString &service)
{
    return m_services.remove(service) > 0;
}

QStringList QMailAccountConfiguration::services() const
{
    return m_services.keys();
}
