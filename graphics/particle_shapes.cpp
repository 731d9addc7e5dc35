// The fourteen particle shapes, drawn by formula into 64 × 64 greyscale images: each pixel's
// brightness is a function of its offset from pixel (32, 32), whose centre the sprite's origin
// puts on the particle's position. The soft
// shapes (explosion, cloud, smoke) take their texture from a fixed value noise, so every run
// makes the same images.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "base/bitmap32.h"
#include "graphics/particle.h"

namespace kestrin {

namespace {

constexpr int32_t kSize = 64;
constexpr double kPi = std::numbers::pi;

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

// A coverage of 1 inside radius r fading over one pixel at the edge.
double Edge(double distance, double r) {
    return Clamp01(r - distance + 0.5);
}

// Value noise on an 8-pixel lattice from an integer hash, smoothly interpolated, two octaves.
double Lattice(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xFFFF) / 65535.0;
}
double Smooth(double t) {
    return t * t * (3 - 2 * t);
}
double Noise1(double x, double y, double cell, uint32_t seed) {
    const double fx = x / cell, fy = y / cell;
    const int32_t ix = int32_t(std::floor(fx)), iy = int32_t(std::floor(fy));
    const double tx = Smooth(fx - ix), ty = Smooth(fy - iy);
    const double a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
    const double c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}
double Noise(double x, double y, uint32_t seed) {
    return (2 * Noise1(x, y, 12, seed) + Noise1(x, y, 5, seed + 1)) / 3;
}

// Brightness 0..1 of a shape at offset (dx, dy) from the centre.
double Brightness(int32_t shape, double dx, double dy, double px, double py) {
    const double r = std::sqrt(dx * dx + dy * dy);
    const double theta = std::atan2(dy, dx);
    switch (shape) {
    case 0: // pixel: a 5 × 5 dot
        return std::abs(dx) <= 2 && std::abs(dy) <= 2 ? 1 : 0;
    case 1: // disk, 58 across
        return Edge(r, 29);
    case 2: // square, 58 × 58
        return dx >= -29 && dx < 29 && dy >= -29 && dy < 29 ? 1 : 0;
    case 3: // line: a horizontal bar of 56 × 11
        return dx >= -28 && dx < 28 && std::abs(dy) <= 5 ? 1 : 0;
    case 4: { // star: five points of radius 30 with straight edges to notches of radius 12
        const double segment = 2 * kPi / 5;
        double a = std::fmod(theta + kPi / 2 + 4 * kPi, segment); // 0 at a point
        a = std::min(a, segment - a);                             // 0 .. segment/2
        // The ray at angle a meets the edge from (30, 0) to the notch at segment/2.
        const double px0 = 30, py0 = 0;
        const double ex = 12 * std::cos(segment / 2) - px0, ey = 12 * std::sin(segment / 2) - py0;
        const double ux = std::cos(a), uy = std::sin(a);
        const double reach = (px0 * ey - py0 * ex) / (ux * ey - uy * ex);
        return Edge(r, reach);
    }
    case 5: // circle: a thin ring
        return Clamp01(1.5 - std::abs(r - 28));
    case 6: { // ring: a soft, thicker ring
        const double d = (r - 22) / 5;
        return std::exp(-d * d);
    }
    case 7: // sphere: a ball lit from above left
        if (r >= 30) return 0;
        return Edge(r, 30) *
               Clamp01(0.25 + 0.75 * std::sqrt(1 - (r / 30) * (r / 30)) - 0.2 * (dx + dy) / 42.0);
    case 8: { // flare: a glow with a cross of rays
        const double glow = std::exp(-r * r / (2 * 7.0 * 7.0));
        const double fade = Clamp01(1 - r / 32);
        const double rays = std::max(std::exp(-dy * dy / 2), std::exp(-dx * dx / 2)) * fade;
        return Clamp01(glow + 0.8 * rays + 0.3 * fade * fade);
    }
    case 9: { // spark: four long thin rays and four short diagonal ones
        const double fade = Clamp01(1 - r / 31);
        const double main = std::max(std::exp(-dy * dy / 1.5), std::exp(-dx * dx / 1.5)) * fade;
        const double u = (dx + dy) / std::numbers::sqrt2, v = (dx - dy) / std::numbers::sqrt2;
        const double diag = std::max(std::exp(-u * u / 1.5), std::exp(-v * v / 1.5)) * Clamp01(1 - r / 16);
        return Clamp01(std::max(main, 0.7 * diag) + std::exp(-r * r / 8));
    }
    case 10: // explosion: a ragged bright blob
        return Clamp01((1 - r / 31) * (0.45 + 0.9 * Noise(px, py, 10)) * 1.3);
    case 11: // cloud: a soft round puff
        return Clamp01((1 - (r / 31) * (r / 31)) * (0.65 + 0.35 * Noise(px, py, 20)));
    case 12: // smoke: a faint wide haze
        return Clamp01(std::exp(-r * r / (2 * 13.0 * 13.0)) * (0.4 + 0.6 * Noise(px, py, 30)));
    case 13: { // snow: six arms with a bar across each, and a centre
        if (r > 29.5) return 0;
        double best = 0;
        for (int32_t k = 0; k < 6; ++k) {
            const double a = k * kPi / 3;
            const double along = dx * std::cos(a) + dy * std::sin(a);
            const double across = -dx * std::sin(a) + dy * std::cos(a);
            if (along >= 0) best = std::max(best, Clamp01(1.8 - std::abs(across)));
            // Bars across each arm at two thirds of its length.
            if (std::abs(along - 18) < 1.5 && std::abs(across) < 7) best = std::max(best, 1.0);
        }
        return std::max(best, Edge(r, 4));
    }
    default:
        return 0;
    }
}

} // namespace

TBitmap32 Particle_ShapeImage(int32_t shape) {
    if (shape < 0 || shape >= kParticleShapeCount) return {};
    TBitmap32 image(kSize, kSize, 0xFF000000u);
    for (int32_t y = 0; y < kSize; ++y)
        for (int32_t x = 0; x < kSize; ++x) {
            const double v = Brightness(shape, x - 32.0, y - 32.0, x, y);
            const auto g = static_cast<uint8_t>(Clamp01(v) * 255 + 0.5);
            image.SetPixel(x, y, MakeColor32(g, g, g, 255));
        }
    return image;
}

} // namespace kestrin
