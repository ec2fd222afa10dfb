// Synthesised sounds: menu clicks and chimes, a background loop and short music pieces.
#include <math.h>

#include <algorithm>

#include "gen.h"
#include "vokscore/wave.h"

namespace datagen {
namespace {

constexpr uint32_t kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// Noise that is the same on every run.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed * 2654435761u + 1) {}
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }
};

struct Buffer {
    std::vector<double> left, right;
    explicit Buffer(double seconds) : left(size_t(seconds * kRate)), right(left.size()) {}

    // A bell-like note: partials with their own decay, a short attack, panned -1..1.
    void note(double at, double length, double hz, double level, double pan = 0, double brightness = 0.5)
    {
        const size_t start = size_t(at * kRate), n = size_t(length * kRate);
        const double gl = level * (1 - pan), gr = level * (1 + pan);
        for (size_t i = 0; i < n && start + i < left.size(); i++) {
            const double t = double(i) / kRate;
            const double attack = std::min(1.0, t / 0.006);
            const double release = std::min(1.0, (length - t) / 0.02);
            const double env = attack * release * exp(-t * 3.0 / length);
            const double s = sin(2 * kPi * hz * t) + brightness * 0.5 * sin(2 * kPi * hz * 2 * t) * exp(-t * 6 / length) +
                             brightness * 0.25 * sin(2 * kPi * hz * 3.01 * t) * exp(-t * 10 / length);
            left[start + i] += gl * env * s;
            right[start + i] += gr * env * s;
        }
    }

    // A burst of noise, smoothed by a one-pole filter (0: dull, 1: bright), falling off fast.
    void click(double at, double length, double level, double bright, uint32_t seed)
    {
        Noise noise(seed);
        const size_t start = size_t(at * kRate), n = size_t(length * kRate);
        double y = 0;
        for (size_t i = 0; i < n && start + i < left.size(); i++) {
            const double t = double(i) / kRate;
            y += bright * (noise.next() - y);
            const double env = exp(-t * 6 / length);
            left[start + i] += level * env * y;
            right[start + i] += level * env * y;
        }
    }

    // A slide from one pitch to another (swishes, refusals).
    void sweep(double at, double length, double from, double to, double level, bool square)
    {
        const size_t start = size_t(at * kRate), n = size_t(length * kRate);
        double phase = 0;
        for (size_t i = 0; i < n && start + i < left.size(); i++) {
            const double t = double(i) / kRate;
            const double hz = from + (to - from) * t / length;
            phase += 2 * kPi * hz / kRate;
            double s = sin(phase);
            if (square)
                s = tanh(4 * s) * 0.6;
            const double env = std::min(1.0, t / 0.005) * std::min(1.0, (length - t) / 0.02);
            left[start + i] += level * env * s;
            right[start + i] += level * env * s;
        }
    }

    std::vector<uint8_t> wave(bool stereo) const
    {
        std::vector<uint8_t> pcm;
        pcm.reserve(left.size() * (stereo ? 4 : 2));
        auto put = [&](double v) {
            const int s = int(lrint(tanh(v) * 30000));
            pcm.push_back(uint8_t(s)), pcm.push_back(uint8_t(unsigned(s) >> 8));
        };
        for (size_t i = 0; i < left.size(); i++) {
            if (stereo) {
                put(left[i]), put(right[i]);
            } else {
                put((left[i] + right[i]) / 2);
            }
        }
        return vokpack::make_wave(pcm, stereo ? 2 : 1, kRate, 16);
    }
};

double midi(int note)
{
    return 440.0 * pow(2.0, (note - 69) / 12.0);
}

}  // namespace

