// Exact values, count handling, lifecycle and memory behaviour of Sampler.
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "source/sampler/sampler.h"
#include "tests/sampler/host_fixture.h"

namespace {

struct Point {
  double x, y;
};

std::vector<Point> SamplesOf(const Sampler& s) {
  std::vector<Point> out;
  if (s.GetSamples() == nullptr) return out;
  for (Int32 i = 0; i < s.GetCount(); ++i) out.push_back({s.GetSamples()[i].x, s.GetSamples()[i].y});
  return out;
}

void ExpectSamples(const Sampler& s, const std::vector<Point>& expected) {
  ASSERT_EQ(s.GetCount(), static_cast<Int32>(expected.size()));
  ASSERT_NE(s.GetSamples(), nullptr);
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(s.GetSamples()[i].x, expected[i].x);
    EXPECT_DOUBLE_EQ(s.GetSamples()[i].y, expected[i].y);
  }
}

std::vector<double> Draws(std::uint32_t seed, int n) {
  RandomGenerator r;
  r.Seed(seed);
  std::vector<double> out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out.push_back(r.Next());
  return out;
}

bool SameSamples(const std::vector<Point>& a, const std::vector<Point>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// RandomGenerator

TEST(RandomGenerator, DefaultSeedFirstDraws) {
  RandomGenerator r;
  EXPECT_EQ(r.GetSeed(), 100u);
  EXPECT_EQ(r.Next(), 6975969 / 2147483649.0);
  EXPECT_EQ(r.GetSeed(), 6975969u);
  // Further values from an independent 64-bit evaluation of the recurrence.
  EXPECT_DOUBLE_EQ(r.Next(), 0.36644506158007073);
  EXPECT_DOUBLE_EQ(r.Next(), 0.994002222086302);
  EXPECT_EQ(r.GetSeed(), 2134603519u);
}

TEST(RandomGenerator, WrapsModulo2To32AndClearsBit31) {
  RandomGenerator r;
  r.Seed(31093);  // 31094 * 69069 = 2147631486, just above 2^31
  r.Next();
  EXPECT_EQ(r.GetSeed(), 147838u);

  r.Seed(0xFFFFFFFFu);  // seed + 1 wraps to 0
  EXPECT_EQ(r.Next(), 0.0);

  r.Seed(4000000000u);  // the product overflows 32 bits
  r.Next();
  EXPECT_EQ(r.GetSeed(), 81270221u);
}

TEST(RandomGenerator, StaysBelowOneAndReseedsRepeatably) {
  RandomGenerator r;
  r.Seed(3659356410u);  // the next state is 0x7FFFFFFF, the largest there is
  EXPECT_EQ(r.Next(), 2147483647 / 2147483649.0);
  EXPECT_EQ(r.GetSeed(), 0x7FFFFFFFu);
  for (int i = 0; i < 100000; ++i) {
    const double v = r.Next();
    ASSERT_GE(v, 0.0);
    ASSERT_LT(v, 1.0);
  }
  EXPECT_EQ(Draws(666, 50), Draws(666, 50));
  EXPECT_NE(Draws(666, 5), Draws(667, 5));
}

TEST(RandomGenerator, DrawIsTheCorrectlyRoundedQuotient) {
  // Around the switch from division to the integer form, at the ends, and a
  // spread of states in between: every draw must equal the plain division.
  std::vector<std::uint32_t> states = {0, 1, 2, 3, 0x7FFFFFFEu, 0x7FFFFFFFu};
  for (std::uint32_t s = (1u << 22) - 64; s <= (1u << 22) + 64; ++s) states.push_back(s);
  for (std::uint32_t s = 1, step = 7; s < 0x7FFFFFFFu - step; s += step, step = step * 3 / 2 + 1) states.push_back(s);
  RandomGenerator r;
  for (int i = 0; i < 200000; ++i) states.push_back((r.Next(), r.GetSeed()));
  for (const std::uint32_t s : states)
    ASSERT_EQ(RandomGenerator::DivideByTwoPow31PlusOne(s), static_cast<double>(s) / 2147483649.0) << "state " << s;
}

// ---------------------------------------------------------------------------
// Exact patterns

using SamplerExact = HostMemoryTest;

TEST_F(SamplerExact, DefaultAndSeededConstruction) {
  Sampler d;
  EXPECT_EQ(d.GetCount(), 0);
  EXPECT_EQ(d.GetMode(), SAMPLER_MULTIJITTERED);
  EXPECT_EQ(d.GetRandom().GetSeed(), 100u);
  EXPECT_EQ(d.GetSamples(), nullptr);
  EXPECT_EQ(d.GetSphereSamples(), nullptr);

  Sampler s(16, 666, SAMPLER_JITTERED);
  EXPECT_EQ(s.GetCount(), 16);
  EXPECT_EQ(s.GetMode(), SAMPLER_JITTERED);
  EXPECT_EQ(s.GetRandom().GetSeed(), 666u);
  EXPECT_EQ(s.GetSamples(), nullptr);
}

TEST_F(SamplerExact, RegularGridRowByRow) {
  Sampler s(4, 1, SAMPLER_REGULAR);
  s.Generate();
  ExpectSamples(s, {{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}});
  EXPECT_EQ(s.GetRandom().GetSeed(), 1u);  // a grid takes no draws

  Sampler nine(11, 1, SAMPLER_REGULAR);  // lowered to 3 x 3
  nine.Generate();
  ASSERT_EQ(nine.GetCount(), 9);
  EXPECT_DOUBLE_EQ(nine.GetSamples()[5].x, 2.5 / 3);
  EXPECT_DOUBLE_EQ(nine.GetSamples()[5].y, 1.5 / 3);
}

TEST_F(SamplerExact, HammersleyAndRadicalInverse) {
  Sampler s(4, 1, SAMPLER_HAMMERSLEY);
  s.Generate();
  ExpectSamples(s, {{0, 0}, {0.25, 0.5}, {0.5, 0.25}, {0.75, 0.75}});
  EXPECT_EQ(s.GetRandom().GetSeed(), 1u);

  EXPECT_EQ(Sampler::RadicalInverse(0), 0.0);
  EXPECT_EQ(Sampler::RadicalInverse(1), 0.5);
  EXPECT_EQ(Sampler::RadicalInverse(2), 0.25);
  EXPECT_EQ(Sampler::RadicalInverse(3), 0.75);
  EXPECT_EQ(Sampler::RadicalInverse(4), 0.125);
  EXPECT_EQ(Sampler::RadicalInverse(6), 0.375);
  EXPECT_EQ(Sampler::RadicalInverse(11), 0.8125);  // 1011b -> 0.1101b
  EXPECT_LT(Sampler::RadicalInverse(INT_MAX), 1.0);
}

TEST_F(SamplerExact, RandomTakesFirstDrawAsY) {
  Sampler s(3, 100, SAMPLER_RANDOM);
  s.Generate();
  const std::vector<double> d = Draws(100, 6);
  ExpectSamples(s, {{d[1], d[0]}, {d[3], d[2]}, {d[5], d[4]}});
  EXPECT_EQ(s.GetSamples()[0].y, 6975969 / 2147483649.0);
}

TEST_F(SamplerExact, JitteredDrawsYBeforeX) {
  Sampler s(4, 1, SAMPLER_JITTERED);
  s.Generate();
  const std::vector<double> d = Draws(1, 8);
  ExpectSamples(s, {{(0 + d[1]) / 2, (0 + d[0]) / 2},
                    {(1 + d[3]) / 2, (0 + d[2]) / 2},
                    {(0 + d[5]) / 2, (1 + d[4]) / 2},
                    {(1 + d[7]) / 2, (1 + d[6]) / 2}});
}

// Reference values from an independent implementation of the pattern.
TEST_F(SamplerExact, MultiJitteredKnownPatterns) {
  Sampler four(4, 666, SAMPLER_MULTIJITTERED);
  four.Generate();
  ExpectSamples(four, {{0.36049699556990666, 0.3533568079102054},
                       {0.005363140136300055, 0.8521438335989864},
                       {0.751376914907537, 0.1767342872094669},
                       {0.6771721516609321, 0.6669986123838468}});

  Sampler nine(9, 666, SAMPLER_MULTIJITTERED);
  nine.Generate();
  ExpectSamples(nine, {{0.1602208869199585, 0.15650837048843835},
                       {0.30096540073819206, 0.6363361283967569},
                       {0.00238361783835558, 0.9341420406885818},
                       {0.5433129663118773, 0.23004011250668302},
                       {0.6333429020881195, 0.40755493883726523},
                       {0.33394529551446084, 0.712603025737869},
                       {0.988947296209813, 0.0785485720930964},
                       {0.7204085291733925, 0.5277213929868048},
                       {0.8627567713581019, 0.8053548442485331}});
}

// Each mode takes a fixed number of draws; the sequence position after
// Generate pins it (mode 3: 2 per point plus two shuffles of count - 1;
// mode 4: 2 per point plus one per point in each shuffle).
TEST_F(SamplerExact, DrawsPerMode) {
  struct Case {
    Int32 mode, count;
    int draws;
  };
  const Case cases[] = {{SAMPLER_REGULAR, 10, 0},        {SAMPLER_RANDOM, 10, 20},
                        {SAMPLER_JITTERED, 10, 18},      {SAMPLER_NROOKS, 10, 38},
                        {SAMPLER_MULTIJITTERED, 10, 36}, {SAMPLER_MULTIJITTERED, 32, 100},
                        {SAMPLER_HAMMERSLEY, 10, 0},     {6, 10, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " count " << c.count);
    Sampler s(c.count, 42, c.mode);
    s.Generate();
    RandomGenerator expected;
    expected.Seed(42);
    for (int i = 0; i < c.draws; ++i) expected.Next();
    EXPECT_EQ(s.GetRandom().GetSeed(), expected.GetSeed());
  }
}

// ---------------------------------------------------------------------------
// Count handling

using SamplerCount = HostMemoryTest;

TEST_F(SamplerCount, MultiJitteredThirtyTwoBecomesTwentyFive) {
  Sampler s(32, 666, SAMPLER_MULTIJITTERED);
  s.Generate();
  s.MapToSphere();
  EXPECT_EQ(s.GetCount(), 25);
  for (Int32 i = 0; i < 25; ++i) {
    const Vector v = s.GetSphereSample(i);
    EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0, 1e-12) << i;
  }
  for (Int32 i = 25; i < 32; ++i) EXPECT_EQ(s.GetSphereSample(i), Vector(0, 0, 0)) << i;
  EXPECT_EQ(s.GetSphereSample(-1), Vector(0, 0, 0));
  EXPECT_EQ(s.GetSphereSample(INT_MIN), Vector(0, 0, 0));
}

