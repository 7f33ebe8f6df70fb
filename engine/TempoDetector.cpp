#include "TempoDetector.h"

#include <algorithm>
#include <cmath>

namespace
{
    constexpr double slowestCandidateBpm = 45.0;
    constexpr double fastestCandidateBpm = 250.0;
    constexpr double memorySeconds = 2.5;         // the autocorrelation's weight halves in about 1.7 s
    constexpr double levelMemorySeconds = 1.5;    // and each metrical level's score in about 1 s
    constexpr double meanSeconds = 1.0;
    constexpr double foldSeconds = 6.0;
    constexpr double phaseSeconds = 4.0;
    constexpr size_t foldBins = 24;
    constexpr double onsetDelayInHops = 2.4;

    bool near (double a, double b, double tolerance) noexcept
    {
        return std::abs (a - b) <= tolerance * b;
    }
}

int TempoDetector::hopSizeFor (double rate) noexcept
{
    return juce::jmax (8, (int) std::lround (rate * 256.0 / 44100.0));
}

TempoDetector::TempoDetector (double rate)
    : hopSize (hopSizeFor (rate)),
      hopSeconds (hopSize / rate),
      onsets (rate, hopSize)
{
    hop.calloc ((size_t) hopSize);

    maxLag = juce::jmin (historySize - 1, (int) std::ceil (4.0 * periodOf (slowestCandidateBpm)) + 2);
    allLags.assign ((size_t) maxLag + 1, 0.0f);
    decay = (float) std::exp (-hopSeconds / memorySeconds);
    levelScores.assign ((size_t) maxLag + 1, 0.0f);
    meanCoefficient = (float) (1.0 - std::exp (-hopSeconds / meanSeconds));
    activityCoefficient = (float) (1.0 - std::exp (-hopSeconds / memorySeconds));
    hopsPerDecision = juce::jmax (1, (int) std::lround (0.05 / hopSeconds));
    levelDecay = (float) std::exp (-hopsPerDecision * hopSeconds / levelMemorySeconds);
    candidates.reserve (64);
}

void TempoDetector::process (const float* samples, int numSamples) noexcept
{
    if (! isValid())
        return;

    while (numSamples > 0)
    {
        const auto n = juce::jmin (numSamples, hopSize - filled);
        std::copy (samples, samples + n, hop.get() + filled);
        filled += n;
        samples += n;
        numSamples -= n;
        samplesProcessed += n;

        if (filled == hopSize)
        {
            analyseHop();
            filled = 0;
        }
    }
}

void TempoDetector::analyseHop() noexcept
{
    onsets.process (hop.get());

    const auto strength = onsets.getStrength();
    meanStrength += (strength - meanStrength) * meanCoefficient;
    activity += (strength - activity) * activityCoefficient;

    const auto index = (size_t) (hopsProcessed & (historySize - 1));
    strengths[index] = strength;
    detrended[index] = strength - meanStrength;

    updateAutocorrelation();
    ++hopsProcessed;

    if (hopsProcessed % hopsPerDecision == 0)
        decide();
}

void TempoDetector::updateAutocorrelation() noexcept
{
    const auto now = hopsProcessed;
    const auto lags = (int) juce::jmin ((juce::int64) maxLag, now);
    const auto current = detrended[(size_t) (now & (historySize - 1))];

    for (int lag = 0; lag <= lags; ++lag)
    {
        const auto past = (size_t) ((now - lag) & (historySize - 1));
        allLags[(size_t) lag] = decay * allLags[(size_t) lag] + current * detrended[past];
    }
}

float TempoDetector::periodicity (double period) const noexcept
{
    if (allLags[0] <= 0.0f)
        return 0.0f;

    // Played music wanders a little: take the best lag within 1.5 % of the period.
    const auto spread = juce::jmax (1.0, 0.015 * period);
    const auto first = juce::jmax (1, (int) std::floor (period - spread));
    const auto last = juce::jmin (maxLag, (int) std::ceil (period + spread));
    auto best = -1.0f;

    for (int lag = first; lag <= last; ++lag)
        best = juce::jmax (best, allLags[(size_t) lag]);

    return best / allLags[0];
}

