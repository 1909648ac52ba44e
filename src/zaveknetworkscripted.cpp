#include "zaveknetworkscripted.h"

#include <QTimer>

namespace {

// A configuration manager answering from a scripted network. It outlives its network
// safely: it then reports offline, nothing configured, and hands out inert sessions.
class ScriptedConfigurationManager : public ZavekNetworkConfigurationManager
{
public:
    ScriptedConfigurationManager(ZavekScriptedNetwork *network, QObject *parent,
                                 std::function<ZavekNetworkSession *(const ZavekNetworkConfiguration &, QObject *)> sessionFactory)
        : ZavekNetworkConfigurationManager(parent)
        , m_network(network)
        , m_sessionFactory(std::move(sessionFactory))
    {
        connect(network, &ZavekScriptedNetwork::onlineStateChanged, this,
                &ZavekNetworkConfigurationManager::onlineStateChanged);
    }

    bool isOnline() const override { return m_network && m_network->isOnline(); }
    Capabilities capabilities() const override
    {
        return m_network ? m_network->capabilities() : Capabilities();
    }
    ZavekNetworkConfiguration defaultConfiguration() const override
    {
        return m_network ? m_network->defaultConfiguration() : ZavekNetworkConfiguration();
    }
    QList<ZavekNetworkConfiguration> allConfigurations() const override
    {
        return m_network ? m_network->configurations() : QList<ZavekNetworkConfiguration>();
    }
    ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration,
                                       QObject *parent) override
    {
        return m_sessionFactory(configuration, parent);
    }

private:
    QPointer<ZavekScriptedNetwork> m_network;
    std::function<ZavekNetworkSession *(const ZavekNetworkConfiguration &, QObject *)> m_sessionFactory;
};

} // namespace

ZavekScriptedNetworkSession::ZavekScriptedNetworkSession(ZavekScriptedNetwork *network,
                                                         const ZavekNetworkConfiguration &configuration,
                                                         QObject *parent)
    : ZavekNetworkSession(configuration, parent)
    , m_network(network)
{
}

ZavekScriptedNetworkSession::~ZavekScriptedNetworkSession() = default;

bool ZavekScriptedNetworkSession::isOpen() const
{
    return m_open;
}

QVariant ZavekScriptedNetworkSession::sessionProperty(const QString &key) const
{
    return m_properties.value(key);
}

void ZavekScriptedNetworkSession::setSessionProperty(const QString &key, const QVariant &value)
{
    // As in Qt, an invalid value removes the property.
    if (value.isValid())
        m_properties.insert(key, value);
    else
        m_properties.remove(key);
}

QVariantMap ZavekScriptedNetworkSession::sessionProperties() const
{
    return m_properties;
}

int ZavekScriptedNetworkSession::openCalls() const
{
    return m_openCalls;
}

int ZavekScriptedNetworkSession::closeCalls() const
{
    return m_closeCalls;
}

void ZavekScriptedNetworkSession::reportOpened()
{
    m_open = true;
    Q_EMIT opened();
    if (m_network)
        m_network->setOnline(true);
}

void ZavekScriptedNetworkSession::reportClosed()
{
    m_open = false;
    Q_EMIT closed();
}

void ZavekScriptedNetworkSession::reportError(ZavekNetworkSession::SessionError code)
{
    m_open = false;
    Q_EMIT error(code);
}

void ZavekScriptedNetworkSession::open()
{
    ++m_openCalls;
    if (!m_network || !m_network->autoOpen() || m_open)
        return;
    QTimer::singleShot(0, this, [this] {
        if (m_open)
            return;
        if (configuration().isValid())
            reportOpened();
        else
            reportError(InvalidConfigurationError);
    });
}

void ZavekScriptedNetworkSession::close()
{
    ++m_closeCalls;
    if (!m_network || !m_network->autoClose())
        return;
    QTimer::singleShot(0, this, [this] {
        if (m_open)
            reportClosed();
    });
}

ZavekScriptedNetwork::ZavekScriptedNetwork(QObject *parent)
    : QObject(parent)
{
    m_previousFactory = ZavekNetworkConfigurationManager::setFactory(
        [this](QObject *managerParent) { return createManager(managerParent); });
}

ZavekScriptedNetwork::~ZavekScriptedNetwork()
{
    ZavekNetworkConfigurationManager::setFactory(m_previousFactory);
}

bool ZavekScriptedNetwork::isOnline() const
{
    return m_online;
}

void ZavekScriptedNetwork::setOnline(bool online)
{
    if (m_online == online)
        return;
    m_online = online;
    Q_EMIT onlineStateChanged(online);
}

QList<ZavekNetworkConfiguration> ZavekScriptedNetwork::configurations() const
{
    return m_configurations;
}

void ZavekScriptedNetwork::setConfigurations(const QList<ZavekNetworkConfiguration> &configurations)
{
    m_configurations = configurations;
}

ZavekNetworkConfiguration ZavekScriptedNetwork::defaultConfiguration() const
{
    return m_defaultConfiguration;
}

void ZavekScriptedNetwork::setDefaultConfiguration(const ZavekNetworkConfiguration &configuration)
{
    m_defaultConfiguration = configuration;
}

ZavekNetworkConfigurationManager::Capabilities ZavekScriptedNetwork::capabilities() const
{
    return m_capabilities;
}

void ZavekScriptedNetwork::setCapabilities(ZavekNetworkConfigurationManager::Capabilities capabilities)
{
    m_capabilities = capabilities;
}

bool ZavekScriptedNetwork::autoOpen() const
{
    return m_autoOpen;
}

void ZavekScriptedNetwork::setAutoOpen(bool enabled)
{
    m_autoOpen = enabled;
}

bool ZavekScriptedNetwork::autoClose() const
{
    return m_autoClose;
}

void ZavekScriptedNetwork::setAutoClose(bool enabled)
{
    m_autoClose = enabled;
}

QList<QPointer<ZavekScriptedNetworkSession>> ZavekScriptedNetwork::sessions() const
{
    return m_sessions;
}

ZavekScriptedNetworkSession *ZavekScriptedNetwork::lastSession() const
{
    return m_sessions.isEmpty() ? nullptr : m_sessions.last().data();
}

ZavekNetworkConfigurationManager *ZavekScriptedNetwork::createManager(QObject *parent)
{
    QPointer<ZavekScriptedNetwork> network(this);
    return new ScriptedConfigurationManager(
        this, parent, [network](const ZavekNetworkConfiguration &configuration, QObject *sessionParent) {
            if (network)
                return network->createSession(configuration, sessionParent);
            return static_cast<ZavekNetworkSession *>(
                new ZavekScriptedNetworkSession(nullptr, configuration, sessionParent));
        });
}

ZavekNetworkSession *ZavekScriptedNetwork::createSession(const ZavekNetworkConfiguration &configuration,
                                                         QObject *parent)
{
    auto *session = new ZavekScriptedNetworkSession(this, configuration, parent);
    m_sessions.append(session);
    Q_EMIT sessionCreated(session);
    return session;
}
