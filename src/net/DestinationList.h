#pragma once

#include "net/UdpDestination.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <forward_list>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrava::net {

// The open destinations, newest first. The send thread holds the lock for one packet's pass
// over all of them; the socket-manager thread only to insert or erase, so an erase never cuts
// into a send and a destination is destroyed only while no send is in progress on it.
class DestinationList : kestrava::NonCopyable {
public:
    void addFront(std::int32_t id, std::shared_ptr<UdpDestination> destination);
    // False when no destination has this id.
    bool erase(std::int32_t id);
    void clear();
    void sendToAll(const std::uint8_t* data, std::uint32_t length);
    // The ids front to back.
    std::vector<std::int32_t> ids() const;

private:
    struct Entry {
        std::int32_t id;
        std::shared_ptr<UdpDestination> destination;
    };
    mutable std::mutex mutex;
    std::forward_list<Entry> entries;
};

}  // namespace kestrava::net
