#include "TapTempo.h"

#include <utility>

std::optional<float> TapTempo::tap (juce::uint32 nowMilliseconds)
{
    // The counter wraps every 49 days; the difference taken as signed stays right across the wrap.
    const auto interval = (float) static_cast<juce::int32> (nowMilliseconds - lastTapTime);
    lastTapTime = nowMilliseconds;

    if (interval > seriesTimeoutMs)
    {
        tapCount = 0;
        tapIntervals.fill (0.0f);
    }

    tapIntervals[(size_t) (tapCount % ringSize)] = interval;
    ++tapCount;

    const auto median = lowerMedian();

    if (median >= shortestIntervalMs && median <= seriesTimeoutMs)
        return 60000.0f / median;

    return std::nullopt;
}

float TapTempo::lowerMedian() const
{
    const int n = juce::jmin (tapCount, ringSize);
    const int k = (n % 2 == 1) ? n / 2 : n / 2 - 1;

    // Wirth's selection on a copy, so the ring keeps its order.
    auto values = tapIntervals;
    int left = 0;
    int right = n - 1;

    while (left < right)
    {
        const float pivot = values[(size_t) k];
        int i = left;
        int j = right;

        do
        {
            while (values[(size_t) i] < pivot) ++i;
            while (pivot < values[(size_t) j]) --j;

            if (i <= j)
                std::swap (values[(size_t) i++], values[(size_t) j--]);
        }
        while (i <= j);

        if (j < k) left = i;
        if (k < i) right = j;
    }

    return values[(size_t) k];
}