std::vector<uint8_t> menu_sound(int index)
{
    Buffer b(0.5);
    switch (index) {
    case 8:  // focus moves: a soft, short tick
        b = Buffer(0.06), b.click(0, 0.05, 0.5, 0.35, 8), b.note(0, 0.05, midi(96), 0.12, 0, 0);
        break;
    case 9:  // select: a click with a bright ping
        b = Buffer(0.25), b.click(0, 0.03, 0.6, 0.7, 9), b.note(0.01, 0.22, midi(88), 0.3);
        break;
    case 10:  // page: a short airy swish
        b = Buffer(0.22), b.click(0, 0.2, 0.35, 0.15, 10), b.sweep(0, 0.2, 900, 1500, 0.08, false);
        break;
    case 11:  // confirm: two notes rising a fifth
        b = Buffer(0.45), b.note(0, 0.25, midi(79), 0.35), b.note(0.1, 0.35, midi(86), 0.35);
        break;
    case 12:  // open: a rising arpeggio
        b = Buffer(0.5);
        for (int i = 0; i < 4; i++) {
            static const int steps[] = {0, 4, 7, 12};
            b.note(0.06 * i, 0.3, midi(72 + steps[i]), 0.25, -0.3 + 0.2 * i);
        }
        break;
    case 13:  // cancel: two notes falling
        b = Buffer(0.4), b.note(0, 0.2, midi(81), 0.3), b.note(0.09, 0.3, midi(74), 0.3);
        break;
    case 14:  // refuse: a low double buzz
        b = Buffer(0.32), b.sweep(0, 0.12, 180, 160, 0.35, true), b.sweep(0.16, 0.14, 170, 140, 0.35, true);
        break;
    default: {  // 0..7 and beyond: chimes of a pentatonic scale, one note each, brighter as they rise
        static const int scale[] = {0, 2, 4, 7, 9};
        const int i = index < 0 ? 0 : index;
        const int note = 67 + scale[i % 5] + 12 * (i / 5 % 2);
        b = Buffer(0.6), b.click(0, 0.01, 0.2, 0.8, uint32_t(i)), b.note(0, 0.55, midi(note), 0.35, 0, 0.3 + 0.08 * (i % 8));
        break;
    }
    }
    return b.wave(false);
}

std::vector<uint8_t> background_loop()
{
    // Four seconds of a slow chord; every partial completes whole cycles, so the end meets the start.
    const double seconds = 4.0;
    Buffer b(seconds);
    const int chord[] = {57, 64, 69, 72, 76};
    for (size_t i = 0; i < b.left.size(); i++) {
        const double t = double(i) / kRate;
        double l = 0, r = 0;
        for (int k = 0; k < 5; k++) {
            const double hz = round(midi(chord[k]) * seconds) / seconds;
            const double swell = 0.6 + 0.4 * sin(2 * kPi * (k + 1) * t / seconds);
            const double s = sin(2 * kPi * hz * t) * swell * 0.08;
            l += s * (k % 2 ? 0.6 : 1.0), r += s * (k % 2 ? 1.0 : 0.6);
        }
        b.left[i] = l, b.right[i] = r;
    }
    return b.wave(false);
}

std::vector<uint8_t> music_track(int track)
{
    // Four bars of four beats; a chord progression per track, a bass on each beat and a melody of
    // eighth notes walking a pentatonic scale.
    static const int progressions[7][4] = {{0, 5, 7, 3}, {0, 3, 5, 7}, {9, 5, 0, 7}, {0, 7, 9, 5},
                                           {2, 7, 0, 0}, {0, 8, 3, 7}, {5, 7, 0, 0}};
    static const int tempo[7] = {112, 96, 120, 104, 88, 126, 100};
    static const int scale[] = {0, 2, 4, 7, 9, 12, 14, 16};
    const int t = (track - 1 + 70) % 7;
    const double beat = 60.0 / tempo[t];
    const int root = 48 + (track * 5) % 7;
    Buffer b(16 * beat + 1.0);
    Noise walk(uint32_t(track) * 7919u);
    int step = 3;
    for (int bar = 0; bar < 4; bar++) {
        const int chord = root + progressions[t][bar];
        const double at = bar * 4 * beat;
        for (int k : {12, 16, 19})
            b.note(at, 4 * beat, midi(chord + k), 0.07, k == 16 ? 0.5 : -0.5, 0.2);
        for (int q = 0; q < 4; q++)
            b.note(at + q * beat, beat * 0.9, midi(chord - 12 + (q == 2 ? 7 : 0)), 0.22, 0, 0.6);
        if (bar < 3 || track % 2)
            for (int e = 0; e < 8; e++) {
                step = std::clamp(step + int(lrint(walk.next() * 2)), 0, 7);
                if (e % 4 == 3 && walk.next() > 0.3)
                    continue;
                b.note(at + e * beat / 2, beat * 0.8, midi(root + 24 + scale[step]), 0.16, 0.25, 0.5);
            }
        b.click(at, 0.04, 0.15, 0.6, uint32_t(bar + track * 10));
    }
    b.note(16 * beat, 1.0, midi(root + 12), 0.2, 0, 0.3);
    return b.wave(true);
}

}  // namespace datagen
