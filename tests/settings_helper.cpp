// A second process for tst_settingsprocess: another program using the same settings file.
// It inherits the test's environment, so it works in the test's configuration directory.
//
//   set <key> <value>...   changes options through ZavekSettings and exits
//   pending <key> <value>  changes one option without write-through and exits without
//                          flushing: only the object's destruction can write it
//   early                  constructs ZavekSettings before the application object
#include "zaveksettings.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace {

QVariant parse(const QString &text)
{
    if (text == QLatin1String("true") || text == QLatin1String("false"))
        return QVariant(text == QLatin1String("true"));
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    return isNumber ? QVariant(number) : QVariant(text);
}

int fail(int code, const char *why)
{
    std::fprintf(stderr, "settings_helper: %s\n", why);
    return code;
}

int constructEarly(int argc, char **argv)
{
    const QString fileName = QSettings(ZavekSettings::COMPANY, ZavekSettings::PACKAGE).fileName();
    ZavekSettings settings;
    if (QFile::exists(fileName))
        return fail(2, "the file was created without an application object");

    QCoreApplication app(argc, argv);
    settings.setSortKey(4, true);
    if (!QFile::exists(fileName))
        return fail(3, "the first change after the application object did not set up the watch");

    bool noticed = false;
    QEventLoop loop;
    QObject::connect(&settings, &ZavekSettings::settingsChanged, &loop, [&](ZavekSettings::Flags flags) {
        noticed = flags.testFlag(ZavekSettings::PreviewLines);
        if (noticed)
            loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QTimer::singleShot(0, &loop, [&] {
        QSaveFile file(fileName);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("[General]\nsortKey=4\npreviewLines=0\n");
            file.commit();
        }
    });
    loop.exec();
    return noticed ? 0 : fail(4, "a change of the file was not announced");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "early") == 0)
        return constructEarly(argc, argv);

    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4 || arguments.size() % 2 != 0)
        return fail(1, "usage: set|pending <key> <value>...");
    ZavekSettings *settings = ZavekSettings::instance();
    if (arguments.at(1) == QLatin1String("pending"))
        settings->flushWhenChanged(false);
    for (int i = 2; i + 1 < arguments.size(); i += 2)
        settings->setValue(arguments.at(i), parse(arguments.at(i + 1)), true);
    return 0;
}
