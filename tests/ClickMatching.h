#pragma once

#include "EngineTestHelpers.h"

#include <ostream>

/** Finds where each click starts in a rendering, by the sample it plays. */
namespace ClickMatching
{
    enum class Kind { accent, normal, soft };

    struct Click
    {
        int64_t position;
        Kind kind;

        bool operator== (const Click& other) const { return position == other.position && kind == other.kind; }

        friend void PrintTo (const Click& c, std::ostream* os)
        {
            *os << c.position << (c.kind == Kind::accent ? "X" : c.kind == Kind::soft ? "o" : "x");
        }
    };

    struct Samples
    {
        explicit Samples (int pack, double rate)
        {
            const auto p = SoundPack::forIndex (pack);
            accent = EngineTestHelpers::resampledSample (p.accentData, p.accentSize, rate);
            click = EngineTestHelpers::resampledSample (p.clickData, p.clickSize, rate);
        }

        std::vector<float> accent, click;
    };

    /** Where each scaled sample's first samples lie in the output. A sample that
        opens with silence is matched through its first sound, so that it matches
        only where it starts. */
    inline std::vector<Click> find (const std::vector<float>& output, const Samples& samples)
    {
        struct Candidate { const std::vector<float>* sample; float gain; Kind kind; size_t firstSound; };
        std::vector<Candidate> candidates { { &samples.accent, 1.0f, Kind::accent, 0 },
                                            { &samples.click, 1.0f, Kind::normal, 0 },
                                            { &samples.click, 0.25f, Kind::soft, 0 } };

        for (auto& c : candidates)
            c.firstSound = (size_t) (std::find_if (c.sample->begin(), c.sample->end(), [] (float v) { return v != 0.0f; })
                                     - c.sample->begin());

        std::vector<Click> clicks;

        for (size_t p = 0; p < output.size(); ++p)
        {
            for (const auto& c : candidates)
            {
                const auto length = juce::jmin (c.sample->size(), c.firstSound + 24);

                if (p + length > output.size() || output[p + c.firstSound] != (*c.sample)[c.firstSound] * c.gain)
                    continue;

                bool matches = true;
                for (size_t j = 0; j < length && matches; ++j)
                    matches = output[p + j] == (*c.sample)[j] * c.gain;

                if (matches)
                {
                    clicks.push_back ({ (int64_t) p, c.kind });
                    break;
                }
            }
        }

        return clicks;
    }

    inline std::vector<int64_t> positions (const std::vector<Click>& clicks)
    {
        std::vector<int64_t> result;
        for (const auto& c : clicks)
            result.push_back (c.position);
        return result;
    }
}
