// Cost per operation of the manager's queue as it grows: part retrievals enqueued and
// then cancelled by stop(), against building and hashing their description strings alone;
// and the heap the queue holds per waiting part retrieval.
//
// Read "per_op" (seconds per operation): the 20000 run should stay within 1.2x of the
// 2000 run, and within 3x of the description baseline. Read "bytes_per_op" of
// BM_QueuedMemory: at most 400 at both sizes.

#include <zavekserviceactionmanager.h>
#include <zaveknetworkscripted.h>

#include <qmailmessage.h>
#include <qmailmessageserver.h>
#include <qmailstorecontrol.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QHash>
#include <QTemporaryDir>
#include <QVector>

#include <malloc.h>

#include <memory>

namespace {

QVector<QMailMessagePartContainer::Location> partLocations(int count)
{
    QVector<QMailMessagePartContainer::Location> locations;
    locations.reserve(count);
    for (int i = 0; i < count; ++i)
        locations.append(QMailMessagePartContainer::Location(QStringLiteral("%1-2").arg(i + 1)));
    return locations;
}

void perOperation(benchmark::State &state, int count)
{
    state.counters["per_op"] = benchmark::Counter(double(count) * double(state.iterations()),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EnqueueThenStop(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QVector<QMailMessagePartContainer::Location> locations = partLocations(count);
    ZavekScriptedNetwork network;
    network.setOnline(true);

    for (auto _ : state) {
        state.PauseTiming();
        QmfStandIn::MessageServer::instance()->reset();
        auto manager = std::make_unique<ZavekServiceActionManager>(network.createManager());
        state.ResumeTiming();

        for (const QMailMessagePartContainer::Location &location : locations)
            benchmark::DoNotOptimize(manager->retrieveMessagePart(location));
        manager->stop();

        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    perOperation(state, count);
}

// The allocator's own count of bytes in use, so that every allocation the queue makes counts,
// whoever makes it (the manager, Qt's containers, the client layer).
size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The first request becomes the running operation and is left out: the figure is what each
// further waiting request costs.
void BM_QueuedMemory(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QVector<QMailMessagePartContainer::Location> locations = partLocations(count);
    ZavekScriptedNetwork network;
    network.setOnline(true);

    double bytesPerOperation = 0;
    for (auto _ : state) {
        QmfStandIn::MessageServer::instance()->reset();
        auto manager = std::make_unique<ZavekServiceActionManager>(network.createManager());
        manager->retrieveMessagePart(locations.first());
        const size_t before = heapInUse();
        for (int i = 1; i < count; ++i)
            benchmark::DoNotOptimize(manager->retrieveMessagePart(locations.at(i)));
        bytesPerOperation = (double(heapInUse()) - double(before)) / double(count - 1);
        manager->stop();
    }
    state.counters["bytes_per_op"] = bytesPerOperation;
}

// Out of line, so that an instruction count (callgrind --toggle-collect) can find it.
Q_NEVER_INLINE uint describe(const QMailMessagePartContainer::Location &location)
{
    return qHash(QStringLiteral("retrieve-message-part:part-location=%1").arg(location.toString(true)));
}

void BM_DescriptionOnly(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QVector<QMailMessagePartContainer::Location> locations = partLocations(count);
    for (auto _ : state) {
        for (const QMailMessagePartContainer::Location &location : locations)
            benchmark::DoNotOptimize(describe(location));
    }
    perOperation(state, count);
}

} // namespace

BENCHMARK(BM_EnqueueThenStop)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DescriptionOnly)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueuedMemory)->Arg(2000)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Keep the benchmark away from the user's own settings and mail data.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("QMF_DATA", (home.path() + QStringLiteral("/qmf")).toUtf8());
    QCoreApplication application(argc, argv);
    QmfStandIn::resetStore();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