TEST_F(SamplerCount, GridModesLowerOneToThreeToOneSample) {
  for (Int32 mode : {SAMPLER_REGULAR, SAMPLER_JITTERED, SAMPLER_MULTIJITTERED}) {
    for (Int32 count = 1; count <= 3; ++count) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " count " << count);
      Sampler s(count, 9, mode);
      s.Generate();
      s.MapToSphere();
      EXPECT_EQ(s.GetCount(), 1);
      EXPECT_NE(s.GetSphereSample(0), Vector(0, 0, 0));
      EXPECT_EQ(s.GetSphereSample(1), Vector(0, 0, 0));
      EXPECT_EQ(Memory().LiveBlocks(), 2);
    }
  }
}

TEST_F(SamplerCount, UnknownModesGenerateNothing) {
  for (Int32 mode : {6, -1, 100, INT_MAX}) {
    SCOPED_TRACE(mode);
    Sampler s(16, 5, mode);
    s.Generate();
    s.MapToSphere();
    EXPECT_EQ(s.GetCount(), 16);
    EXPECT_EQ(s.GetSamples(), nullptr);
    EXPECT_EQ(s.GetSphereSamples(), nullptr);
    EXPECT_EQ(s.GetRandom().GetSeed(), 5u);
    for (Int32 i = 0; i < 16; ++i) EXPECT_EQ(s.GetSphereSample(i), Vector(0, 0, 0));
    EXPECT_EQ(Memory().TotalAllocations(), 0);
  }
}

