#include "params/WidgetUpdate.h"

namespace kestrava::params {

bool applyWidgetUpdate(Param& p, const RequestContext& request, std::span<const std::int32_t> numbers,
                       WordWriter& out) {
    const RequestValues values(numbers);
    WidgetContext widget = WidgetContext::from(request, values.head(), p.refreshPending.load());
    p.refreshPending.store(widget.expand);
    if (p.hasGraph()) p.pollGraph(request.clientView, 0);
    p.readWireInput(request, values, widget);
    if (!values.problem().empty()) {
        p.owner().warning("update request for parameter " + std::to_string(p.id()) + ": " + values.problem());
    }

    const int view = request.clientView;
    const bool shownHere = p.isShownIn(view);
    widget.sendState = shownHere && (p.valueChanged.test(widget.effectiveView) ||
                                     p.isContentChanged(widget.effectiveView) || widget.force || widget.expand);
    const bool enabledChanged = p.enabledChanged.take(view);
    const bool stateChanged = p.stateChanged.take(view);
    const bool editChanged = p.takeEditChanged(view);
    if (!(enabledChanged || stateChanged || editChanged || widget.sendState)) return false;

    widget.written = true;
    const std::size_t start = out.size();
    out.word(static_cast<std::uint32_t>(p.widgetType()));
    out.number32(0);
    out.word(static_cast<std::uint32_t>(p.id()));
    out.word(static_cast<std::uint32_t>(widget.viewOffset));
    const std::uint32_t flags = (shownHere ? 1u : 0u) | (p.isEnabled() ? 2u : 0u) |
                                (p.isEditable(view) ? 4u : 0u) | (widget.expand ? 8u : 0u);
    out.word(flags);
    if (widget.expand) {
        out.text(p.name(), Param::maxTitleChars);
        p.writeWireValue(out);
        p.refreshPending.store(false);
    }
    if (widget.sendState) p.writeWireState(request, widget, out);
    out.patch32(start + 1, static_cast<std::uint32_t>(out.size() - start - 6));
    return true;
}

}  // namespace kestrava::params
