// Terrow's sound pack zenesz1.pck: 23 short effects (22,050 Hz, 16-bit mono), each a pure function
// of its index. Impacts are knocks of noise through a resonance, the glass ones ring, the bomb booms,
// the interface sounds are soft tones.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "terrow.h"

namespace datagen::terrow {

namespace {

constexpr int kRate = 22050;

struct Voice {
    std::vector<double> s;
    explicit Voice(double seconds) : s(size_t(seconds * kRate), 0.0) {}

    void tone(double at, double len, double hz, double level, double decay, double hz_end = 0)
    {
        double phase = 0;
        const size_t a = size_t(at * kRate), n = size_t(len * kRate);
        for (size_t i = 0; i < n && a + i < s.size(); i++) {
            const double t = double(i) / kRate, k = double(i) / n;
            const double f = hz_end > 0 ? hz + (hz_end - hz) * k : hz;
            phase += 2 * M_PI * f / kRate;
            const double env = std::min(1.0, t * 400) * std::exp(-t * decay);
            s[a + i] += level * env * std::sin(phase);
        }
    }
    // Noise through a two-pole resonance at `hz`: a knock on wood, stone or metal.
    void knock(double at, double len, double hz, double q, double level, double decay, uint32_t seed)
    {
        uint32_t x = seed * 2654435761u + 1;
        double y1 = 0, y2 = 0;
        const double w = 2 * M_PI * hz / kRate, r = 1 - w / q;
        const double c1 = 2 * r * std::cos(w), c2 = -r * r;
        const size_t a = size_t(at * kRate), n = size_t(len * kRate);
        for (size_t i = 0; i < n && a + i < s.size(); i++) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            const double noise = double(x & 0xFFFF) / 32768.0 - 1.0;
            const double t = double(i) / kRate;
            const double y = noise * std::exp(-t * decay * 4) + c1 * y1 + c2 * y2;
            y2 = y1, y1 = y;
            s[a + i] += level * y * std::exp(-t * decay) * (1 - r) * 2;
        }
    }
    std::vector<uint8_t> wav() const
    {
        double peak = 1e-9;
        for (double v : s)
            peak = std::max(peak, std::fabs(v));
        const double gain = peak > 0.9 ? 0.9 / peak : 1.0;
        std::vector<uint8_t> b;
        auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i))); };
        auto put16 = [&](uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
        const uint32_t data = uint32_t(s.size() * 2);
        b.insert(b.end(), {'R', 'I', 'F', 'F'});
        put32(36 + data);
        b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put32(16), put16(1), put16(1), put32(kRate), put32(kRate * 2), put16(2), put16(16);
        b.insert(b.end(), {'d', 'a', 't', 'a'});
        put32(data);
        for (double v : s)
            put16(uint16_t(int16_t(std::lround(std::clamp(v * gain, -1.0, 1.0) * 32000))));
        return b;
    }
};

}  // namespace

