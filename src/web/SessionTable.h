#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

namespace kestrava::web {

// The web sessions of a server: 13 records, each giving its browser page a pair of views of the
// parameter model (record k: views 2k+3 and 2k+4). A page opens a session when it loads
// "/objects.js" and names it in every later request; when all records are in use, a new page
// takes over the one named least recently. Ages count session requests, not time.
//
// The table has a lock of its own, so that the session check of a request runs before (and
// without) the server mutex and the instance's Model lock.
class SessionTable {
public:
    static constexpr int recordCount = 13;
    static constexpr std::int32_t maxAge = 2'147'483'632;  // 2^31 - 16: never wraps negative
    static constexpr std::int32_t noSession = -1;          // the id of a request without a session
    static constexpr std::int32_t sessionlessView = 29;    // ... and the view it is served in
    static constexpr std::uint32_t idRange = 32'768;       // new ids are drawn from 0..32767

    struct Record {
        std::int32_t sessionId = -1;
        std::int32_t viewIndex = -1;      // the first view of the pair
        std::int32_t instanceIndex = -1;
        std::int32_t age = -1;            // negative: free
        bool inUse() const { return viewIndex >= 0 && instanceIndex >= 0; }
    };

    // What open() did: the new id, and the record as it was before when it was taken over from
    // another page (whose views must then be logged out).
    struct Opened {
        std::int32_t sessionId = 0;
        Record previous;
    };

    // Draws a number below idRange. The default draws from libsodium's generator.
    using RandomSource = std::function<std::uint32_t()>;
    explicit SessionTable(RandomSource random = {});

    // Every record free (a server start).
    void clear();
    // Opens a session for a new page: the first free record, else the one with the greatest age
    // (the lowest index among equals); a fresh random id that no record holds (the replaced id
    // included); views 2k+3 and 2k+4; age 0.
    Opened open(std::int32_t instanceIndex);
    // A session request naming `sessionId`: that record's age becomes 0 and its first view is the
    // result; every other record in use ages by one. -1 when no record holds the id (the records
    // in use have aged all the same).
    std::int32_t touch(std::int32_t sessionId);
    // Whether the session still holds the view (it may have been taken over since the check);
    // ages nothing.
    bool holds(std::int32_t sessionId, std::int32_t view) const;

    Record record(int index) const;

private:
    mutable std::mutex mutex;
    RandomSource random;
    std::array<Record, recordCount> records{};
};

}  // namespace kestrava::web
