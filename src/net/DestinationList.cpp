#include "net/DestinationList.h"

namespace kestrava::net {

void DestinationList::addFront(std::int32_t id, std::shared_ptr<UdpDestination> destination) {
    std::lock_guard lock(mutex);
    entries.push_front({id, std::move(destination)});
}

bool DestinationList::erase(std::int32_t id) {
    std::lock_guard lock(mutex);
    auto before = entries.before_begin();
    for (auto it = entries.begin(); it != entries.end(); ++it, ++before) {
        if (it->id == id) {
            entries.erase_after(before);
            return true;
        }
    }
    return false;
}

void DestinationList::clear() {
    std::lock_guard lock(mutex);
    entries.clear();
}

void DestinationList::sendToAll(const std::uint8_t* data, std::uint32_t length) {
    std::lock_guard lock(mutex);
    for (Entry& entry : entries) entry.destination->send(data, length);
}

std::vector<std::int32_t> DestinationList::ids() const {
    std::lock_guard lock(mutex);
    std::vector<std::int32_t> result;
    for (const Entry& entry : entries) result.push_back(entry.id);
    return result;
}

}  // namespace kestrava::net
