#pragma once

#include <functional>

namespace kestrava::params {

// The action bound to a button: a callable that receives the pressing client's view. Actions
// without an argument ignore it. Bind a member function with a lambda over its target, which the
// binder keeps alive as long as the button.
class ButtonFunction {
public:
    ButtonFunction() = default;
    explicit ButtonFunction(std::function<void(int)> action) : call(std::move(action)) {}
    static ButtonFunction withoutArgument(std::function<void()> action) {
        return ButtonFunction([a = std::move(action)](int) { a(); });
    }
    void invoke(int argument) const {
        if (call) call(argument);
    }
    explicit operator bool() const noexcept { return static_cast<bool>(call); }

private:
    std::function<void(int)> call;
};

// For buttons that have no effect.
inline void noButtonAction() {}

}  // namespace kestrava::params
