#include "zaveknetworkreachability.h"

#include <QDebug>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

#include <atomic>

namespace {

bool countsAsOnline(QNetworkInformation::Reachability reachability)
{
    switch (reachability) {
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
        return false;
    case QNetworkInformation::Reachability::Unknown: // a backend that cannot tell holds nothing back
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
        return true;
    }
    return true;
}

// Nothing here can bring a link up; the session says so the way a failed one would.
class UnsupportedSession : public ZavekNetworkSession
{
public:
    UnsupportedSession(const ZavekNetworkConfiguration &configuration, QObject *parent)
        : ZavekNetworkSession(configuration, parent)
    {
    }

    bool isOpen() const override { return false; }
    QVariant sessionProperty(const QString &key) const override { return m_properties.value(key); }
    void setSessionProperty(const QString &key, const QVariant &value) override { m_properties.insert(key, value); }
    void open() override
    {
        // Callers connect before they open and learn the outcome later, as with any session.
        QTimer::singleShot(0, this, [this] { Q_EMIT error(OperationNotSupportedError); });
    }
    void close() override {}

private:
    QVariantMap m_properties;
};

} // namespace

struct ZavekReachabilityNetworkConfigurationManager::Private
{
    QPointer<QNetworkInformation> information;
    bool online = true;
};

ZavekReachabilityNetworkConfigurationManager::ZavekReachabilityNetworkConfigurationManager(QObject *parent)
    : ZavekNetworkConfigurationManager(parent)
    , d(new Private)
{
    // The default backend may lack reachability (or need a system bus that is not there);
    // any backend that reports it will do.
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        d->information = QNetworkInformation::instance();
    if (!d->information) {
        static std::atomic<bool> warned(false);
        if (!warned.exchange(true))
            qWarning() << "ZavekReachabilityNetworkConfigurationManager::ZavekReachabilityNetworkConfigurationManager(QObject*)"
                       << "no network information backend reports reachability: the device counts as online";
        return;
    }
    d->online = countsAsOnline(d->information->reachability());
    connect(d->information.data(), &QNetworkInformation::reachabilityChanged, this,
            &ZavekReachabilityNetworkConfigurationManager::onReachabilityChanged);
}

ZavekReachabilityNetworkConfigurationManager::~ZavekReachabilityNetworkConfigurationManager() = default;

void ZavekReachabilityNetworkConfigurationManager::onReachabilityChanged(QNetworkInformation::Reachability reachability)
{
    // Backends report every change of reachability; the manager hears only changes of online.
    const bool online = countsAsOnline(reachability);
    if (online == d->online)
        return;
    d->online = online;
    Q_EMIT onlineStateChanged(online);
}

QString ZavekReachabilityNetworkConfigurationManager::backendName() const
{
    return d->information ? d->information->backendName() : QString();
}

bool ZavekReachabilityNetworkConfigurationManager::isOnline() const
{
    return d->online;
}

ZavekNetworkConfigurationManager::Capabilities ZavekReachabilityNetworkConfigurationManager::capabilities() const
{
    return Capabilities();
}

ZavekNetworkConfiguration ZavekReachabilityNetworkConfigurationManager::defaultConfiguration() const
{
    if (!d->information)
        return ZavekNetworkConfiguration();
    return ZavekNetworkConfiguration(d->information->backendName(), QStringLiteral("System network"));
}

QList<ZavekNetworkConfiguration> ZavekReachabilityNetworkConfigurationManager::allConfigurations() const
{
    if (!d->information)
        return {};
    return {defaultConfiguration()};
}

ZavekNetworkSession *ZavekReachabilityNetworkConfigurationManager::createSession(
    const ZavekNetworkConfiguration &configuration, QObject *parent)
{
    return new UnsupportedSession(configuration, parent);
}