TEST_F(SamplerCount, ZeroAndNegativeCountsBuildNothing) {
  for (Int32 count : {0, -1, -32, INT_MIN}) {
    for (Int32 mode = SAMPLER_REGULAR; mode <= SAMPLER_HAMMERSLEY; ++mode) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " count " << count);
      Sampler s(count, 5, mode);
      s.Generate();
      s.MapToSphere();
      s.ShuffleX();
      s.ShuffleY();
      EXPECT_EQ(s.GetSamples(), nullptr);
      EXPECT_EQ(s.GetSphereSamples(), nullptr);
      EXPECT_EQ(s.GetCount(), count);
      EXPECT_EQ(s.GetRandom().GetSeed(), 5u);
      EXPECT_EQ(s.GetSphereSample(0), Vector(0, 0, 0));
    }
  }
  EXPECT_EQ(Memory().TotalAllocations(), 0);
}

// ---------------------------------------------------------------------------
// Lifecycle: arrays, random state, copies

using SamplerLifecycle = HostMemoryTest;

TEST_F(SamplerLifecycle, GenerateDropsOldDirectionsAndMapToSphereRebuilds) {
  Sampler s(16, 3, SAMPLER_MULTIJITTERED);
  s.Generate();
  EXPECT_NE(s.GetSamples(), nullptr);
  EXPECT_EQ(s.GetSphereSamples(), nullptr);
  EXPECT_EQ(s.GetSphereSample(0), Vector(0, 0, 0));
  s.MapToSphere();
  EXPECT_EQ(Memory().LiveBlocks(), 2);
  s.MapToSphere();  // replaces, does not stack
  EXPECT_EQ(Memory().LiveBlocks(), 2);
  s.Generate();
  EXPECT_EQ(s.GetSphereSamples(), nullptr);
  EXPECT_EQ(Memory().LiveBlocks(), 1);
}