double TempoDetector::refinePeak (double period) const noexcept
{
    const auto spread = juce::jmax (1.0, 0.015 * period);
    const auto first = juce::jmax (1, (int) std::floor (period - spread));
    const auto last = juce::jmin (maxLag - 1, (int) std::ceil (period + spread));
    auto peak = first;

    for (int lag = first; lag <= last; ++lag)
        if (allLags[(size_t) lag] > allLags[(size_t) peak])
            peak = lag;

    const auto left = allLags[(size_t) peak - 1], centre = allLags[(size_t) peak], right = allLags[(size_t) peak + 1];
    const auto curvature = left - 2.0f * centre + right;

    if (curvature >= 0.0f)
        return peak;

    return peak + juce::jlimit (-0.5, 0.5, 0.5 * (double) (left - right) / (double) curvature);
}

float TempoDetector::strengthAt (double hopsAgo) const noexcept
{
    const auto whole = (juce::int64) std::floor (hopsAgo);
    const auto fraction = (float) (hopsAgo - (double) whole);
    const auto newest = hopsProcessed - 1;
    const auto a = strengths[(size_t) ((newest - whole) & (historySize - 1))];
    const auto b = strengths[(size_t) ((newest - whole - 1) & (historySize - 1))];
    return a + (b - a) * fraction;
}

TempoDetector::SubBeats TempoDetector::subBeats (double period) const noexcept
{
    // The onset strength of the last seconds folded onto one period of the candidate.
    const auto span = juce::jmin ((double) hopsProcessed - 2.0, foldSeconds / hopSeconds, (double) historySize - 2.0);
    std::array<float, foldBins> sum {};
    std::array<int, foldBins> count {};

    for (int ago = 0; ago < (int) span; ++ago)
    {
        const auto phase = std::fmod ((double) ago, period) / period;
        const auto bin = juce::jmin (foldBins - 1, (size_t) (phase * (double) foldBins));
        sum[(size_t) bin] += strengths[(size_t) ((hopsProcessed - 1 - ago) & (historySize - 1))];
        ++count[(size_t) bin];
    }

    std::array<float, foldBins> profile {};

    for (size_t bin = 0; bin < foldBins; ++bin)
        profile[bin] = count[bin] > 0 ? sum[bin] / (float) count[bin] : 0.0f;

    const auto beat = (size_t) (std::max_element (profile.begin(), profile.end()) - profile.begin());

    if (profile[beat] <= 0.0f)
        return {};

    // Played notes stray from the grid: the strongest bin next to the point counts.
    auto around = [&] (size_t offset)
    {
        const auto at = (beat + offset) % foldBins;
        return juce::jmax (profile[(at + foldBins - 1) % foldBins], profile[at], profile[(at + 1) % foldBins]) / profile[beat];
    };

    return { around (foldBins / 2), juce::jmin (around (foldBins / 3), around (2 * foldBins / 3)) };
}

float TempoDetector::periodicityAround (double period) const noexcept
{
    // Beyond the longest lag kept, half the period stands in: music periodic at
    // it is periodic at its double too.
    const auto lag = period <= maxLag - 2 ? period : period / 2.0;
    return juce::jmax (0.0f, periodicity (lag));
}

float TempoDetector::scoreOf (double period) const noexcept
{
    const auto own = periodicityAround (period);

    if (own <= 0.0f)
        return 0.0f;

    // The beat's bars repeat: two, three or four beats on, the music is much as
    // it was. Periods at 4:3 or 5:4 of the beat, which syncopated patterns make
    // strongly periodic too, have no bars that repeat. Only the multiples heard
    // over most of the input so far count; before any has, the candidate's own
    // periodicity stands in.
    const auto heard = 0.5 * (double) hopsProcessed;
    auto bars = 2.0 * period <= heard ? 0.0f : own;

    for (const auto multiple : { 2.0, 3.0, 4.0 })
        if (multiple * period <= heard)
            bars = juce::jmax (bars, periodicityAround (multiple * period));

    // A candidate is a group of faster beats (a half bar, a dotted beat) where
    // the points half-way or a third of the way between its beats are strong
    // and the music is periodic at that faster level too. Eighth notes between
    // the beats, softer than the beats or less regular, are not enough.
    const auto sub = subBeats (period);
    const auto fastest = periodOf (fastestCandidateBpm);
    const auto byHalves = period / 2.0 >= fastest ? sub.half * periodicityAround (period / 2.0) : 0.0f;
    const auto byThirds = period / 3.0 >= fastest ? sub.thirds * periodicityAround (period / 3.0) : 0.0f;
    const auto grouping = juce::jlimit (0.0f, 1.0f, (juce::jmax (byHalves, byThirds) - 0.4f) / 0.2f);

    // Musicians' tempi, broadly: centred on 110 BPM, a factor of two either way
    // costs a quarter of the score. Set on a corpus of rendered and sampled music.
    const auto octavesFromCentre = std::log2 (bpmOf (period) / 110.0) / 1.3;
    const auto prior = (float) std::exp (-0.5 * octavesFromCentre * octavesFromCentre);

    return std::sqrt (own) * bars * bars * (1.0f - 0.9f * grouping) * prior;
}

