// What defines each pattern: its strata, its dependence on the platform's
// RAND_MAX, and the uniformity of its directions on the sphere.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "source/sampler/circle.h"
#include "source/sampler/sampler.h"
#include "tests/sampler/host_fixture.h"

namespace {

constexpr double windowsRandMax = 32767.0;
constexpr double macRandMax = 2147483647.0;
constexpr double pi = 3.14159265358979323846;

int Strip(double v, int n) {
  return static_cast<int>(std::floor(v * n));
}

// Each value falls into its own one of n strips of width 1/n.
void ExpectOnePerStrip(const std::vector<double>& values, int n, const char* axis) {
  std::vector<int> hits(n, 0);
  for (double v : values) {
    ASSERT_GE(v, 0.0) << axis;
    ASSERT_LT(v, 1.0) << axis;
    ++hits[Strip(v, n)];
  }
  for (int k = 0; k < n; ++k) EXPECT_EQ(hits[k], 1) << axis << " strip " << k;
}

std::vector<double> Xs(const Sampler& s) {
  std::vector<double> out;
  out.reserve(static_cast<size_t>(s.GetCount()));
  for (Int32 i = 0; i < s.GetCount(); ++i) out.push_back(s.GetSamples()[i].x);
  return out;
}

std::vector<double> Ys(const Sampler& s) {
  std::vector<double> out;
  out.reserve(static_cast<size_t>(s.GetCount()));
  for (Int32 i = 0; i < s.GetCount(); ++i) out.push_back(s.GetSamples()[i].y);
  return out;
}

void ExpectOnePerCell(const Sampler& s, int m) {
  std::vector<int> hits(static_cast<size_t>(m) * m, 0);
  for (Int32 i = 0; i < s.GetCount(); ++i) {
    const SamplePoint& p = s.GetSamples()[i];
    ++hits[Strip(p.y, m) * m + Strip(p.x, m)];
  }
  for (int c = 0; c < m * m; ++c) EXPECT_EQ(hits[c], 1) << "cell " << c;
}

const Int32 gridCounts[] = {1, 2, 4, 5, 9, 16, 17, 25, 32, 49, 64, 100, 256};
const Int32 rookCounts[] = {1, 2, 3, 7, 16, 25, 32, 100, 257};
const std::uint32_t seeds[] = {0, 1, 100, 666, 1332, 169830, 0x7FFFFFFFu, 0xFFFFFFFFu};

}  // namespace

// ---------------------------------------------------------------------------
// Strata

using SamplerStrata = HostMemoryTest;

TEST_F(SamplerStrata, JitteredHasOnePointPerCell) {
  for (std::uint32_t seed : seeds) {
    for (Int32 count : gridCounts) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " count " << count);
      Sampler s(count, seed, SAMPLER_JITTERED);
      s.Generate();
      const int m = static_cast<int>(std::sqrt(count));
      ASSERT_EQ(s.GetCount(), m * m);
      ExpectOnePerCell(s, m);
    }
  }
}

TEST_F(SamplerStrata, NRooksHasOnePointPerRowAndColumnStrip) {
  for (double scale : {windowsRandMax, macRandMax}) {
    for (std::uint32_t seed : seeds) {
      for (Int32 count : rookCounts) {
        SCOPED_TRACE(testing::Message() << "scale " << scale << " seed " << seed << " count " << count);
        Sampler s(count, seed, SAMPLER_NROOKS);
        s.Generate(scale);
        ExpectOnePerStrip(Xs(s), count, "x");
        ExpectOnePerStrip(Ys(s), count, "y");
        // Further shuffles only permute, so the property survives them.
        s.ShuffleX(scale);
        s.ShuffleY(scale);
        ExpectOnePerStrip(Xs(s), count, "x");
        ExpectOnePerStrip(Ys(s), count, "y");
      }
    }
  }
}

// With a scale of 0 every shuffle target is element 0, which rotates each axis
// by one place and exposes the canonical pattern: point k on the diagonal cell
// (k, k) before the shuffles.
TEST_F(SamplerStrata, NRooksCanonicalPatternIsTheDiagonal) {
  for (Int32 count : {2, 5, 16}) {
    Sampler s(count, 666, SAMPLER_NROOKS);
    s.Generate(0.0);
    for (Int32 i = 0; i < count; ++i) {
      const int k = (i + count - 1) % count;
      EXPECT_EQ(Strip(s.GetSamples()[i].x, count), k) << count << " " << i;
      EXPECT_EQ(Strip(s.GetSamples()[i].y, count), k) << count << " " << i;
    }
  }
}

