#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

/**
    The tick grid written the plain way, in absolute sample positions, to check
    the engine against: the first running sample is the downbeat; after every
    change of spacing the grid restarts from the last tick, tick k falling at
    floor (k * spacing) after it; a tick already due when a block starts sounds
    at that block's start (reported at its grid position), and any earlier
    missed ticks are dropped.
*/
struct ReferenceClock
{
    struct Tick
    {
        int64_t position;   // on the grid; before blockStart for an overdue tick
        int64_t blockStart;
    };

    /** Ticks of the block [blockStart, blockStart + length) played with the given spacing. */
    std::vector<Tick> block (int64_t blockStart, int length, double newSpacing)
    {
        std::vector<Tick> ticks;

        if (! started)
        {
            started = true;
            anchor = lastTick = blockStart;
            spacing = newSpacing;
            k = 0;
            ticks.push_back ({ blockStart, blockStart });
        }
        else if (newSpacing != spacing)
        {
            anchor = lastTick;
            spacing = newSpacing;
            k = 0;
        }

        // The latest grid tick at or before the block's start, if it has not sounded.
        int64_t due = -1;
        while (gridTick (k + 1) <= blockStart)
            due = ++k;

        if (due >= 0)
            ticks.push_back ({ gridTick (due), blockStart });

        while (gridTick (k + 1) < blockStart + length)
            ticks.push_back ({ gridTick (++k), blockStart });

        if (! ticks.empty())
            lastTick = ticks.back().position;

        return ticks;
    }

    int64_t gridTick (int64_t index) const
    {
        return anchor + (int64_t) std::floor ((double) index * spacing);
    }

    bool started = false;
    double spacing = 0;
    int64_t anchor = 0, lastTick = 0, k = 0;
};
