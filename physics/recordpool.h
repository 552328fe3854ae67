#pragma once
// A pool of at most Capacity records on intrusive live and free lists: the particles and
// the glow sprites. Records are recycled through the free list and only returned to the
// heap by clear(), so a pointer to a record stays valid until then.
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

// Record has `prev` and `next` pointers to its own type. The block holding every record
// is reserved by the first request that needs a new one and placed Phase bytes past a
// 64-byte line, so that a record's hot fields can be laid out across lines on purpose.
template <class Record, int Capacity, std::size_t Phase = 0>
class RecordPool {
    static_assert(std::is_trivially_destructible_v<Record>, "clear() drops records without destroying them");
    static_assert(std::is_trivially_copyable_v<Record>, "saved states copy records as bytes");
    static_assert(Phase < 64 && Phase % alignof(Record) == 0);

public:
    RecordPool() = default;
    ~RecordPool() { clear(); }
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;

    // Live and free records alike go back to the heap with the block.
    void clear()
    {
        storage.reset();
        block = nullptr;
        created = 0;
        carved = 0;
        live = 0;
        liveHead = nullptr;
        freeHead = nullptr;
        build = nextBuild();
    }

    Record* first() const { return liveHead; }
    int liveCount() const { return live; }
    int createdCount() const { return created; }

    int created = 0;  // new records requested, refused ones included
    int live = 0;
    Record* liveHead = nullptr;  // newest first
    Record* freeHead = nullptr;  // most recently freed first

    // The pool's whole state is its headers and the records carved so far. Records never
    // move before clear(), so a copy written back in place leaves every pointer into the
    // block (list links, and whatever else points at records) right. `build` names the
    // block's life: a new one starts at every clear(), and a copy from another is refused.
    struct Headers {
        std::uint64_t build = 0;
        int created = 0, live = 0, carved = 0;
        Record* liveHead = nullptr;
        Record* freeHead = nullptr;
    };
    Headers headers() const { return {build, created, live, carved, liveHead, freeHead}; }
    const Record* carvedRecords() const { return block; }
    // A block, once reserved, stays until clear(), so a copy of this build fits it whether
    // it was taken before or after the state the pool is in.
    bool sameBuild(const Headers& s) const { return s.build == build && (s.carved == 0 || block); }
    // `records` holds s.carved records copied from carvedRecords(). Records carved since
    // go back uncarved: the next allocation makes them afresh, as it did the first time.
    bool restore(const Headers& s, const Record* records)
    {
        if (!sameBuild(s)) return false;
        if (s.carved > 0) std::memcpy(static_cast<void*>(block), records, sizeof(Record) * s.carved);
        created = s.created;
        live = s.live;
        carved = s.carved;
        liveHead = s.liveHead;
        freeHead = s.freeHead;
        return true;
    }

protected:
    // Owners expose these wrapped with what their records need when handed out or
    // given back.

    // The most recently freed record, else a new one with every field at its default;
    // linked at the head of the live list. None once Capacity records exist and none is
    // free: `created` still counts the refused request, up to INT_MAX.
    Record* allocate()
    {
        Record* r = freeHead;
        if (r) {
            freeHead = r->next;
            if (freeHead) freeHead->prev = nullptr;
        } else {
            // The count saturates instead of wrapping: a huge emitter rate asks for more
            // records than an int can count within minutes.
            if (created < INT_MAX) ++created;
            if (carved == Capacity) return nullptr;
            if (!block && !reserve()) {
                --created;
                return nullptr;
            }
            r = new (&block[carved++]) Record{};
        }
        r->prev = nullptr;
        r->next = liveHead;
        if (liveHead) liveHead->prev = r;
        liveHead = r;
        ++live;
        return r;
    }

    // Moves a live record to the head of the free list.
    void recycle(Record* r)
    {
        if (r->prev)
            r->prev->next = r->next;
        else
            liveHead = r->next;
        if (r->next) r->next->prev = r->prev;
        --live;
        r->prev = nullptr;
        r->next = freeHead;
        if (freeHead) freeHead->prev = r;
        freeHead = r;
    }

private:
    bool reserve()
    {
        storage.reset(new (std::nothrow) unsigned char[sizeof(Record) * Capacity + 128]);
        if (!storage) return false;
        const uintptr_t raw = reinterpret_cast<uintptr_t>(storage.get());
        block = reinterpret_cast<Record*>(((raw + 63) & ~uintptr_t(63)) + Phase);
        return true;
    }

    static std::uint64_t nextBuild()
    {
        static std::atomic<std::uint64_t> builds{0};
        return ++builds;
    }

    std::unique_ptr<unsigned char[]> storage;
    Record* block = nullptr;
    int carved = 0;  // records handed out of the block so far; never more than Capacity
    std::uint64_t build = nextBuild();
};
