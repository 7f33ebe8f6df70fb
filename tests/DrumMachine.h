#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <cmath>
#include <string>
#include <vector>

/** Synthetic music for the LISTEN tests: a drum machine and a sustained pad,
    and the noises that must never set a tempo. */
namespace DrumMachine
{
    /** One bar of a drum pattern, one character a step: 'X' loud, 'x' soft, '.' rest. */
    struct Pattern
    {
        std::string kick, snare, hat;
        int stepsPerBeat;
    };

    inline const Pattern rock { "X...X...", "..X...X.", "x.x.x.x.", 2 };              // quarter-note hats
    inline const Pattern ballad { "X.....x.", "..X...X.", "xxxxxxxx", 2 };            // eighth-note hats
    inline const Pattern sixEight { "X.....", "...X..", "Xxxxxx", 3 };                // a beat is a dotted quarter

    constexpr double pi = juce::MathConstants<double>::pi;

    inline void addHit (std::vector<float>& out, double rate, size_t start, char instrument, float level, juce::Random& random)
    {
        const auto length = (size_t) (0.25 * rate);
        double phase = 0.0;

        for (size_t i = 0; i < length && start + i < out.size(); ++i)
        {
            const auto t = (double) i / rate;
            double v = 0.0;

            if (instrument == 'k')
            {
                phase += 2.0 * pi * (50.0 + 100.0 * std::exp (-t / 0.02)) / rate;
                v = std::sin (phase) * std::exp (-t / 0.12);
            }
            else if (instrument == 's')
            {
                v = (0.7 * (random.nextDouble() * 2.0 - 1.0) + 0.3 * std::sin (2.0 * pi * 190.0 * t)) * std::exp (-t / 0.06);
            }
            else
            {
                // A hi-hat: noise with its low part taken off by a first difference.
                const auto a = random.nextDouble() * 2.0 - 1.0;
                v = 0.5 * (a - phase) * std::exp (-t / 0.02);
                phase = a;
            }

            out[start + i] += level * (float) v;
        }
    }

    /** The pattern played over and over at the tempo (of its beat) for the seconds given,
        peaking at peakDb; the first beat falls at firstBeat seconds. */
    inline std::vector<float> play (const Pattern& pattern, double rate, double bpm, double seconds,
                                    float peakDb = -6.0f, double firstBeat = 0.0, int seed = 3)
    {
        std::vector<float> out ((size_t) (rate * seconds), 0.0f);
        juce::Random random (seed);
        const auto stepSeconds = 60.0 / bpm / pattern.stepsPerBeat;
        const auto stepsPerBar = pattern.kick.size();

        for (size_t step = 0;; ++step)
        {
            const auto start = (size_t) std::llround ((firstBeat + (double) step * stepSeconds) * rate);

            if (start >= out.size())
                break;

            const auto at = step % stepsPerBar;

            for (const auto& [instrument, line] : { std::pair<char, const std::string&> { 'k', pattern.kick },
                                                    std::pair<char, const std::string&> { 's', pattern.snare },
                                                    std::pair<char, const std::string&> { 'h', pattern.hat } })
                if (line[at] != '.')
                    addHit (out, rate, start, instrument, line[at] == 'X' ? 1.0f : 0.4f, random);
        }

        auto peak = 0.0f;
        for (auto s : out)
            peak = std::max (peak, std::abs (s));

        const auto gain = juce::Decibels::decibelsToGain (peakDb) / std::max (peak, 1.0e-9f);
        for (auto& s : out)
            s *= gain;

        return out;
    }

    /** White noise at an RMS level. */
    inline std::vector<float> whiteNoise (double rate, double seconds, float rmsDb, int seed = 9)
    {
        juce::Random random (seed);
        std::vector<float> out ((size_t) (rate * seconds));
        const auto level = juce::Decibels::decibelsToGain (rmsDb) * std::sqrt (3.0f);

        for (auto& s : out)
            s = level * (random.nextFloat() * 2.0f - 1.0f);

        return out;
    }

    /** Pink noise (Paul Kellet's filter over white noise) at an RMS level. */
    inline std::vector<float> pinkNoise (double rate, double seconds, float rmsDb, int seed = 10)
    {
        auto out = whiteNoise (rate, seconds, 0.0f, seed);
        double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0, sumOfSquares = 0;

        for (auto& s : out)
        {
            const double w = s;
            b0 = 0.99886 * b0 + w * 0.0555179;  b1 = 0.99332 * b1 + w * 0.0750759;
            b2 = 0.96900 * b2 + w * 0.1538520;  b3 = 0.86650 * b3 + w * 0.3104856;
            b4 = 0.55000 * b4 + w * 0.5329522;  b5 = -0.7616 * b5 - w * 0.0168980;
            const auto pink = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
            b6 = w * 0.115926;
            s = (float) pink;
            sumOfSquares += pink * pink;
        }

        const auto gain = juce::Decibels::decibelsToGain (rmsDb) / (float) std::sqrt (sumOfSquares / (double) out.size());
        for (auto& s : out)
            s *= gain;

        return out;
    }

    /** Mains hum: the frequency and six harmonics, steady, as a transformer buzzes. */
    inline std::vector<float> hum (double rate, double seconds, double hz, float peakDb)
    {
        constexpr double amplitudes[] { 1.0, 0.5, 0.35, 0.25, 0.15, 0.1, 0.07 };
        std::vector<float> out ((size_t) (rate * seconds));
        auto peak = 0.0f;

        for (size_t i = 0; i < out.size(); ++i)
        {
            const auto t = (double) i / rate;
            double v = 0.0;

            for (int harmonic = 1; harmonic <= 7; ++harmonic)
                v += amplitudes[harmonic - 1] * std::sin (2.0 * pi * hz * harmonic * t + harmonic);

            out[i] = (float) v;
            peak = std::max (peak, std::abs (out[i]));
        }

        const auto gain = juce::Decibels::decibelsToGain (peakDb) / peak;
        for (auto& s : out)
            s *= gain;

        return out;
    }

    /** The sum of two signals, as long as the shorter. */
    inline std::vector<float> mix (const std::vector<float>& a, const std::vector<float>& b)
    {
        std::vector<float> out (std::min (a.size(), b.size()));
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = a[i] + b[i];
        return out;
    }

    /** One signal after the other. */
    inline std::vector<float> concatenate (std::vector<float> a, const std::vector<float>& b)
    {
        a.insert (a.end(), b.begin(), b.end());
        return a;
    }
}
