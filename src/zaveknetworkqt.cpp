#include "zaveknetworkqt.h"

#include <QDebug>
#include <QtGlobal>

// Bearer management is deprecated in Qt 5.15 but is what this backend exists to wrap.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

#include <QNetworkConfigurationManager>
#include <QNetworkSession>

namespace {

ZavekNetworkConfiguration fromQt(const QNetworkConfiguration &configuration)
{
    return ZavekNetworkConfiguration(configuration.identifier(), configuration.name(),
                                     configuration.isValid());
}

class QtNetworkSession : public ZavekNetworkSession
{
public:
    QtNetworkSession(const ZavekNetworkConfiguration &configuration,
                     const QNetworkConfiguration &qtConfiguration, QObject *parent)
        : ZavekNetworkSession(configuration, parent)
        , m_session(new QNetworkSession(qtConfiguration, this))
    {
        connect(m_session, &QNetworkSession::opened, this, &ZavekNetworkSession::opened);
        connect(m_session, &QNetworkSession::closed, this, &ZavekNetworkSession::closed);
        connect(m_session, QOverload<QNetworkSession::SessionError>::of(&QNetworkSession::error), this,
                [this](QNetworkSession::SessionError sessionError) {
                    Q_EMIT error(static_cast<ZavekNetworkSession::SessionError>(sessionError));
                });
    }

    bool isOpen() const override { return m_session->isOpen(); }
    QVariant sessionProperty(const QString &key) const override { return m_session->sessionProperty(key); }
    void setSessionProperty(const QString &key, const QVariant &value) override
    {
        m_session->setSessionProperty(key, value);
    }
    void open() override { m_session->open(); }
    void close() override { m_session->close(); }

private:
    QNetworkSession *m_session;
};

} // namespace

struct ZavekQtNetworkConfigurationManager::Private
{
    QNetworkConfigurationManager *manager = nullptr;
};

ZavekQtNetworkConfigurationManager::ZavekQtNetworkConfigurationManager(QObject *parent)
    : ZavekNetworkConfigurationManager(parent)
    , d(new Private)
{
    d->manager = new QNetworkConfigurationManager(this);
    connect(d->manager, &QNetworkConfigurationManager::onlineStateChanged, this,
            &ZavekNetworkConfigurationManager::onlineStateChanged);
}

ZavekQtNetworkConfigurationManager::~ZavekQtNetworkConfigurationManager() = default;

bool ZavekQtNetworkConfigurationManager::isOnline() const
{
    return d->manager->isOnline();
}

ZavekNetworkConfigurationManager::Capabilities ZavekQtNetworkConfigurationManager::capabilities() const
{
    // The enumerators carry the same values, so the bits carry over unchanged.
    return Capabilities(int(d->manager->capabilities()));
}

ZavekNetworkConfiguration ZavekQtNetworkConfigurationManager::defaultConfiguration() const
{
    return fromQt(d->manager->defaultConfiguration());
}

QList<ZavekNetworkConfiguration> ZavekQtNetworkConfigurationManager::allConfigurations() const
{
    QList<ZavekNetworkConfiguration> result;
    const QList<QNetworkConfiguration> configurations = d->manager->allConfigurations();
    result.reserve(configurations.size());
    for (const QNetworkConfiguration &configuration : configurations)
        result.append(fromQt(configuration));
    return result;
}

ZavekNetworkSession *ZavekQtNetworkConfigurationManager::createSession(
    const ZavekNetworkConfiguration &configuration, QObject *parent)
{
    QNetworkConfiguration qtConfiguration =
        d->manager->configurationFromIdentifier(configuration.identifier());
    if (!qtConfiguration.isValid() && configuration.isValid())
        qWarning() << "ZavekNetworkSession *ZavekQtNetworkConfigurationManager::createSession(const ZavekNetworkConfiguration&, QObject*)"
                   << "unknown configuration" << configuration.identifier();
    return new QtNetworkSession(configuration, qtConfiguration, parent);
}

QT_WARNING_POP
