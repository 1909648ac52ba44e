#ifndef QMAILACCOUNTCONFIGURATION_H
#define QMAILACCOUNTCONFIGURATION_H

#include "qmailglobal.h"
#include "qmailid.h"

#include <QMap>
#include <QString>
#include <QStringList>

// The settings of an account's services (retrieval, transmission, ...), each a set of
// named string values.
class QMF_EXPORT QMailAccountConfiguration
{
public:
    class QMF_EXPORT ServiceConfiguration
    {
    public:
        ServiceConfiguration();
        ~ServiceConfiguration();

        QString service() const;
        QMailAccountId id() const;

        // An absent name gives a null string.
        QString value(const QString &name) const;
        void setValue(const QString &name, const QString &value);
        void removeValue(const QString &name);
        const QMap<QString, QString> &values() const;

    private:
        friend class QMailAccountConfiguration;
        QString m_service;
        QMailAccountId m_id;
        QMap<QString, QString> m_values;
    };

    QMailAccountConfiguration();
    // Loads the configuration from QMailStore::instance(); an unknown id gives an empty one.
    explicit QMailAccountConfiguration(const QMailAccountId &id);
    ~QMailAccountConfiguration();

    void setId(const QMailAccountId &id);
    QMailAccountId id() const;

    // Asking for a service that is not configured is a programming error (debug
    // assertion); release builds warn and hand out a detached empty configuration.
    ServiceConfiguration &serviceConfiguration(const QString &service);
    const ServiceConfiguration &serviceConfiguration(const QString &service) const;

    // False when the service is configured already.
    bool addServiceConfiguration(const QString &service);
    bool removeServiceConfiguration(const QString &service);

    // In ascending name order.
    QStringList services() const;

private:
    QMailAccountId m_id;
    QMap<QString, ServiceConfiguration> m_services;
};

#endif // QMAILACCOUNTCONFIGURATION_H
