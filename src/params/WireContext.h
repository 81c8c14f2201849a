#pragma once

#include "params/ViewFlags.h"

#include <cstdint>

namespace kestrava::params {

class DisplayCanvas;

// What the "/update" handler passes per request: the requesting client's view (29 for a request
// without a session) and the drawing canvas of the serving web server (the displays draw nothing
// without one).
struct RequestContext {
    int clientView = sessionlessView;
    DisplayCanvas* canvas = nullptr;
};

// Per widget of a request, built from the group's first number.
struct WidgetContext {
    int widgetId = 0;       // low 16 bits of the first number
    int viewOffset = 0;     // the first number shifted right by 18, sign kept
    int effectiveView = 0;  // client view + offset; 30 when outside 0..30
    std::int32_t slot[2] = {0, 0};  // free for a class's slot 5 to hand to its slot 6
    bool force = false;     // bit 16, or a request without a session
    bool expand = false;    // bit 17, or a full resend pending
    bool written = false;
    bool sendState = false;

    static WidgetContext from(const RequestContext& request, std::int32_t head, bool refreshPending) {
        WidgetContext c;
        const auto bits = static_cast<std::uint32_t>(head);
        c.widgetId = static_cast<int>(bits & 0xffffu);
        c.viewOffset = head >> 18;
        // The offset may only name a view of the client's own group (its pair): a client never
        // reads or acts through another client's view.
        const long view = static_cast<long>(request.clientView) + c.viewOffset;
        const std::uint32_t own = isView(request.clientView)
                                      ? (viewGroupBits(request.clientView) | (1u << request.clientView))
                                      : 0u;
        if (view < 0 || view > anyView) {
            c.effectiveView = anyView;
        } else if ((own & (1u << view)) != 0) {
            c.effectiveView = static_cast<int>(view);
        } else {
            c.effectiveView = isView(request.clientView) ? request.clientView : anyView;
        }
        c.force = (bits & (1u << 16)) != 0 || request.clientView == sessionlessView;
        c.expand = (bits & (1u << 17)) != 0 || refreshPending;
        return c;
    }
};

}  // namespace kestrava::params
