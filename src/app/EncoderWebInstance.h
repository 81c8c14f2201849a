#pragma once

#include "app/SampleHistoryControl.h"
#include "web/content/InstanceAccess.h"

#include <memory>

// The encoder instance as its web pages see it: the parameter set of the instance's Model, the
// GPS status rows, the two input histories (positioned per client view; the input history's
// events pace the polling) and the propagation of a client's changes to the running encoder.
class EncoderWebInstance : public kestrava::web::content::InstanceAccess {
public:
    // The histories are held here, so that a wait outside the instance's lock never reaches a
    // history that has gone.
    EncoderWebInstance(std::shared_ptr<SampleHistoryControl> rawHistory, std::shared_ptr<SampleHistoryControl> history);

    void waitForInput(int view, std::chrono::milliseconds timeout) override;
    void pause(std::chrono::milliseconds duration) override;
    void diagnostic(std::string_view line) override;

    void forEachParam(Model& model, const std::function<void(kestrava::params::Param&)>& visit) override;
    kestrava::params::Param* findParam(Model& model, std::int32_t id) override;
    void prepareForRedraw(Model& model, int view) override;
    void processClientChanges(Model& model) override;
    void logOut(Model& model, int view) override;

private:
    std::shared_ptr<SampleHistoryControl> rawHistory;
    std::shared_ptr<SampleHistoryControl> history;
};
