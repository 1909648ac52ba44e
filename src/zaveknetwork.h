#ifndef ZAVEKNETWORK_H
#define ZAVEKNETWORK_H

#include <QFlags>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSharedDataPointer>
#include <QString>
#include <QVariant>

#include <functional>

class ZavekNetworkConfigurationData;

// One network configuration (an access point, a wired link, ...) as the bearer layer
// reports it. A default-constructed configuration is invalid.
class ZavekNetworkConfiguration
{
public:
    ZavekNetworkConfiguration();
    ZavekNetworkConfiguration(const QString &identifier, const QString &name, bool valid = true);
    ZavekNetworkConfiguration(const ZavekNetworkConfiguration &other);
    ZavekNetworkConfiguration &operator=(const ZavekNetworkConfiguration &other);
    ~ZavekNetworkConfiguration();

    bool isValid() const;
    QString identifier() const;
    QString name() const;

    bool operator==(const ZavekNetworkConfiguration &other) const;
    bool operator!=(const ZavekNetworkConfiguration &other) const { return !(*this == other); }

private:
    QSharedDataPointer<ZavekNetworkConfigurationData> d;
};

Q_DECLARE_METATYPE(ZavekNetworkConfiguration)

// A session on one configuration: opening it brings the link up on demand. The session
// reports the outcome through its signals; nothing here blocks.
class ZavekNetworkSession : public QObject
{
    Q_OBJECT
public:
    // Same values as QNetworkSession::SessionError.
    enum SessionError {
        UnknownSessionError = 0,
        SessionAbortedError,
        RoamingError,
        OperationNotSupportedError,
        InvalidConfigurationError
    };
    Q_ENUM(SessionError)

    ~ZavekNetworkSession() override;

    ZavekNetworkConfiguration configuration() const;

    virtual bool isOpen() const = 0;
    virtual QVariant sessionProperty(const QString &key) const = 0;
    // "ConnectInBackground" (bool) asks the platform not to prompt the user.
    virtual void setSessionProperty(const QString &key, const QVariant &value) = 0;

public Q_SLOTS:
    virtual void open() = 0;
    virtual void close() = 0;

Q_SIGNALS:
    void opened();
    void closed();
    void error(ZavekNetworkSession::SessionError error);

protected:
    explicit ZavekNetworkSession(const ZavekNetworkConfiguration &configuration,
                                 QObject *parent = nullptr);

private:
    ZavekNetworkConfiguration m_configuration;
};

// Source of the online state and of the configurations, and factory of sessions.
// create() gives the backend in force: Qt's bearer management unless a test or the demo
// installed another factory (see ZavekScriptedNetwork).
class ZavekNetworkConfigurationManager : public QObject
{
    Q_OBJECT
public:
    // Same values as QNetworkConfigurationManager::Capability.
    enum Capability {
        CanStartAndStopInterfaces = 0x00000001,
        DirectConnectionRouting = 0x00000002,
        SystemSessionSupport = 0x00000004,
        ApplicationLevelRoaming = 0x00000008,
        ForcedRoaming = 0x00000010,
        DataStatistics = 0x00000020,
        NetworkSessionRequired = 0x00000040
    };
    Q_DECLARE_FLAGS(Capabilities, Capability)
    Q_FLAG(Capabilities)

    using Factory = std::function<ZavekNetworkConfigurationManager *(QObject *parent)>;

    ~ZavekNetworkConfigurationManager() override;

    virtual bool isOnline() const = 0;
    virtual Capabilities capabilities() const = 0;
    virtual ZavekNetworkConfiguration defaultConfiguration() const = 0;
    // Every configuration the platform knows, whatever its state, valid or not.
    virtual QList<ZavekNetworkConfiguration> allConfigurations() const = 0;
    // A new, unopened session on configuration; the caller owns it (parent may be null).
    virtual ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration,
                                               QObject *parent = nullptr) = 0;

    // A configuration manager of the backend in force.
    static ZavekNetworkConfigurationManager *create(QObject *parent = nullptr);
    // Replaces the backend in force and returns the previous factory, so that whoever
    // installs one can put the old one back. An empty factory restores the Qt backend.
    static Factory setFactory(const Factory &factory);

Q_SIGNALS:
    void onlineStateChanged(bool isOnline);

protected:
    explicit ZavekNetworkConfigurationManager(QObject *parent = nullptr);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ZavekNetworkConfigurationManager::Capabilities)

#endif // ZAVEKNETWORK_H
