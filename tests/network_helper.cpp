// A process of its own for tst_network on Qt 6: a process loads its network information
// backend once, so each way of loading is tried in a fresh one.
//   zavek_network_helper [--no-plugins]
// Makes two managers one after the other and prints a line for each: the backend's name
// ("-" for none) and whether the device counts as online (1 or 0). Warnings are printed in
// the same stream, "warning: " first, so that their place among the lines shows.
// --no-plugins takes every plugin directory away first, so that no backend can load.
#include "zaveknetworkreachability.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void printMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    std::printf("warning: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(printMessage);
    if (app.arguments().contains(QStringLiteral("--no-plugins")))
        QCoreApplication::setLibraryPaths({});
    for (int i = 0; i < 2; ++i) {
        ZavekReachabilityNetworkConfigurationManager manager;
        const QString backend = manager.backendName();
        std::printf("%s %d\n", backend.isEmpty() ? "-" : qPrintable(backend), manager.isOnline() ? 1 : 0);
    }
    return 0;
}