TEST_F(SamplerLifecycle, ClearKeepsCountModeAndRandomState) {
  Sampler s(32, 3, SAMPLER_MULTIJITTERED);
  s.Generate();
  s.MapToSphere();
  const std::uint32_t state = s.GetRandom().GetSeed();
  s.Clear();
  EXPECT_EQ(s.GetSamples(), nullptr);
  EXPECT_EQ(s.GetSphereSamples(), nullptr);
  EXPECT_EQ(Memory().LiveBlocks(), 0);
  EXPECT_EQ(s.GetCount(), 25);
  EXPECT_EQ(s.GetMode(), SAMPLER_MULTIJITTERED);
  EXPECT_EQ(s.GetRandom().GetSeed(), state);
  EXPECT_EQ(s.GetSphereSample(0), Vector(0, 0, 0));
  s.Clear();  // idempotent
  EXPECT_EQ(Memory().LiveBlocks(), 0);
}

TEST_F(SamplerLifecycle, RandomStateContinuesAcrossGenerations) {
  Sampler a(16, 7, SAMPLER_MULTIJITTERED);
  a.Generate();
  const std::vector<Point> first = SamplesOf(a);
  a.Clear();  // does not rewind either
  a.Generate();
  const std::vector<Point> second = SamplesOf(a);
  EXPECT_FALSE(SameSamples(first, second));

  // The second pattern is what a sampler gets whose generator already made 64
  // draws (one multi-jittered 4 x 4 pattern).
  Sampler fresh(16, 7, SAMPLER_MULTIJITTERED);
  fresh.Generate();
  EXPECT_TRUE(SameSamples(first, SamplesOf(fresh)));
  Sampler advanced(16, fresh.GetRandom().GetSeed(), SAMPLER_MULTIJITTERED);
  advanced.Generate();
  EXPECT_TRUE(SameSamples(second, SamplesOf(advanced)));
}

TEST_F(SamplerLifecycle, DestructionReleasesArrays) {
  {
    Sampler s(32, 1, SAMPLER_RANDOM);
    s.Generate();
    s.MapToSphere();
    EXPECT_EQ(Memory().LiveBlocks(), 2);
  }
  EXPECT_EQ(Memory().LiveBlocks(), 0);
}

TEST_F(SamplerLifecycle, CopiesTakeStateButNeverArrays) {
  Sampler source(16, 11, SAMPLER_RANDOM);
  source.Generate();
  source.MapToSphere();

  Sampler copy(source);
  EXPECT_EQ(copy.GetCount(), 16);
  EXPECT_EQ(copy.GetMode(), SAMPLER_RANDOM);
  EXPECT_EQ(copy.GetRandom().GetSeed(), source.GetRandom().GetSeed());
  EXPECT_EQ(copy.GetSamples(), nullptr);
  EXPECT_EQ(copy.GetSphereSamples(), nullptr);
  EXPECT_NE(source.GetSamples(), nullptr);

  // Both continue the same sequence independently.
  copy.Generate();
  source.Generate();
  EXPECT_TRUE(SameSamples(SamplesOf(copy), SamplesOf(source)));
  EXPECT_NE(copy.GetSamples(), source.GetSamples());
}