void TempoDetector::findPeaks() noexcept
{
    candidates.clear();

    if (allLags[0] <= 0.0f)
        return;

    const auto first = juce::jmax (2, (int) std::floor (periodOf (fastestCandidateBpm)));
    const auto last = juce::jmin (maxLag - 1, (int) std::ceil (periodOf (slowestCandidateBpm)));

    // A period is a candidate where the autocorrelation is highest within 3 %
    // around it: the ripples on a broad peak are not periods of their own.
    for (int lag = first; lag <= last && candidates.size() < candidates.capacity(); ++lag)
    {
        const auto value = allLags[(size_t) lag];

        if (value <= 0.0f)
            continue;

        const auto reach = juce::jmax (1, (int) std::lround (0.03 * lag));
        bool highest = true;

        for (int other = juce::jmax (1, lag - reach); other <= juce::jmin (maxLag, lag + reach) && highest; ++other)
            highest = other == lag || value > allLags[(size_t) other] || (value == allLags[(size_t) other] && other > lag);

        if (highest)
            candidates.push_back ({ precisePeriod (lag), value / allLags[0] });
    }

    // Weak periodicities are not the beat: a level whose beats pair up less
    // than a third as well as the music's strongest level is dropped.
    auto strongest = 0.0f;

    for (const auto& c : candidates)
        strongest = juce::jmax (strongest, c.score);

    candidates.erase (std::remove_if (candidates.begin(), candidates.end(),
                                      [strongest] (const Candidate& c) { return c.score < 0.3f * strongest; }),
                      candidates.end());

    for (auto& c : candidates)
        c.score = scoreOf (c.period);
}

double TempoDetector::precisePeriod (int lag) const noexcept
{
    // The peaks at whole multiples of the period measure it more finely.
    const auto base = refinePeak (lag);
    const auto height = allLags[(size_t) lag];
    auto sum = 0.0, weights = 0.0;

    for (int multiple = 1; multiple * base <= maxLag - 2; ++multiple)
    {
        const auto peak = refinePeak (multiple * base);
        const auto value = allLags[(size_t) juce::jlimit (0, maxLag, (int) std::lround (peak))];

        if (value < 0.5f * height)
            break;

        sum += peak;
        weights += multiple;
    }

    return weights > 0.0 ? sum / weights : base;
}

void TempoDetector::rememberLevels() noexcept
{
    // The score of a single moment wavers with the passage played; the beat is
    // chosen on each level's score over the last seconds.
    for (auto& score : levelScores)
        score *= levelDecay;

    for (const auto& c : candidates)
        levelScores[(size_t) juce::jlimit (0, maxLag, (int) std::lround (c.period))] += (1.0f - levelDecay) * c.score;

    for (auto& c : candidates)
    {
        const auto reach = juce::jmax (1.0, 0.02 * c.period);
        auto remembered = 0.0f;

        for (auto lag = juce::jmax (0, (int) std::floor (c.period - reach)); lag <= juce::jmin (maxLag, (int) std::ceil (c.period + reach)); ++lag)
            remembered = juce::jmax (remembered, levelScores[(size_t) lag]);

        c.score = remembered;
    }
}

void TempoDetector::decide() noexcept
{
    // A steady tone leaves faint, regular ripples in the onset strength, as
    // periodic as any beat; music has onsets two orders of magnitude stronger.
    if (activity >= minimumActivity)
        findPeaks();
    else
        candidates.clear();

    rememberLevels();

    if (candidates.empty())
    {
        hopsSteady = 0;
        estimate = 0.0f;
        phaseKnown = false;
        return;
    }

    const auto best = *std::max_element (candidates.begin(), candidates.end(),
                                         [] (const Candidate& a, const Candidate& b) { return a.score < b.score; });

    lockOnto (best);

    if (lockedPeriod > 0.0)
    {
        estimate = periodicity (lockedPeriod) >= 0.75f * minimumClarity ? (float) bpmOf (lockedPeriod) : 0.0f;
        beatPeriodSamples = lockedPeriod * hopSize;

        if (estimate > 0.0f)
            trackPhase();
    }
    else
    {
        estimate = 0.0f;
    }

    if (estimate <= 0.0f)
        phaseKnown = false;
}

