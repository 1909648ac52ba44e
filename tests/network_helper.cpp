// A process of its own for tst_network on Qt 6: a process loads its network information
// backend once, so each way of loading is tried in a fresh one.
//   zavek_network_helper [--no-plugins]
// Makes two managers one after the other and prints a line for each: the backend's name
// ("-" for none) and whether the device counts as online (1 or 0). --no-plugins takes every
// plugin directory away first, so that no backend can load.
#include "zaveknetworkreachability.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--no-plugins")))
        QCoreApplication::setLibraryPaths({});
    for (int i = 0; i < 2; ++i) {
        ZavekReachabilityNetworkConfigurationManager manager;
        const QString backend = manager.backendName();
        std::printf("%s %d\n", backend.isEmpty() ? "-" : qPrintable(backend), manager.isOnline() ? 1 : 0);
    }
    return 0;
}