std::vector<uint8_t> sound(int index)
{
    Voice v(0.6);
    switch (index) {
    case 0:  // run start: a rising two-note call
        v = Voice(0.45), v.tone(0, 0.18, 523, 0.5, 6), v.tone(0.15, 0.3, 784, 0.5, 5);
        break;
    case 1:  // glass ball, hard hit: a bright ring
        v = Voice(0.7), v.knock(0, 0.05, 3000, 40, 0.6, 30, 1), v.tone(0, 0.7, 2637, 0.35, 6), v.tone(0, 0.7, 3951, 0.2, 8);
        break;
    case 21:  // glass ball, soft hit
        v = Voice(0.4), v.tone(0, 0.4, 2637, 0.22, 10);
        break;
    case 2:  // bomb destroyed: a low boom with rubble
        v = Voice(1.2), v.knock(0, 1.2, 90, 4, 1.0, 3, 2), v.tone(0, 0.8, 70, 0.6, 4, 40), v.knock(0.05, 0.9, 900, 3, 0.25, 5, 3);
        break;
    case 3:  // glass ball shattered: a scatter of high rings
        v = Voice(0.9);
        for (int i = 0; i < 6; i++)
            v.tone(0.04 * i, 0.5, 2200 + 530 * ((i * 7) % 5), 0.2, 9);
        v.knock(0, 0.3, 5000, 3, 0.4, 12, 4);
        break;
    case 4:  // hard impact: iron on stone
        v = Voice(0.35), v.knock(0, 0.35, 1400, 25, 0.9, 14, 5), v.tone(0, 0.2, 1800, 0.12, 20);
        break;
    case 9:  // soft impact
        v = Voice(0.2), v.knock(0, 0.2, 700, 12, 0.5, 25, 6);
        break;
    case 14:  // rubber ball, hard bounce: a hollow thud
        v = Voice(0.3), v.knock(0, 0.3, 220, 10, 0.9, 14, 7), v.tone(0, 0.2, 180, 0.3, 18, 120);
        break;
    case 22:  // rubber ball, soft bounce
        v = Voice(0.2), v.knock(0, 0.2, 200, 8, 0.5, 22, 8);
        break;
    case 5:  // the hand at its limits: a dull bump
        v = Voice(0.2), v.tone(0, 0.2, 110, 0.5, 20);
        break;
    case 6:  // stop: a falling two-note call
        v = Voice(0.45), v.tone(0, 0.18, 784, 0.5, 6), v.tone(0.15, 0.3, 523, 0.5, 5);
        break;
    case 7:  // ball in the goal: a bright chime
        v = Voice(0.9), v.tone(0, 0.9, 1047, 0.4, 4), v.tone(0.08, 0.8, 1319, 0.35, 4), v.tone(0.16, 0.7, 1568, 0.3, 4);
        break;
    case 8:  // direction mode: a short double tick
        v = Voice(0.15), v.tone(0, 0.04, 1500, 0.4, 40), v.tone(0.07, 0.04, 1900, 0.4, 40);
        break;
    case 10:  // a fifth event: a low hum
        v = Voice(0.5), v.tone(0, 0.5, 147, 0.4, 5), v.tone(0, 0.5, 220, 0.3, 5);
        break;
    case 11:  // escape: a soft downward sweep
        v = Voice(0.3), v.tone(0, 0.3, 900, 0.35, 8, 400);
        break;
    case 12:  // the field's camera: a whoosh
        v = Voice(0.4), v.knock(0, 0.4, 600, 2, 0.5, 6, 9);
        break;
    case 13:  // reset: a clack and a rising note
        v = Voice(0.4), v.knock(0, 0.08, 1200, 15, 0.6, 30, 10), v.tone(0.05, 0.3, 440, 0.3, 8, 660);
        break;
    case 15:  // pause menu: a held mellow tone
        v = Voice(0.5), v.tone(0, 0.5, 392, 0.35, 4), v.tone(0, 0.5, 494, 0.25, 4);
        break;
    case 16:  // help and buttons: a click
        v = Voice(0.1), v.knock(0, 0.1, 2500, 20, 0.5, 50, 11);
        break;
    case 17:  // tool chosen: a higher click with a ping
        v = Voice(0.2), v.knock(0, 0.08, 3000, 20, 0.4, 50, 12), v.tone(0, 0.2, 1760, 0.2, 20);
        break;
    case 18:  // "!" in the status line: an attention bell
        v = Voice(0.6), v.tone(0, 0.6, 880, 0.4, 6), v.tone(0, 0.6, 1760, 0.15, 8);
        break;
    case 19:  // delete: a crumble
        v = Voice(0.35), v.knock(0, 0.35, 400, 3, 0.6, 10, 13);
        break;
    case 20:  // mark: a tick
        v = Voice(0.08), v.tone(0, 0.05, 2000, 0.35, 60);
        break;
    default:
        v = Voice(0.1);
        break;
    }
    return v.wav();
}

}  // namespace datagen::terrow
