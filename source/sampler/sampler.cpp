#include "source/sampler/sampler.h"

#include <cmath>
#include <cstddef>

#include "host/c4d_memory.h"
#include "source/sampler/circle.h"

namespace {

// Largest m with m * m <= n, for n >= 1. sqrt of an Int32 is exact enough that
// the floor is right, but the correction guards against a libm that rounds up.
Int32 FloorSqrt(Int32 n) {
  auto m = static_cast<Int32>(std::sqrt(static_cast<double>(n)));
  while (static_cast<Int64>(m) * m > n) --m;
  while (static_cast<Int64>(m + 1) * (m + 1) <= n) ++m;
  return m;
}

// Target of the multi-jittered swap for inner index i of a run of m. The
// argument is evaluated as ((m - 1) - i) * u + i; that order is part of the
// pattern. u < 1 keeps the result at most m - 1.
Int32 RunTarget(Int32 m, Int32 i, double u) {
  const double target = static_cast<double>((m - 1) - i) * u + static_cast<double>(i);
  // ceil for a non-negative value below m; std::ceil is a slow library call
  // on processors without SSE4.1.
  const auto whole = static_cast<Int32>(target);
  return static_cast<double>(whole) < target ? whole + 1 : whole;
}

Vector DirectionAt(const SamplePoint& p) {
  const double z = 1.0 - 2.0 * p.x;
  const double r = std::sqrt(1.0 - z * z);
  const CirclePoint azimuth = PointOnCircle(p.y);
  return Vector(r * azimuth.cos, r * azimuth.sin, z);
}

#if TESSALINE_CIRCLE_PAIRS
// Two directions at once, each equal to DirectionAt's bit for bit.
void DirectionsAt(const SamplePoint* p, Vector* out) {
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d x = _mm_set_pd(p[1].x, p[0].x);
  const __m128d z = _mm_sub_pd(one, _mm_mul_pd(_mm_set1_pd(2.0), x));
  const __m128d r = _mm_sqrt_pd(_mm_sub_pd(one, _mm_mul_pd(z, z)));
  const CirclePair azimuth = PointsOnCircle(_mm_set_pd(p[1].y, p[0].y));
  alignas(16) double cx[2], cy[2], cz[2];
  _mm_store_pd(cx, _mm_mul_pd(r, azimuth.cos));
  _mm_store_pd(cy, _mm_mul_pd(r, azimuth.sin));
  _mm_store_pd(cz, z);
  out[0] = Vector(cx[0], cy[0], cz[0]);
  out[1] = Vector(cx[1], cy[1], cz[1]);
}
#endif

}  // namespace

Sampler::Sampler(Int32 sampleCount, std::uint32_t seed, Int32 samplerMode) : count(sampleCount), mode(samplerMode) {
  random.Seed(seed);
}

Sampler::~Sampler() {
  Clear();
  count = 0;
}

Sampler::Sampler(const Sampler& other) : count(other.count), mode(other.mode), random(other.random) {}

Sampler& Sampler::operator=(const Sampler& other) {
  if (this != &other) {
    Clear();
    count = other.count;
    mode = other.mode;
    random = other.random;
  }
  return *this;
}

void Sampler::Clear() {
  DeleteMem(samples);
  DeleteMem(sphereSamples);
}

bool Sampler::AllocateSamples() {
  samples = NewMem(SamplePoint, count);
  return samples != nullptr;
}

