// Inline-resource scan of a large HTML body: one pass over the text for all content IDs,
// against the plain search of the whole text once per part.
//
// The message: 1,000 image parts with content IDs, 100 of them referenced from about
// 1 MB of HTML (half of those still on the server), 900 not referenced at all.

#include "zavekcontentidscanner_p.h"
#include "zavekutils.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

namespace {

const int partCount = 1000;
const int referencedCount = 100;
const int htmlLength = 1 << 20;

QString contentIdOf(int i)
{
    return QStringLiteral("image%1.png@01DA7C3E.5F2B%2").arg(i, 4, 10, QLatin1Char('0')).arg(i * 7919, 6, 16, QLatin1Char('0'));
}

struct Fixture
{
    QMailMessage message;
    QString html;

    Fixture()
    {
        message.setMultipartType(QMailMessagePartContainer::MultipartRelated);
        for (int i = 0; i < partCount; ++i) {
            // Every other referenced part (and half of the rest) is still on the server.
            const bool pending = (i / 10) % 2 == 1;
            QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
            if (pending)
                disposition.setSize(2048);
            QMailMessagePart part = QMailMessagePart::fromData(pending ? QByteArray() : QByteArray(200, 'p'), disposition,
                                                               QMailMessageContentType("image/png"),
                                                               QMailMessageBody::Base64);
            part.setContentID(contentIdOf(i));
            message.appendPart(part);
        }
        message.setId(QMailMessageId(7));

        // Newsletter-like markup; every tenth part is referenced, spread over the text.
        const QString filler = QStringLiteral(
            "<tr><td class=\"item\" style=\"padding:8px;font-family:Arial,sans-serif\">"
            "<a href=\"https://shop.zavek.test/offer?id=12345&amp;ref=news\">Spring offers in store now</a>"
            "</td></tr>\n");
        html.reserve(htmlLength + 4096);
        int next = 0;
        while (html.size() < htmlLength) {
            html += filler;
            if (next < referencedCount && html.size() > (next + 1) * (htmlLength / (referencedCount + 1))) {
                html += QStringLiteral("<img src=\"cid:%1\" width=\"120\">").arg(contentIdOf(next * (partCount / referencedCount)));
                ++next;
            }
        }
    }
};

const Fixture &fixture()
{
    static const Fixture instance;
    return instance;
}

// The described algorithm: the whole text searched once per part with a content ID.
class PerPartSearch
{
public:
    explicit PerPartSearch(const QString &html, QStringList *missing)
        : _html(html)
        , _missing(missing)
    {
    }

    bool operator()(const QMailMessagePart &part)
    {
        const QString id = part.contentID();
        if (!id.isEmpty() && _html.indexOf(id) >= 0 && !ZavekUtils::isPartDownloaded(part))
            _missing->append(part.location().toString(true));
        return true;
    }

private:
    QString _html;
    QStringList *_missing;
};

void BM_MissingResources_PerPartSearch(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        QStringList missing;
        f.message.foreachPart(PerPartSearch(f.html, &missing));
        benchmark::DoNotOptimize(missing);
    }
    state.SetBytesProcessed(state.iterations() * f.html.size() * qint64(sizeof(QChar)));
}

void BM_MissingResources(benchmark::State &state)
{
    const Fixture &f = fixture();
    int found = 0;
    for (auto _ : state) {
        const QStringList missing = ZavekUtils::Message::getMissingResources(f.message, f.html);
        found = missing.size();
        benchmark::DoNotOptimize(missing);
    }
    state.counters["missing"] = found;
    state.SetBytesProcessed(state.iterations() * f.html.size() * qint64(sizeof(QChar)));
}

void BM_Resources(benchmark::State &state)
{
    const Fixture &f = fixture();
    int found = 0;
    for (auto _ : state) {
        const QHash<QString, QVariant> resources = ZavekUtils::Message::getResources(f.message, f.html);
        found = resources.size();
        benchmark::DoNotOptimize(resources);
    }
    state.counters["resources"] = found;
    state.SetBytesProcessed(state.iterations() * f.html.size() * qint64(sizeof(QChar)));
}

// The two halves of the one-pass scan: the walk that reads every part's content ID, and
// the search of the text for all of them.
void BM_WalkOnly(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        QStringList ids;
        f.message.foreachPart([&ids](const QMailMessagePart &part) {
            ids.append(part.contentID());
            return true;
        });
        benchmark::DoNotOptimize(ids);
    }
}

void BM_ScanOnly(benchmark::State &state)
{
    const Fixture &f = fixture();
    QStringList ids;
    for (int i = 0; i < partCount; ++i)
        ids.append(contentIdOf(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(ZavekUtils::Internal::ContentIdScanner(ids).occurrences(f.html));
    state.SetBytesProcessed(state.iterations() * f.html.size() * qint64(sizeof(QChar)));
}

// The scan split once more: the automaton's construction alone, and the search with an
// automaton built beforehand.
QStringList benchmarkIds()
{
    QStringList ids;
    for (int i = 0; i < partCount; ++i)
        ids.append(contentIdOf(i));
    return ids;
}

void BM_ScanBuildOnly(benchmark::State &state)
{
    const QStringList ids = benchmarkIds();
    for (auto _ : state) {
        ZavekUtils::Internal::ContentIdScanner scanner(ids);
        benchmark::DoNotOptimize(scanner);
    }
}

void BM_ScanSearchOnly(benchmark::State &state)
{
    const Fixture &f = fixture();
    const ZavekUtils::Internal::ContentIdScanner scanner(benchmarkIds());
    for (auto _ : state)
        benchmark::DoNotOptimize(scanner.occurrences(f.html));
    state.SetBytesProcessed(state.iterations() * f.html.size() * qint64(sizeof(QChar)));
}

} // namespace

BENCHMARK(BM_MissingResources_PerPartSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MissingResources)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resources)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanBuildOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanSearchOnly)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
