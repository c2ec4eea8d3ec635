// Evaluation of the whole parameter set: 38 curves of 1,000 keys each at
// 10,000 frames, with the indexed segment search and with the plain scan
// from slot 0 that defines it (results checked identical before timing).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "anim/CurveSet.h"
#include "anim/TDivs.h"

using namespace velmora;

namespace {

constexpr int kKeys = 1000;
constexpr int kFrames = 10000;

// Keys every 10 frames (0 .. 9990) with random values; OUT_OF_ORDER swaps
// neighbouring frames here and there, as a hand-edited project text might.
TCloudCurveSet* MakeSet(uint8_t kind, bool outOfOrder) {
  TCloudCurveSet* set = NewCurveSet();
  std::mt19937 rng(1234);
  for (TDivs_Curve* c : set->Curves) {
    std::string text = std::string(kind == CurveKindBM ? "TDiv_BM " : "TDiv_MP ") +
                       std::to_string(kKeys) + " 0.2";
    for (int i = 0; i < kKeys; ++i) {
      int frame = i * 10;
      if (outOfOrder && i % 50 == 7) frame += 15;
      text += " " + std::to_string(frame) + " " + std::to_string(static_cast<int>(rng() % 2001) - 1000);
    }
    if (!CurveFromText(c, text)) std::abort();
  }
  return set;
}

void CheckIdentical(const TCloudCurveSet* set) {
  for (const TDivs_Curve* c : set->Curves)
    for (int f = 0; f < kFrames; ++f)
      if (CurveValueAt(c, f) != CurveValueAtScan(c, f)) {
        std::fprintf(stderr, "indexed and scanned evaluation differ at frame %d\n", f);
        std::abort();
      }
}

template <double (*Eval)(const TDivs_Curve*, double)>
void EvalAll(benchmark::State& state, uint8_t kind, bool outOfOrder) {
  TCloudCurveSet* set = MakeSet(kind, outOfOrder);
  CheckIdentical(set);
  for (auto _ : state) {
    double sum = 0;
    for (int f = 0; f < kFrames; ++f)
      for (const TDivs_Curve* c : set->Curves) sum += Eval(c, f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kFrames * CloudCurveCount);
  FreeCurveSet(set);
}

void BM_MP_Indexed(benchmark::State& s) { EvalAll<CurveValueAt>(s, CurveKindMP, false); }
void BM_MP_Scan(benchmark::State& s) { EvalAll<CurveValueAtScan>(s, CurveKindMP, false); }
void BM_MP_OutOfOrder_Indexed(benchmark::State& s) { EvalAll<CurveValueAt>(s, CurveKindMP, true); }
void BM_MP_OutOfOrder_Scan(benchmark::State& s) { EvalAll<CurveValueAtScan>(s, CurveKindMP, true); }
void BM_BM_Indexed(benchmark::State& s) { EvalAll<CurveValueAt>(s, CurveKindBM, false); }
void BM_BM_Scan(benchmark::State& s) { EvalAll<CurveValueAtScan>(s, CurveKindBM, false); }

// The set evaluated into the frame record at every frame, as a movie does.
void BM_EvalCurveSet(benchmark::State& state) {
  TCloudCurveSet* set = MakeSet(CurveKindMP, false);
  TCloudFrameParams params;
  for (auto _ : state) {
    for (int f = 0; f < kFrames; ++f) EvalCurveSet(set, params, f);
    benchmark::DoNotOptimize(params.Brightness);
  }
  state.SetItemsProcessed(state.iterations() * kFrames * CloudCurveCount);
  FreeCurveSet(set);
}

}  // namespace

BENCHMARK(BM_MP_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MP_Scan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MP_OutOfOrder_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MP_OutOfOrder_Scan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BM_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BM_Scan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvalCurveSet)->Unit(benchmark::kMillisecond);