TEST_F(SamplerStrata, MultiJitteredKeepsCellsAndCountStrips) {
  for (std::uint32_t seed : seeds) {
    for (Int32 count : gridCounts) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " count " << count);
      Sampler s(count, seed, SAMPLER_MULTIJITTERED);
      s.Generate();
      const int m = static_cast<int>(std::sqrt(count));
      ASSERT_EQ(s.GetCount(), m * m);
      ExpectOnePerCell(s, m);
      ExpectOnePerStrip(Xs(s), m * m, "x");
      ExpectOnePerStrip(Ys(s), m * m, "y");
    }
  }
  // Many consecutive patterns from one generator, as a render thread makes them.
  Sampler s(32, 666 * 3, SAMPLER_MULTIJITTERED);
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE(round);
    s.Generate();
    ExpectOnePerCell(s, 5);
    ExpectOnePerStrip(Xs(s), 25, "x");
    ExpectOnePerStrip(Ys(s), 25, "y");
  }
}

// A run shuffle picks its target from the positions after the current one
// (ceil, and u < 1), so every value leaves its place: point j*m+k never keeps
// x strip j*m+k, nor y strip k*m+j.
TEST_F(SamplerStrata, MultiJitteredRunShufflesNeverKeepAPosition) {
  for (std::uint32_t seed : seeds) {
    for (Int32 m : {2, 3, 5, 8}) {
      Sampler s(m * m, seed, SAMPLER_MULTIJITTERED);
      for (int round = 0; round < 20; ++round) {
        s.Generate();
        for (Int32 j = 0; j < m; ++j) {
          for (Int32 k = 0; k < m; ++k) {
            const SamplePoint& p = s.GetSamples()[j * m + k];
            EXPECT_NE(Strip(p.x, m * m), j * m + k) << seed << " " << m;
            EXPECT_NE(Strip(p.y, m * m), k * m + j) << seed << " " << m;
          }
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// RAND_MAX of the two platforms

using SamplerRandMax = HostMemoryTest;

TEST_F(SamplerRandMax, DefaultIsThisPlatformsConstant) {
  EXPECT_EQ(platformRandMax, static_cast<double>(RAND_MAX));
#if defined(_WIN32)
  EXPECT_EQ(platformRandMax, windowsRandMax);
#else
  EXPECT_EQ(platformRandMax, macRandMax);
#endif
  Sampler a(12, 5, SAMPLER_NROOKS), b(12, 5, SAMPLER_NROOKS);
  a.Generate();
  b.Generate(platformRandMax);
  EXPECT_EQ(Xs(a), Xs(b));
  EXPECT_EQ(Ys(a), Ys(b));
}

// Reference values from an independent implementation: the two scales draw
// the same values and differ only in the targets floor(draw * scale) % count.
TEST_F(SamplerRandMax, NRooksKnownPatternsPerPlatform) {
  Sampler mac(6, 666, SAMPLER_NROOKS);
  mac.Generate(macRandMax);
  EXPECT_EQ(Xs(mac), (std::vector<double>{0.1178228581396446, 0.8746989330394664, 0.40223787194013694,
                                          0.568095889065991, 0.7915820894802073, 0.27799907492256454}));
  EXPECT_EQ(Ys(mac), (std::vector<double>{0.0035754267575333703, 0.4514481011072881, 0.814969449467816,
                                          0.9500143531321791, 0.24033133037993779, 0.5009179432716914}));

  Sampler win(6, 666, SAMPLER_NROOKS);
  win.Generate(windowsRandMax);
  EXPECT_EQ(Xs(win), (std::vector<double>{0.1178228581396446, 0.27799907492256454, 0.568095889065991,
                                          0.7915820894802073, 0.40223787194013694, 0.8746989330394664}));
  EXPECT_EQ(Ys(win), (std::vector<double>{0.0035754267575333703, 0.5009179432716914, 0.814969449467816,
                                          0.24033133037993779, 0.4514481011072881, 0.9500143531321791}));
  EXPECT_EQ(mac.GetRandom().GetSeed(), win.GetRandom().GetSeed());
}

// Hammersley takes no draws, so a shuffle of it shows the bare permutation.
TEST_F(SamplerRandMax, ShuffleXPermutationPerPlatform) {
  const auto permutation = [](double scale) {
    Sampler s(8, 5, SAMPLER_HAMMERSLEY);
    s.Generate();
    const std::vector<double> y = Ys(s);
    s.ShuffleX(scale);
    EXPECT_EQ(Ys(s), y);  // x only
    std::vector<int> out;
    for (double x : Xs(s)) out.push_back(static_cast<int>(std::lround(x * 8)));
    return out;
  };
  EXPECT_EQ(permutation(macRandMax), (std::vector<int>{0, 1, 2, 3, 7, 6, 4, 5}));
  EXPECT_EQ(permutation(windowsRandMax), (std::vector<int>{0, 6, 5, 2, 7, 3, 4, 1}));
}

TEST_F(SamplerRandMax, OtherModesIgnoreTheScale) {
  for (Int32 mode : {SAMPLER_REGULAR, SAMPLER_RANDOM, SAMPLER_JITTERED, SAMPLER_MULTIJITTERED, SAMPLER_HAMMERSLEY}) {
    for (Int32 count : {1, 16, 32}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " count " << count);
      Sampler mac(count, 77, mode), win(count, 77, mode);
      mac.Generate(macRandMax);
      win.Generate(windowsRandMax);
      EXPECT_EQ(Xs(mac), Xs(win));
      EXPECT_EQ(Ys(mac), Ys(win));
      EXPECT_EQ(mac.GetRandom().GetSeed(), win.GetRandom().GetSeed());
    }
  }
}

// ---------------------------------------------------------------------------
// Directions on the sphere

using SamplerSphere = HostMemoryTest;

TEST_F(SamplerSphere, MapsSquareCoordinatesToHeightAndAzimuth) {
  Sampler s(4, 1, SAMPLER_HAMMERSLEY);  // (0, 0), (0.25, 0.5), (0.5, 0.25), (0.75, 0.75)
  s.Generate();
  s.MapToSphere();
  EXPECT_EQ(s.GetSphereSample(0), Vector(0, 0, 1));  // x = 0 is the pole whatever y is
  const double r1 = std::sqrt(1 - 0.25);
  const Vector v1 = s.GetSphereSample(1);  // z = 0.5, phi = pi
  EXPECT_NEAR(v1.x, -r1, 1e-15);
  EXPECT_NEAR(v1.y, 0.0, 1e-15);
  EXPECT_EQ(v1.z, 0.5);
  const Vector v2 = s.GetSphereSample(2);  // equator, phi = pi / 2
  EXPECT_NEAR(v2.x, 0.0, 1e-15);
  EXPECT_NEAR(v2.y, 1.0, 1e-15);
  EXPECT_EQ(v2.z, 0.0);
  const Vector v3 = s.GetSphereSample(3);  // z = -0.5, phi = 3 pi / 2
  EXPECT_NEAR(v3.x, 0.0, 1e-15);
  EXPECT_NEAR(v3.y, -r1, 1e-15);
  EXPECT_EQ(v3.z, -0.5);
}

TEST(PointOnCircle, AgreesWithTheLibrarysSineAndCosine) {
  // Long double keeps the reference's own angle rounding out of the margin.
  const long double twoPi = 6.283185307179586476925286766559L;
  double worst = 0.0;
  for (int i = 0; i <= 100000; ++i) {
    const double t = i / 100000.0;
    const CirclePoint p = PointOnCircle(t);
    worst = std::max(worst, std::fabs(p.cos - static_cast<double>(std::cos(twoPi * t))));
    worst = std::max(worst, std::fabs(p.sin - static_cast<double>(std::sin(twoPi * t))));
  }
  EXPECT_LT(worst, 3e-16);
  // Quarter turns land exactly on the axes.
  EXPECT_EQ(PointOnCircle(0.0).cos, 1.0);
  EXPECT_EQ(PointOnCircle(0.25).sin, 1.0);
  EXPECT_EQ(PointOnCircle(0.5).cos, -1.0);
  EXPECT_EQ(PointOnCircle(0.75).sin, -1.0);
  EXPECT_EQ(PointOnCircle(1.0).cos, 1.0);
}

#if TESSALINE_CIRCLE_PAIRS
TEST(PointOnCircle, PairsGiveEachLaneItsOwnPointBitForBit) {
  // Table boundaries (1/128 either side of an entry), both ends, and a sweep.
  std::vector<double> ts = {0.0, 1.0, 1.0 / 128, std::nextafter(1.0 / 128, 0.0), 3.0 / 128, 0.5, 0.999999};
  for (int i = 0; i < 4000; ++i) ts.push_back(i / 4000.0 + 1e-7 * (i % 7));
  for (size_t i = 0; i + 1 < ts.size(); ++i) {
    const CirclePair pair = PointsOnCircle(_mm_set_pd(ts[i + 1], ts[i]));
    alignas(16) double c[2], s[2];
    _mm_store_pd(c, pair.cos);
    _mm_store_pd(s, pair.sin);
    for (int lane = 0; lane < 2; ++lane) {
      const CirclePoint one = PointOnCircle(ts[i + lane]);
      ASSERT_EQ(c[lane], one.cos) << ts[i + lane];
      ASSERT_EQ(s[lane], one.sin) << ts[i + lane];
    }
  }
}
#endif

// The directions are built two at a time where the processor allows; an odd
// count leaves the last one to the single form. Both must give the formula's
// direction for every index.
TEST_F(SamplerSphere, EveryDirectionIsItsOwnPointsMapping) {
  Sampler s(32, 17, SAMPLER_MULTIJITTERED);  // 25 directions: 12 pairs and one more
  for (int set = 0; set < 50; ++set) {
    s.Generate();
    s.MapToSphere();
    ASSERT_EQ(s.GetCount(), 25);
    for (Int32 i = 0; i < 25; ++i) {
      const SamplePoint p = s.GetSamples()[i];
      const double z = 1.0 - 2.0 * p.x;
      const double r = std::sqrt(1.0 - z * z);
      const CirclePoint azimuth = PointOnCircle(p.y);
      ASSERT_EQ(s.GetSphereSample(i), Vector(r * azimuth.cos, r * azimuth.sin, z)) << set << " " << i;
    }
  }
}

// Equal-area bins: bands of equal height in z (a sphere's zone area depends
// only on its height) times equal sectors in phi. All tests use significance
// alpha = 0.001 against the chi-squared critical value for bins - 1 degrees of
// freedom; fixed seeds make each outcome deterministic.
double ChiSquaredOnSphere(Int32 mode, Int32 count, int sets, int bands, int sectors) {
  std::vector<int> bins(static_cast<size_t>(bands) * sectors, 0);
  int total = 0;
  Sampler s(count, 666, mode);
  for (int set = 0; set < sets; ++set) {
    s.Generate();
    s.MapToSphere();
    for (Int32 i = 0; i < s.GetCount(); ++i, ++total) {
      const Vector v = s.GetSphereSample(i);
      EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0, 1e-12);
      const int band = std::min(bands - 1, static_cast<int>((1.0 - v.z) / 2.0 * bands));
      double phi = std::atan2(v.y, v.x);
      if (phi < 0) phi += 2 * pi;
      const int sector = std::min(sectors - 1, static_cast<int>(phi / (2 * pi) * sectors));
      ++bins[band * sectors + sector];
    }
  }
  const double expected = static_cast<double>(total) / (bands * sectors);
  double chi2 = 0;
  for (int b : bins) chi2 += (b - expected) * (b - expected) / expected;
  return chi2;
}

constexpr double critical15 = 37.70;   // 16 bins
constexpr double critical24 = 51.18;   // 25 bins
constexpr double critical63 = 103.44;  // 64 bins

TEST_F(SamplerSphere, RandomDirectionsAreUniform) {
  EXPECT_LT(ChiSquaredOnSphere(SAMPLER_RANDOM, 32, 400, 8, 8), critical63);
}

// Multi-jittered directions (count 32, so 25 per set) are uniform in height
// and in azimuth, and jointly over the bins of its own 5 x 5 grid. They are
// not uniform jointly at finer scales: the run shuffles never leave a value in
// place, so each grid cell has a sub-row and sub-column it never fills (see
// MultiJitteredRunShufflesNeverKeepAPosition); an 8 x 8 binning detects that.
TEST_F(SamplerSphere, MultiJitteredDirectionsAreUniform) {
  EXPECT_LT(ChiSquaredOnSphere(SAMPLER_MULTIJITTERED, 32, 400, 16, 1), critical15);
  EXPECT_LT(ChiSquaredOnSphere(SAMPLER_MULTIJITTERED, 32, 400, 1, 16), critical15);
  EXPECT_LT(ChiSquaredOnSphere(SAMPLER_MULTIJITTERED, 32, 400, 5, 5), critical24);
}

// The statistic has power: a grid with its few distinct points clumps into
// some bins and leaves others empty.
TEST_F(SamplerSphere, ChiSquaredRejectsAClumpedSet) {
  EXPECT_GT(ChiSquaredOnSphere(SAMPLER_REGULAR, 4, 400, 8, 8), critical63);
  EXPECT_GT(ChiSquaredOnSphere(SAMPLER_REGULAR, 4, 400, 16, 1), critical15);
}
