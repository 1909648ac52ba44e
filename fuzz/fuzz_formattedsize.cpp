// Human-readable sizes with the English catalogue: every size reads as a number and a
// unit, the number is within half a unit of the size (or is the 1 that 1000 to 1023 of
// the unit below are shown as), and a larger size never reads smaller.

#include "fuzzsupport.h"

#include "zavekutils.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTranslator>

#include <cmath>
#include <cstring>

namespace {

struct Reading {
    double number = 0;
    int unit = 0; // 0 bytes .. 3 gigabytes
};

Reading read(uint size)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+) (byte|bytes|kB|MB|GB)$"));
    const QString text = ZavekUtils::get_formatted_size(size);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        FuzzSupport::fail("not a number and a unit", QStringLiteral("%1: \"%2\"").arg(size).arg(text));
    Reading reading;
    reading.number = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    reading.unit = unit.startsWith(QLatin1String("byte")) ? 0 : unit == QLatin1String("kB") ? 1 : unit == QLatin1String("MB") ? 2 : 3;
    if (reading.unit == 0 && (unit == QLatin1String("byte")) != (reading.number == 1))
        FuzzSupport::fail("wrong plural form", QStringLiteral("%1: \"%2\"").arg(size).arg(text));
    return reading;
}

double bytesShown(const Reading &reading)
{
    return reading.number * std::pow(1024.0, reading.unit);
}

void check(uint size, const Reading &reading)
{
    const double unitBytes = std::pow(1024.0, reading.unit);
    const bool nearSize = std::fabs(bytesShown(reading) - double(size)) <= unitBytes / 2;
    // 1000 to 1023 of a unit are shown as 1 of the next one.
    const bool carried = reading.unit > 0 && reading.number == 1 && double(size) >= 1000 * unitBytes / 1024;
    const double largest = reading.unit == 3 ? 4 : reading.unit == 0 ? 999 : 1000;
    if ((!nearSize && !carried) || reading.number > largest || (size > 0 && reading.number < 1))
        FuzzSupport::fail("number does not describe the size",
                          QStringLiteral("%1 shown as %2 in unit %3").arg(size).arg(reading.number).arg(reading.unit));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpSandbox(argc, argv);
    // The build puts the catalogue next to the fuzz directory; ZAVEK_TRANSLATIONS_DIR wins.
    QString directory = qEnvironmentVariable("ZAVEK_TRANSLATIONS_DIR");
    if (directory.isEmpty())
        directory = QFileInfo(QString::fromLocal8Bit((*argv)[0])).absolutePath() + QStringLiteral("/../translations");
    static QTranslator english;
    if (!english.load(QStringLiteral("zavek_en"), directory) || !QCoreApplication::installTranslator(&english)) {
        std::fprintf(stderr, "cannot load zavek_en.qm from %s (set ZAVEK_TRANSLATIONS_DIR)\n", qPrintable(directory));
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    // Two sizes from up to eight bytes; missing bytes count as zero.
    quint32 values[2] = {0, 0};
    std::memcpy(values, bytes, qMin(size, sizeof(values)));
    const uint smaller = qMin(values[0], values[1]);
    const uint larger = qMax(values[0], values[1]);

    const Reading small = read(smaller);
    const Reading large = read(larger);
    check(smaller, small);
    check(larger, large);
    if (bytesShown(small) > bytesShown(large))
        FuzzSupport::fail("a larger size reads smaller", QStringLiteral("%1 and %2").arg(smaller).arg(larger));
    return 0;
}
