// Chunks of work handed from threads that fill them to one that takes them
// in order, RING of them in turn: chunk number i lives in slot i % RING, and
// is filled once the taker has let go of number i - RING. The threads are
// the caller's; Stop releases the ones waiting to fill.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <mutex>

template <class Chunk, std::size_t RING>
class CChunkRing {
public:
    // prepare(chunk) is called on every slot's chunk before any thread runs.
    template <class Prepare>
    explicit CChunkRing(Prepare prepare)
    {
        for (CSlot& slot : slots)
            prepare(slot.chunk);
    }

    // The filling side: chunk number index, once its slot is free; null
    // once stopped.
    Chunk* StartFilling(std::size_t index)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this, index]() { return stopping || index < released + RING; });
        return stopping ? nullptr : &slots[index % RING].chunk;
    }
    void FinishFilling(std::size_t index)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            slots[index % RING].filledNumber = index + 1;
        }
        changed.notify_all();
    }

    // The taking side: lets go of the chunk taken before and waits for the
    // next in order.
    Chunk& TakeNext()
    {
        std::unique_lock<std::mutex> lock(mutex);
        released = taken;
        changed.notify_all();
        CSlot& slot = slots[taken % RING];
        const std::size_t number = taken + 1;
        changed.wait(lock, [&slot, number]() { return slot.filledNumber == number; });
        ++taken;
        return slot.chunk;
    }

    void Stop()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
    }

private:
    struct CSlot {
        Chunk chunk;
        // The number of the chunk last filled here, plus one; 0 for none.
        std::size_t filledNumber = 0;
    };

    std::array<CSlot, RING> slots;
    std::mutex mutex;
    std::condition_variable changed;
    // Chunks taken, and let go of, since the start.
    std::size_t taken = 0;
    std::size_t released = 0;
    bool stopping = false;
};
