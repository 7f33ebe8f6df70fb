#pragma once

#include "engine/PracticeSettings.h"

#include <juce_core/juce_core.h>

/** Practice settings drawn at random, every feature on or off by chance. */
inline PracticeSettings randomPractice (juce::Random& random, int beatsPerBar)
{
    PracticeSettings p;

    if (random.nextBool())
        for (int beat = 0; beat < beatsPerBar; ++beat)
            p.pattern[(size_t) beat] = (BeatLevel) random.nextInt (4);

    p.softSubdivisions = random.nextBool();
    p.countInBars = random.nextInt (3);
    p.trainerOn = random.nextInt (3) == 0;
    p.trainerTargetBpm = 20.0f + random.nextFloat() * 380.0f;
    p.trainerStepBpm = 1.0f + random.nextFloat() * 20.0f;
    p.trainerEveryBars = 1 + random.nextInt (3);
    p.gap = (PracticeSettings::Gap) random.nextInt (3);
    p.playBars = 1 + random.nextInt (3);
    p.muteBars = 1 + random.nextInt (3);
    p.randomMutePercent = random.nextFloat() * 100.0f;
    return p;
}
