// The strength estimate runs at every key typed into a password box; the generator at every change of
// the generator's choices.
#include <cstdint>

#include <QString>

#include <benchmark/benchmark.h>

#include "crypto/PasswordGenerator.h"
#include "crypto/PasswordStrength.h"
#include "crypto/RandomSource.h"

namespace {

void BM_StrengthOfRandomPassword(benchmark::State& state)
{
    SystemRandom random;
    const QString password = PasswordGenerator::generate({static_cast<int>(state.range(0))}, random);
    for (auto _ : state)
        benchmark::DoNotOptimize(PasswordStrength::estimate(password, {QStringLiteral("zhangsan")}).bits);
}
BENCHMARK(BM_StrengthOfRandomPassword)->Arg(8)->Arg(30)->Arg(128)->Unit(benchmark::kMicrosecond);

// Words of a dictionary and a date: the matchers find the most here.
void BM_StrengthOfWordsAndDate(benchmark::State& state)
{
    const QString password = QStringLiteral("passwordDragon19871203qwerty");
    for (auto _ : state)
        benchmark::DoNotOptimize(PasswordStrength::estimate(password).bits);
}
BENCHMARK(BM_StrengthOfWordsAndDate)->Unit(benchmark::kMicrosecond);

void BM_Generate(benchmark::State& state)
{
    SystemRandom random;
    const PasswordGenerator::Options options{static_cast<int>(state.range(0))};
    for (auto _ : state)
        benchmark::DoNotOptimize(PasswordGenerator::generate(options, random));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Generate)->Arg(8)->Arg(20)->Arg(128)->Unit(benchmark::kMicrosecond);

void BM_Passphrase(benchmark::State& state)
{
    SystemRandom random;
    for (auto _ : state)
        benchmark::DoNotOptimize(PasswordGenerator::passphrase(7, random));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Passphrase)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
