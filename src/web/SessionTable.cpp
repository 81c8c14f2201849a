#include "web/SessionTable.h"

#include <sodium.h>

namespace kestrava::web {

namespace {

std::uint32_t drawFromSodium() {
    // sodium_init is idempotent and thread-safe; the main body has called it already.
    if (sodium_init() < 0) return 0;
    return randombytes_uniform(SessionTable::idRange);
}

}  // namespace

SessionTable::SessionTable(RandomSource random_) : random(random_ ? std::move(random_) : RandomSource(drawFromSodium)) {}

void SessionTable::clear() {
    std::lock_guard lock(mutex);
    records.fill(Record{});
}

SessionTable::Opened SessionTable::open(std::int32_t instanceIndex) {
    std::lock_guard lock(mutex);
    int chosen = -1;
    for (int i = 0; i < recordCount && chosen < 0; ++i) {
        if (records[i].age < 0) chosen = i;
    }
    if (chosen < 0) {
        chosen = 0;
        for (int i = 1; i < recordCount; ++i) {
            if (records[i].age > records[chosen].age) chosen = i;
        }
    }
    Opened opened;
    if (records[chosen].inUse()) opened.previous = records[chosen];

    // Unique among all 13 ids, the one being replaced included. At most 13 raises are needed.
    std::int32_t id = static_cast<std::int32_t>(random() % idRange);
    for (bool clash = true; clash;) {
        clash = false;
        for (const Record& r : records) {
            if (r.sessionId == id) {
                ++id;
                clash = true;
                break;
            }
        }
    }
    records[chosen] = Record{id, 2 * chosen + 3, instanceIndex, 0};
    opened.sessionId = id;
    return opened;
}

std::int32_t SessionTable::touch(std::int32_t sessionId) {
    std::lock_guard lock(mutex);
    std::int32_t view = -1;
    for (Record& r : records) {
        if (r.inUse() && r.sessionId == sessionId) {  // a free record's -1 names nothing
            r.age = 0;
            view = r.viewIndex;
        } else if (r.age >= 0 && r.age < maxAge) {
            ++r.age;
        }
    }
    return view;
}

bool SessionTable::holds(std::int32_t sessionId, std::int32_t view) const {
    std::lock_guard lock(mutex);
    for (const Record& r : records) {
        if (r.inUse() && r.sessionId == sessionId && r.viewIndex == view) return true;
    }
    return false;
}

SessionTable::Record SessionTable::record(int index) const {
    std::lock_guard lock(mutex);
    return index >= 0 && index < recordCount ? records[static_cast<std::size_t>(index)] : Record{};
}

}  // namespace kestrava::web
