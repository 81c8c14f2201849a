#pragma once

namespace kestrava {

// Base of objects that own threads, buffers or handles: never copied, never moved.
class NonCopyable {
protected:
    NonCopyable() = default;
    ~NonCopyable() = default;

public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;
};

}  // namespace kestrava
