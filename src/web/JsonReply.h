#pragma once

#include <functional>
#include <string_view>

namespace kestrava::web {

// The body of a "/json" reply as it is written, piece by piece, to its sink:
//
//   "{ " entry ", " entry ... " }\n"
//
// Every entry but the first is preceded by ", ". The reply never holds more than the piece being
// written, so an entry may be as long as it needs to be.
class JsonReply {
public:
    using Sink = std::function<void(std::string_view)>;

    explicit JsonReply(Sink sink) : sink(std::move(sink)) {}

    void open() { sink("{ "); }
    // Starts an entry: writes its separator.
    void beginEntry() {
        if (!first) sink(", ");
        first = false;
    }
    // A piece of the entry begun last.
    void write(std::string_view piece) { sink(piece); }
    // A whole entry.
    void entry(std::string_view text) {
        beginEntry();
        write(text);
    }
    // The closing text; an entry that follows it is written after it.
    void close() { sink(" }\n"); }

private:
    Sink sink;
    bool first = true;
};

}  // namespace kestrava::web