void TempoDetector::lockOnto (const Candidate& best) noexcept
{
    const auto bestClarity = periodicity (best.period);

    if (lockedPeriod <= 0.0)
    {
        hopsSteady = (challenger > 0.0 && near (best.period, challenger, 0.03)) ? hopsSteady + hopsPerDecision : 0;
        challenger = best.period;

        if (bestClarity >= minimumClarity && hopsSteady * hopSeconds >= 0.4)
        {
            lockedPeriod = best.period;
            hopsLocked = 0;
        }

        return;
    }

    hopsLocked += hopsPerDecision;

    if (near (best.period, lockedPeriod, 0.04))
    {
        lockedPeriod = best.period;
        hopsChallenged = 0;
        return;
    }

    auto lockedScore = 0.0f;

    for (const auto& c : candidates)
        if (near (c.period, lockedPeriod, 0.04))
            lockedScore = juce::jmax (lockedScore, c.score);

    hopsChallenged = (challenger > 0.0 && near (best.period, challenger, 0.03)) ? hopsChallenged + hopsPerDecision : 0;
    challenger = best.period;

    const auto ratio = best.period / lockedPeriod;
    const bool otherLevel = near (ratio, 2.0, 0.04) || near (ratio, 0.5, 0.04) || near (ratio, 1.5, 0.04)
                         || near (ratio, 2.0 / 3.0, 0.04) || near (ratio, 3.0, 0.04) || near (ratio, 1.0 / 3.0, 0.04);

    // A lock taken on the first seconds' evidence is easily revised; once the
    // bars and the beats between have been heard for a while, it holds.
    const bool settled = hopsLocked * hopSeconds >= 5.0;
    const auto margin = otherLevel && settled ? 1.3f : 1.1f;
    const auto patience = otherLevel && settled ? 2.5 : 0.5;

    if (lockedScore <= 0.0f || (best.score > margin * lockedScore && hopsChallenged * hopSeconds >= patience))
    {
        if (bestClarity >= minimumClarity)
        {
            lockedPeriod = best.period;
            hopsLocked = 0;
        }
        else if (lockedScore <= 0.0f)
            lockedPeriod = 0.0;

        hopsChallenged = 0;
    }
}

void TempoDetector::trackPhase() noexcept
{
    // The beats of the last few seconds, or as many as have been heard.
    const auto wanted = juce::jmax (2, (int) (phaseSeconds / (lockedPeriod * hopSeconds)));
    const auto heard = (int) ((juce::jmin ((double) hopsProcessed, (double) historySize) - 2.0) / lockedPeriod);
    const auto beats = juce::jmin (wanted, heard);

    if (beats < 2)
        return;

    auto bestPhase = 0;
    auto bestSum = -1.0f;
    const auto phases = (int) std::ceil (lockedPeriod);
    auto sumAt = [&] (double phase)
    {
        float sum = 0.0f, weight = 1.0f;

        for (int beat = 0; beat < beats; ++beat, weight *= 0.85f)
            sum += weight * strengthAt (phase + beat * lockedPeriod);

        return sum;
    };

    for (int phase = 0; phase < phases; ++phase)
    {
        const auto sum = sumAt (phase);

        if (sum > bestSum)
        {
            bestSum = sum;
            bestPhase = phase;
        }
    }

    const auto left = sumAt (bestPhase - 1 >= 0 ? bestPhase - 1 : bestPhase - 1 + lockedPeriod);
    const auto right = sumAt (bestPhase + 1);
    const auto curvature = left - 2.0f * bestSum + right;
    const auto offset = curvature < 0.0f ? juce::jlimit (-0.5, 0.5, 0.5 * (double) (left - right) / (double) curvature) : 0.0;

    // The window of the newest hop ends at newestHopEnd; a note's rise shows most
    // strongly once the window holds it well inside, about two and a half hops after
    // the note starts (measured on drum kits, piano and plucked strings).
    const auto newestHopEnd = (double) hopsProcessed * hopSize;
    lastBeat = newestHopEnd - (bestPhase + offset) * hopSize - onsetDelayInHops * hopSize;
    phaseKnown = true;
}
