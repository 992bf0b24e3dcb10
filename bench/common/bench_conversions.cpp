// Text conversions run for every row of every list the player shows.
#include <benchmark/benchmark.h>

#include <QLocale>

#include "common/DateText.h"
#include "common/NumberText.h"

using namespace telvika;

static void BM_FixedDateTime_baseline(benchmark::State& state) {
    double v = 39119.25;
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatFixedDateTime(v));
        v += 1.0 / 86400;
    }
}
BENCHMARK(BM_FixedDateTime_baseline);

static void BM_FixedDateTime_parseRegional(benchmark::State& state) {
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QString text = QStringLiteral("06.02.2009 07:08:09");
    for (auto _ : state) benchmark::DoNotOptimize(parseRegionalDateTime(text, ru));
}
BENCHMARK(BM_FixedDateTime_parseRegional);

static void BM_GeneralTextDot(benchmark::State& state) {
    double v = 37.617635;
    for (auto _ : state) {
        benchmark::DoNotOptimize(generalTextDot(v));
        v += 1e-6;
    }
}
BENCHMARK(BM_GeneralTextDot);

BENCHMARK_MAIN();