// The order of draws below decides the pattern; a refused allocation returns
// before the first draw, so the random state moves only when a pattern is built.
void Sampler::Generate(Float shuffleScale) {
  Clear();
  if (count <= 0) return;

  switch (mode) {
    case SAMPLER_REGULAR: {
      const Int32 m = FloorSqrt(count);
      count = m * m;
      if (!AllocateSamples()) return;
      for (Int32 j = 0; j < m; ++j) {
        for (Int32 i = 0; i < m; ++i) samples[j * m + i] = {(i + 0.5) / m, (j + 0.5) / m};
      }
      break;
    }
    case SAMPLER_RANDOM: {
      if (!AllocateSamples()) return;
      for (Int32 k = 0; k < count; ++k) {
        const double a = random.Next();
        const double b = random.Next();
        samples[k] = {b, a};
      }
      break;
    }
    case SAMPLER_JITTERED: {
      const Int32 m = FloorSqrt(count);
      count = m * m;
      if (!AllocateSamples()) return;
      for (Int32 j = 0; j < m; ++j) {
        for (Int32 i = 0; i < m; ++i) {
          const double y = (j + random.Next()) / m;
          const double x = (i + random.Next()) / m;
          samples[j * m + i] = {x, y};
        }
      }
      break;
    }
    case SAMPLER_NROOKS: {
      if (!AllocateSamples()) return;
      for (Int32 k = 0; k < count; ++k) {
        const double y = (k + random.Next()) / count;
        const double x = (k + random.Next()) / count;
        samples[k] = {x, y};
      }
      ShuffleX(shuffleScale);
      ShuffleY(shuffleScale);
      break;
    }
    case SAMPLER_MULTIJITTERED: {
      const Int32 m = FloorSqrt(count);
      count = m * m;
      if (!AllocateSamples()) return;
      const double w = 1.0 / count;
      // Canonical pattern: each of the m x m cells holds one point, and within
      // the cells the points form an n-rooks pattern over count strips.
      for (Int32 j = 0; j < m; ++j) {
        for (Int32 k = 0; k < m; ++k) {
          SamplePoint& p = samples[j * m + k];
          p.x = (j * m + k) * w + random.Next() * w;
          p.y = (k * m + j) * w + random.Next() * w;
        }
      }
      // Swapping x within a run of m (and y within a column) keeps both the
      // cell and the strip properties while decorrelating the two axes.
      for (Int32 r = 0; r < m; ++r) {
        SamplePoint* run = samples + static_cast<std::ptrdiff_t>(r) * m;
        for (Int32 c = 0; c < m; ++c) {
          const Int32 t = RunTarget(m, c, random.Next());
          const double x = run[c].x;
          run[c].x = run[t].x;
          run[t].x = x;
        }
      }
      for (Int32 c = 0; c < m; ++c) {
        for (Int32 r = 0; r < m; ++r) {
          const Int32 t = RunTarget(m, r, random.Next());
          const double y = samples[r * m + c].y;
          samples[r * m + c].y = samples[t * m + c].y;
          samples[t * m + c].y = y;
        }
      }
      break;
    }
    case SAMPLER_HAMMERSLEY: {
      if (!AllocateSamples()) return;
      for (Int32 i = 0; i < count; ++i) samples[i] = {static_cast<double>(i) / count, RadicalInverse(i)};
      break;
    }
    default:
      break;
  }
}

void Sampler::ShuffleX(Float scale) {
  if (count <= 0 || samples == nullptr) return;
  for (Int32 i = 1; i < count; ++i) {
    const Int32 t = static_cast<Int32>(std::floor(random.Next() * scale)) % count;
    const double x = samples[i].x;
    samples[i].x = samples[t].x;
    samples[t].x = x;
  }
}

void Sampler::ShuffleY(Float scale) {
  if (count <= 0 || samples == nullptr) return;
  for (Int32 i = 1; i < count; ++i) {
    const Int32 t = static_cast<Int32>(std::floor(random.Next() * scale)) % count;
    const double y = samples[i].y;
    samples[i].y = samples[t].y;
    samples[t].y = y;
  }
}

Float Sampler::RadicalInverse(Int32 i) {
  double sum = 0.0;
  double f = 0.5;
  while (i != 0) {
    sum += f * (i % 2);
    f *= 0.5;
    i /= 2;
  }
  return sum;
}

void Sampler::MapToSphere() {
  if (count <= 0 || samples == nullptr) return;
  DeleteMem(sphereSamples);
  sphereSamples = NewMem(Vector, count);
  if (sphereSamples == nullptr) return;
  Int32 i = 0;
#if TESSALINE_CIRCLE_PAIRS
  for (; i + 1 < count; i += 2) DirectionsAt(samples + i, sphereSamples + i);
#endif
  for (; i < count; ++i) sphereSamples[i] = DirectionAt(samples[i]);
}
