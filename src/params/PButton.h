#pragma once

#include "params/ButtonFunction.h"
#include "params/Param.h"

namespace kestrava::params {

// The pressable side of a button or a popup's answer.
class ParamButtonBase {
public:
    virtual ~ParamButtonBase() = default;
    virtual void press(int view) = 0;
    virtual std::string getLabel() const = 0;
};

// A push button: a press from a view with edit rights runs its action with that view. It has no
// value, no settings entry and no words of its own.
class PButton : public Param, public ParamButtonBase {
public:
    // `action` may be null; the caller keeps it alive as long as the button.
    PButton(ParamOwner& owner, std::uint32_t viewMask, ParamId id, const ButtonFunction* action,
            std::string_view name);

    void updateViewFlags() override;
    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    bool isEditable(int view) const override { return edit.allows(view); }
    // A change is marked for view 30 only.
    void setEditable(bool on) override;
    void markEditChanged(int view) override;
    bool takeEditChanged(int view) override { return edit.changed.take(view); }

    void press(int view) override;
    std::string getLabel() const override { return name(); }

private:
    const ButtonFunction* action;
    EditRights edit;
};

}  // namespace kestrava::params
