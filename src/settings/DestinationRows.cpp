#include "settings/DestinationRows.h"

#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PInt.h"
#include "params/PString.h"
#include "settings/EncoderSettingsTree.h"

namespace kestrava::settings {

using namespace params;

namespace {

struct Row {
    PBool* on = nullptr;
    PString* host = nullptr;
    PInt* port = nullptr;
    PEnum* nic = nullptr;
    PString* description = nullptr;

    bool complete() const {
        return on != nullptr && host != nullptr && port != nullptr && nic != nullptr && description != nullptr;
    }
};

Row rowAt(const ParamOwner& owner, std::int64_t i) {
    if (i < 0 || i >= destinationCount) return {};
    const auto at = [i](ParamId first) { return static_cast<ParamId>(first + static_cast<int>(i)); };
    return {dynamic_cast<PBool*>(owner.findParam(at(PARAM_KVRA_Enabled_0))),
            dynamic_cast<PString*>(owner.findParam(at(PARAM_KVRA_IP_0))),
            dynamic_cast<PInt*>(owner.findParam(at(PARAM_KVRA_Port_0))),
            dynamic_cast<PEnum*>(owner.findParam(at(PARAM_KVRA_Interface_0))),
            dynamic_cast<PString*>(owner.findParam(at(PARAM_KVRA_NAME_0)))};
}

}  // namespace

PListManager::RowOperations destinationRowActions(ParamOwner& owner) {
    PListManager::RowOperations ops;
    ops.clearRow = [&owner](std::int64_t i) {
        const Row r = rowAt(owner, i);
        if (!r.complete()) return;
        r.on->setValue(false);
        r.host->setValue("");
        r.port->setValue(emptyDestinationPort);
        r.nic->setValue(automaticInterface);
        r.description->setValue("");
    };
    ops.moveRow = [&owner](std::int64_t from, std::int64_t to) {
        const Row a = rowAt(owner, from);
        const Row b = rowAt(owner, to);
        if (!a.complete() || !b.complete()) return;
        b.on->setValue(a.on->current());
        b.host->setValue(a.host->current());
        b.port->setValue(a.port->current());
        b.nic->setValue(a.nic->current());
        b.description->setValue(a.description->current());
    };
    ops.showRow = [&owner](std::int64_t i, bool shown) {
        const Row r = rowAt(owner, i);
        if (!r.complete()) return;
        // Laying rows out is no use of a row: the walks must not count it as one.
        for (Param* p : {static_cast<Param*>(r.on), static_cast<Param*>(r.host), static_cast<Param*>(r.port),
                         static_cast<Param*>(r.nic), static_cast<Param*>(r.description)}) {
            p->setShown(shown);
            p->valueChanged.take(anyView);
        }
    };
    return ops;
}

}  // namespace kestrava::settings