// The owner resets a slot that may still hold a pattern by assigning a fresh
// Sampler; the old arrays must go and nothing may be shared.
TEST_F(SamplerLifecycle, AssignmentReleasesOwnArraysFirst) {
  Sampler slot(32, 1, SAMPLER_MULTIJITTERED);
  slot.Generate();
  slot.MapToSphere();
  EXPECT_EQ(Memory().LiveBlocks(), 2);

  slot = Sampler(16, 666, SAMPLER_REGULAR);
  EXPECT_EQ(Memory().LiveBlocks(), 0);
  EXPECT_EQ(slot.GetCount(), 16);
  EXPECT_EQ(slot.GetMode(), SAMPLER_REGULAR);
  EXPECT_EQ(slot.GetRandom().GetSeed(), 666u);
  EXPECT_EQ(slot.GetSamples(), nullptr);

  Sampler other(9, 2, SAMPLER_RANDOM);
  other.Generate();
  slot = other;
  EXPECT_EQ(slot.GetSamples(), nullptr);
  EXPECT_NE(other.GetSamples(), nullptr);

  Sampler& self = slot;
  slot.Generate();
  slot = self;  // self-assignment keeps the pattern
  EXPECT_NE(slot.GetSamples(), nullptr);
  EXPECT_EQ(slot.GetCount(), 9);
}

// ---------------------------------------------------------------------------
// Refused allocations

using SamplerAllocation = HostMemoryTest;

TEST_F(SamplerAllocation, RefusedSampleArrayLeavesNoPattern) {
  for (Int32 mode = SAMPLER_REGULAR; mode <= SAMPLER_HAMMERSLEY; ++mode) {
    SCOPED_TRACE(mode);
    Sampler s(16, 4, mode);
    Memory().FailAllocation(1);
    s.Generate();
    EXPECT_EQ(s.GetSamples(), nullptr);
    EXPECT_EQ(s.GetRandom().GetSeed(), 4u);  // no draws without a pattern
    s.MapToSphere();
    EXPECT_EQ(s.GetSphereSamples(), nullptr);
    for (Int32 i = 0; i < 16; ++i) EXPECT_EQ(s.GetSphereSample(i), Vector(0, 0, 0));

    // The next call succeeds and gives the pattern the first would have.
    s.Generate();
    Sampler unfailed(16, 4, mode);
    unfailed.Generate();
    EXPECT_TRUE(SameSamples(SamplesOf(s), SamplesOf(unfailed)));
  }
}

TEST_F(SamplerAllocation, RefusedDirectionArrayLeavesSamplesOnly) {
  Sampler s(16, 4, SAMPLER_MULTIJITTERED);
  s.Generate();
  s.MapToSphere();
  ASSERT_NE(s.GetSphereSample(3), Vector(0, 0, 0));
  Memory().FailAllocation(1);
  s.MapToSphere();  // the old directions are gone, not kept as stale
  EXPECT_NE(s.GetSamples(), nullptr);
  EXPECT_EQ(s.GetSphereSamples(), nullptr);
  for (Int32 i = 0; i < 16; ++i) EXPECT_EQ(s.GetSphereSample(i), Vector(0, 0, 0));
  EXPECT_EQ(Memory().LiveBlocks(), 1);
}

TEST_F(SamplerAllocation, HugeCountsAreRefusedByTheHost) {
  Memory().SetSizeLimit(int64_t{1} << 20);
  for (Int32 mode = SAMPLER_REGULAR; mode <= SAMPLER_HAMMERSLEY; ++mode) {
    SCOPED_TRACE(mode);
    Sampler s(INT_MAX, 4, mode);
    s.Generate();
    s.MapToSphere();
    EXPECT_EQ(s.GetSamples(), nullptr);
    EXPECT_EQ(s.GetSphereSample(0), Vector(0, 0, 0));
  }
  // A grid mode lowers INT_MAX to 46340^2 before it asks.
  Sampler grid(INT_MAX, 4, SAMPLER_REGULAR);
  grid.Generate();
  EXPECT_EQ(grid.GetCount(), 46340 * 46340);
}
