// Sample patterns in the unit square and their mapping to directions on the
// unit sphere. One Sampler holds one pattern, rebuilt on demand; callers read
// the directions by index.
#ifndef TESSALINE_SOURCE_SAMPLER_SAMPLER_H
#define TESSALINE_SOURCE_SAMPLER_SAMPLER_H

#include <cstdint>
#include <cstdlib>

#include "host/c4d_api.h"
#include "host/c4d_vector.h"

constexpr Int32 SAMPLER_REGULAR = 0;
constexpr Int32 SAMPLER_RANDOM = 1;
constexpr Int32 SAMPLER_JITTERED = 2;
constexpr Int32 SAMPLER_NROOKS = 3;
constexpr Int32 SAMPLER_MULTIJITTERED = 4;
constexpr Int32 SAMPLER_HAMMERSLEY = 5;

// The n-rooks shuffle scales its draws by the C library's RAND_MAX, so the
// Windows build (32767) and the macOS build (2147483647) shuffle differently.
// Generate uses this value; tests pass the other platform's explicitly.
constexpr Float platformRandMax = static_cast<Float>(RAND_MAX);

// 31-bit linear congruential generator. A plain value: copying it forks the
// sequence.
class RandomGenerator {
 public:
  RandomGenerator() = default;

  void Seed(std::uint32_t s) { seed = s; }
  std::uint32_t GetSeed() const { return seed; }

  // In [0, 2147483647 / 2147483649]: the divisor is 2^31 + 1, so 1.0 is never
  // reached.
  Float Next() {
    seed = (seed * 69069u + 69069u) & 0x7FFFFFFFu;
    return DivideByTwoPow31PlusOne(seed);
  }

  // s / 2147483649.0, correctly rounded, without the division that would
  // dominate building a pattern. Since 2^62 / (2^31 + 1) = (2^31 - 1) +
  // 1 / (2^31 + 1), the quotient scaled by 2^62 is N + f with the integer
  // N = s (2^31 - 1) and 0 < f < 1. From s > 2^22 on, N >= 2^53, so every
  // double and every rounding midpoint near N + f is an integer: N + f
  // rounds exactly as N + 1/2 does, and 2N + 1 converts with one rounding.
  // Smaller s keep the division. (Checked equal to it for every s < 2^31.)
  static Float DivideByTwoPow31PlusOne(std::uint32_t s) {
    if (s <= (1u << 22)) return static_cast<Float>(s) / 2147483649.0;
    const std::int64_t twiceScaled = 2 * static_cast<std::int64_t>(s) * 2147483647 + 1;
    return static_cast<Float>(twiceScaled) * 0x1p-63;
  }

 private:
  std::uint32_t seed = 100;
};

struct SamplePoint {
  double x = 0.0, y = 0.0;
};

// Not safe for concurrent use: every draw advances `random` and Generate
// reallocates. Its owner keeps one per render thread.
//
// Arrays come from the host allocator. A refused allocation leaves that array
// absent (and the pattern unbuilt); nothing is ever written through a missing
// array, and GetSphereSample answers (0, 0, 0) for it. A count of 0 or below
// builds nothing.
class Sampler {
 public:
  Sampler() = default;
  Sampler(Int32 sampleCount, std::uint32_t seed, Int32 samplerMode);
  ~Sampler();

  // Copies take count, mode and random state only, never the arrays: two
  // Samplers never share a block. The owner resets a slot with
  // `slot = Sampler(count, seed, mode)`; assignment releases the target's own
  // arrays first, so resetting a slot that still holds a pattern cannot leak.
  Sampler(const Sampler& other);
  Sampler& operator=(const Sampler& other);

  // Discards both arrays and builds `samples` by `mode`. Grid schemes (modes
  // 0, 2, 4) lower count to the largest square not above it. Unknown modes
  // build nothing and keep count. `shuffleScale` only matters for mode 3.
  void Generate(Float shuffleScale = platformRandMax);
  // Rebuilds `sphereSamples` from `samples`: uniform in the square becomes
  // uniform over the whole sphere (z = 1 at x = 0).
  void MapToSphere();
  // The index-th direction, or (0, 0, 0) outside the built range or when
  // there are no directions.
  Vector GetSphereSample(Int32 index) const {
    if (count == 0 || sphereSamples == nullptr || index < 0 || index >= count) return Vector();
    return sphereSamples[index];
  }

  // Decorrelate the x (or y) coordinates of an n-rooks pattern. Element 0 is
  // only ever a swap target, never the moving element. `scale` must lie in
  // [0, 2147483647] so that draw * scale fits an Int32.
  void ShuffleX(Float scale = platformRandMax);
  void ShuffleY(Float scale = platformRandMax);

  // Base-2 radical inverse: the bits of i mirrored behind the binary point.
  static Float RadicalInverse(Int32 i);

  // Releases both arrays; count, mode and random state stay.
  void Clear();

  Int32 GetCount() const { return count; }
  Int32 GetMode() const { return mode; }
  const SamplePoint* GetSamples() const { return samples; }
  const Vector* GetSphereSamples() const { return sphereSamples; }
  const RandomGenerator& GetRandom() const { return random; }

 private:
  bool AllocateSamples();

  Int32 count = 0;
  SamplePoint* samples = nullptr;
  Vector* sphereSamples = nullptr;
  Int32 mode = SAMPLER_MULTIJITTERED;
  RandomGenerator random;
};

#endif
