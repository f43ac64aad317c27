#pragma once

#include "record/LiveCsv.h"

#include <vector>

// The newest live samples, up to a fixed number: memory is taken once, when
// the ring is made, however long the tool runs; a new sample in a full ring
// takes the place of the oldest.
class SampleRing
{
public:
    explicit SampleRing(int capacity) : store(static_cast<size_t>(capacity > 0 ? capacity : 1)) {}

    void push(const LiveSample &sample)
    {
        store[static_cast<size_t>(next)] = sample;
        next = (next + 1) % capacity();
        if (held < capacity())
            ++held;
    }
    int size() const { return held; }
    int capacity() const { return static_cast<int>(store.size()); }
    // The i-th sample held, 0 the oldest.
    const LiveSample &at(int i) const
    {
        return store[static_cast<size_t>((next - held + i + capacity()) % capacity())];
    }

private:
    std::vector<LiveSample> store;
    int next = 0; // where the next sample goes
    int held = 0;
};
