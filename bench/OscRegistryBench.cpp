// Update registrations as the registry fills: adding and removing one registration on a
// parameter that already holds kMaxPerParameter - 1 listeners, with 0 to kMaxTotal - 1
// registrations in all. The time per pair should not grow with the fill.

#include "engine/osc/UpdateRegistry.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using QN::UpdateRegistry;

QN::UpdateRegistration listener(int index, int n)
{
    return QN::UpdateRegistration{index, QN::OscEndpoint{0x7f000001u, 9000}, "/listener/" + std::to_string(n)};
}

void BM_UpdateRegistryAddAndRemoveAtFill(benchmark::State& state)
{
    constexpr int kProbed = 0;
    const auto fill = static_cast<int>(state.range(0));
    const auto perParameter = static_cast<int>(UpdateRegistry::kMaxPerParameter);
    auto registry = std::make_unique<UpdateRegistry>();
    for (int n = 0; n < perParameter - 1; ++n) {
        (void)registry->add(listener(kProbed, n));
    }
    for (int n = perParameter - 1; n < fill; ++n) {
        (void)registry->add(listener(1 + n / perParameter, n));
    }
    const QN::UpdateRegistration probe = listener(kProbed, 1000000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(registry->add(probe));
        benchmark::DoNotOptimize(registry->remove(probe));
    }
    state.counters["registrations"] = static_cast<double>(registry->size());
}

}  // namespace

BENCHMARK(BM_UpdateRegistryAddAndRemoveAtFill)->Arg(15)->Arg(64)->Arg(128)->Arg(255);
BENCHMARK_MAIN();
