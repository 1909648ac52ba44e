#ifndef ZAVEKNETWORKSCRIPTED_H
#define ZAVEKNETWORKSCRIPTED_H

#include "zaveknetwork.h"

#include <QList>
#include <QPointer>
#include <QVariantMap>

class ZavekScriptedNetwork;

// A session of the scripted backend. It does nothing by itself (unless the network is in
// auto-open / auto-close mode): the test decides when it opens, closes or fails.
class ZavekScriptedNetworkSession : public ZavekNetworkSession
{
    Q_OBJECT
public:
    ~ZavekScriptedNetworkSession() override;

    bool isOpen() const override;
    QVariant sessionProperty(const QString &key) const override;
    void setSessionProperty(const QString &key, const QVariant &value) override;
    QVariantMap sessionProperties() const;

    // How often open() and close() were called.
    int openCalls() const;
    int closeCalls() const;

    // Test control. reportOpened() marks the session open, emits opened() and brings the
    // scripted network online, as the platform does once the link is up. reportClosed()
    // marks it closed and emits closed(); the online state is left alone (other users of
    // the link may keep it up). reportError() emits error(code); an open session is closed.
    void reportOpened();
    void reportClosed();
    void reportError(ZavekNetworkSession::SessionError code);

public Q_SLOTS:
    void open() override;
    void close() override;

private:
    friend class ZavekScriptedNetwork;
    ZavekScriptedNetworkSession(ZavekScriptedNetwork *network,
                                const ZavekNetworkConfiguration &configuration, QObject *parent);

    QPointer<ZavekScriptedNetwork> m_network;
    QVariantMap m_properties;
    bool m_open = false;
    int m_openCalls = 0;
    int m_closeCalls = 0;
};

// The network as a test or the demo scripts it. Test and demo support only.
//
// Constructing one installs it as the backend in force: every
// ZavekNetworkConfigurationManager::create() from then on answers from this object's
// state, and every session created is listed in sessions(). Destroying it puts the
// previous backend back. Start state: offline, no configurations, an invalid default,
// capability CanStartAndStopInterfaces, auto-open and auto-close off.
class ZavekScriptedNetwork : public QObject
{
    Q_OBJECT
public:
    explicit ZavekScriptedNetwork(QObject *parent = nullptr);
    ~ZavekScriptedNetwork() override;

    bool isOnline() const;
    // Emits onlineStateChanged on every configuration manager, only on a change.
    void setOnline(bool online);

    QList<ZavekNetworkConfiguration> configurations() const;
    void setConfigurations(const QList<ZavekNetworkConfiguration> &configurations);
    ZavekNetworkConfiguration defaultConfiguration() const;
    void setDefaultConfiguration(const ZavekNetworkConfiguration &configuration);
    ZavekNetworkConfigurationManager::Capabilities capabilities() const;
    void setCapabilities(ZavekNetworkConfigurationManager::Capabilities capabilities);

    // With auto-open, a session opens on the event-loop turn after open() (on a valid
    // configuration; otherwise it fails with InvalidConfigurationError) and the network
    // goes online. With auto-close, a session closes on the turn after close().
    bool autoOpen() const;
    void setAutoOpen(bool enabled);
    bool autoClose() const;
    void setAutoClose(bool enabled);

    // Every session created through a manager of this network, oldest first; a session
    // that has been deleted since shows as a null pointer in its place.
    QList<QPointer<ZavekScriptedNetworkSession>> sessions() const;
    // The newest session, or null if none was created or it was deleted.
    ZavekScriptedNetworkSession *lastSession() const;

    // A configuration manager bound to this network (also what create() returns while
    // this network is installed).
    ZavekNetworkConfigurationManager *createManager(QObject *parent = nullptr);

Q_SIGNALS:
    void onlineStateChanged(bool isOnline);
    void sessionCreated(ZavekScriptedNetworkSession *session);

private:
    friend class ZavekScriptedNetworkSession;
    ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration, QObject *parent);

    bool m_online = false;
    QList<ZavekNetworkConfiguration> m_configurations;
    ZavekNetworkConfiguration m_defaultConfiguration;
    ZavekNetworkConfigurationManager::Capabilities m_capabilities =
        ZavekNetworkConfigurationManager::CanStartAndStopInterfaces;
    bool m_autoOpen = false;
    bool m_autoClose = false;
    QList<QPointer<ZavekScriptedNetworkSession>> m_sessions;
    ZavekNetworkConfigurationManager::Factory m_previousFactory;
};

#endif // ZAVEKNETWORKSCRIPTED_H
