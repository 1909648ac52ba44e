#include "zaveknetwork.h"

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include "zaveknetworkreachability.h"
using ZavekPlatformNetworkConfigurationManager = ZavekReachabilityNetworkConfigurationManager;
#else
#include "zaveknetworkqt.h"
using ZavekPlatformNetworkConfigurationManager = ZavekQtNetworkConfigurationManager;
#endif

class ZavekNetworkConfigurationData : public QSharedData
{
public:
    QString identifier;
    QString name;
    bool valid = false;
};

ZavekNetworkConfiguration::ZavekNetworkConfiguration()
    : d(new ZavekNetworkConfigurationData)
{
}

ZavekNetworkConfiguration::ZavekNetworkConfiguration(const QString &identifier, const QString &name,
                                                     bool valid)
    : d(new ZavekNetworkConfigurationData)
{
    d->identifier = identifier;
    d->name = name;
    d->valid = valid;
}

ZavekNetworkConfiguration::ZavekNetworkConfiguration(const ZavekNetworkConfiguration &other) = default;
ZavekNetworkConfiguration &ZavekNetworkConfiguration::operator=(const ZavekNetworkConfiguration &other) = default;
ZavekNetworkConfiguration::~ZavekNetworkConfiguration() = default;

bool ZavekNetworkConfiguration::isValid() const
{
    return d->valid;
}

QString ZavekNetworkConfiguration::identifier() const
{
    return d->identifier;
}

QString ZavekNetworkConfiguration::name() const
{
    return d->name;
}

bool ZavekNetworkConfiguration::operator==(const ZavekNetworkConfiguration &other) const
{
    return d->valid == other.d->valid && d->identifier == other.d->identifier
        && d->name == other.d->name;
}

ZavekNetworkSession::ZavekNetworkSession(const ZavekNetworkConfiguration &configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(configuration)
{
}

ZavekNetworkSession::~ZavekNetworkSession() = default;

ZavekNetworkConfiguration ZavekNetworkSession::configuration() const
{
    return m_configuration;
}

namespace {

ZavekNetworkConfigurationManager::Factory &installedFactory()
{
    static ZavekNetworkConfigurationManager::Factory factory;
    return factory;
}

} // namespace

ZavekNetworkConfigurationManager::ZavekNetworkConfigurationManager(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ZavekNetworkSession::SessionError>("ZavekNetworkSession::SessionError");
    qRegisterMetaType<ZavekNetworkConfiguration>("ZavekNetworkConfiguration");
}

ZavekNetworkConfigurationManager::~ZavekNetworkConfigurationManager() = default;

ZavekNetworkConfigurationManager *ZavekNetworkConfigurationManager::create(QObject *parent)
{
    const Factory &factory = installedFactory();
    if (factory)
        return factory(parent);
    return new ZavekPlatformNetworkConfigurationManager(parent);
}

ZavekNetworkConfigurationManager::Factory ZavekNetworkConfigurationManager::setFactory(const Factory &factory)
{
    Factory previous = installedFactory();
    installedFactory() = factory;
    return previous;
}
