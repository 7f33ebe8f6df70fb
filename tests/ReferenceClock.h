#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

/**
    The tick grid written the plain way, in absolute sample positions, to check
    the engine against: the first running sample is the downbeat; after every
    change of spacing the grid restarts from the last tick, tick k falling at
    floor (k * spacing) after it; if that grid's next tick has already passed
    when the block starts, the tick sounds at the block's start and the grid
    restarts there. No tick is ever dropped.
*/
struct ReferenceClock
{
    /** Positions of the ticks of the block [blockStart, blockStart + length) played with the given spacing. */
    std::vector<int64_t> block (int64_t blockStart, int length, double newSpacing)
    {
        std::vector<int64_t> ticks;

        if (! started)
        {
            started = true;
            restartAt (blockStart, newSpacing);
            ticks.push_back (blockStart);
        }
        else if (newSpacing != spacing)
        {
            restartAt (lastTick, newSpacing);

            if (gridTick (1) < blockStart)
            {
                restartAt (blockStart, newSpacing);
                ticks.push_back (blockStart);
            }
        }

        while (gridTick (k + 1) < blockStart + length)
            ticks.push_back (gridTick (++k));

        if (! ticks.empty())
            lastTick = ticks.back();

        return ticks;
    }

    void restartAt (int64_t position, double newSpacing)
    {
        anchor = lastTick = position;
        spacing = newSpacing;
        k = 0;
    }

    int64_t gridTick (int64_t index) const
    {
        return anchor + (int64_t) std::floor ((double) index * spacing);
    }

    bool started = false;
    double spacing = 0;
    int64_t anchor = 0, lastTick = 0, k = 0;
};
