#include "settingscommand.h"

#include <zaveksettings.h>

#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>
#include <QTimer>

namespace {

// The registered options in the order the settings object enters them.
struct Option {
    QString key;
    ZavekSettings::Flag flag;
};

const QList<Option> &options()
{
    static const QList<Option> list = {
        { ZavekSettings::viewHtmlOption, ZavekSettings::ViewHtml },
        { ZavekSettings::threadListOption, ZavekSettings::ThreadList },
        { ZavekSettings::downloadImagesOption, ZavekSettings::DownloadImages },
        { ZavekSettings::sendImmediatelyOption, ZavekSettings::SendImmediately },
        { ZavekSettings::sendAsPlaintextOption, ZavekSettings::SendAsPlaintext },
        { ZavekSettings::useConnectivityManagerOption, ZavekSettings::UseConnectivityManager },
        { ZavekSettings::showFavouritesInSummaryOption, ZavekSettings::ShowFavouritesInSummary },
        { ZavekSettings::previewLinesOption, ZavekSettings::PreviewLines },
        { ZavekSettings::sortKeyOption, ZavekSettings::SortKey },
    };
    return list;
}

const Option *findOption(const QString &key)
{
    for (const Option &option : options()) {
        if (option.key == key)
            return &option;
    }
    return nullptr;
}

bool isBoolOption(const Option &option)
{
    return option.flag != ZavekSettings::PreviewLines && option.flag != ZavekSettings::SortKey;
}

QString displayValue(const Option &option)
{
    ZavekSettings *settings = ZavekSettings::instance();
    if (option.flag == ZavekSettings::PreviewLines)
        return QString::number(settings->previewLines());
    const QVariant value = settings->getValue(option.key);
    return isBoolOption(option) ? (value.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                : QString::number(value.toInt());
}

// Typed parsing, so that a typo never reaches the settings file.
bool parseValue(const Option &option, const QString &text, QVariant *value)
{
    if (isBoolOption(option)) {
        const QString lower = text.toLower();
        if (lower == QLatin1String("true") || lower == QLatin1String("1"))
            *value = true;
        else if (lower == QLatin1String("false") || lower == QLatin1String("0"))
            *value = false;
        else
            return false;
        return true;
    }
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || (option.flag == ZavekSettings::PreviewLines && (number < 0 || number > 2)))
        return false;
    *value = number;
    return true;
}

QStringList changedOptionNames(ZavekSettings::Flags flags)
{
    QStringList names;
    for (const Option &option : options()) {
        if (flags.testFlag(option.flag))
            names << option.key;
    }
    return names;
}

int watch(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    int remaining = -1;
    int timeout = -1;
    for (int i = 0; i < arguments.size(); ++i) {
        bool ok = i + 1 < arguments.size();
        const QString name = arguments.at(i);
        const int number = ok ? arguments.at(i + 1).toInt(&ok) : 0;
        if (!ok || number <= 0 || (name != QLatin1String("--count") && name != QLatin1String("--timeout"))) {
            err << "zavekctl settings watch: bad argument \"" << name << "\"\n";
            return 2;
        }
        (name == QLatin1String("--count") ? remaining : timeout) = number;
        ++i;
    }

    ZavekSettings *settings = ZavekSettings::instance();
    QObject::connect(settings, &ZavekSettings::settingsChanged, settings, [&](ZavekSettings::Flags flags) {
        const QStringList names = changedOptionNames(flags);
        out << "changed: " << (names.isEmpty() ? QStringLiteral("(nothing)") : names.join(QLatin1Char(' ')))
            << Qt::endl;
        if (remaining > 0 && --remaining == 0)
            QCoreApplication::exit(0);
    });
    if (timeout > 0)
        QTimer::singleShot(timeout, qApp, [] { QCoreApplication::exit(1); });
    out << "watching " << QSettings(ZavekSettings::COMPANY, ZavekSettings::PACKAGE).fileName() << Qt::endl;
    return QCoreApplication::exec();
}

} // namespace

int runSettingsCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString verb = arguments.value(0);
    ZavekSettings *settings = ZavekSettings::instance();

    if (verb == QLatin1String("list") && arguments.size() == 1) {
        for (const Option &option : options())
            out << option.key << " = " << displayValue(option) << '\n';
        return 0;
    }
    if (verb == QLatin1String("get") && arguments.size() == 2) {
        const Option *option = findOption(arguments.at(1));
        if (!option) {
            err << "zavekctl settings: unknown key \"" << arguments.at(1) << "\"\n";
            return 2;
        }
        out << displayValue(*option) << '\n';
        return 0;
    }
    if (verb == QLatin1String("set") && arguments.size() == 3) {
        const Option *option = findOption(arguments.at(1));
        if (!option) {
            err << "zavekctl settings: unknown key \"" << arguments.at(1) << "\"\n";
            return 2;
        }
        QVariant value;
        if (!parseValue(*option, arguments.at(2), &value)) {
            err << "zavekctl settings: \"" << arguments.at(2) << "\" is not a valid value for "
                << option->key << (isBoolOption(*option) ? " (true or false)\n"
                                   : option->flag == ZavekSettings::PreviewLines ? " (0, 1 or 2)\n"
                                                                                 : " (a whole number)\n");
            return 2;
        }
        settings->setValue(option->key, value, false);
        settings->flush(false);
        out << option->key << " = " << displayValue(*option) << '\n';
        return 0;
    }
    if (verb == QLatin1String("watch"))
        return watch(arguments.mid(1), out, err);

    err << "usage: zavekctl settings list | get KEY | set KEY VALUE | watch [--count N] [--timeout MS]\n";
    return 2;
}
