#include "app/EncoderWebInstance.h"

#include "app/SettingsBridge.h"

#include "app/ModelCommon.h"
#include "logging/KestravaInstanceConfig.h"
#include "model/Model.h"
#include "model/ParSet.h"
#include "platform/CrashGuard.h"
#include "web/content/GpsStatusTexts.h"

#include <cstdio>
#include <thread>

EncoderWebInstance::EncoderWebInstance(std::shared_ptr<SampleHistoryControl> rawHistory_,
                                       std::shared_ptr<SampleHistoryControl> history_)
    : rawHistory(std::move(rawHistory_)), history(std::move(history_)) {}

void EncoderWebInstance::waitForInput(int view, std::chrono::milliseconds timeout) {
    if (history) history->waitForInput(view, timeout);
}

void EncoderWebInstance::pause(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

void EncoderWebInstance::diagnostic(std::string_view line) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stderr);
}

void EncoderWebInstance::forEachParam(Model& /*model*/, const std::function<void(kestrava::params::Param&)>& /*visit*/) {
    // The parameter set does not hold its parameters yet; the script's table stays empty.
}

kestrava::params::Param* EncoderWebInstance::findParam(Model& model, std::int32_t id) {
    return model.parSet != nullptr ? model.parSet->findParam(static_cast<kestrava::ParamId>(id)) : nullptr;
}

void EncoderWebInstance::prepareForRedraw(Model& model, int view) {
    CrashGuard::run(CrashGuard::Task::prepareParSet, [&] {
        auto* common = static_cast<ModelCommon*>(model.modelCommon);
        if (common != nullptr && common->config) {
            const auto texts = kestrava::web::content::GpsStatusTexts::from(common->config->gpsStatus());
            kestrava::web::content::refreshGpsStatusRows(texts, [&](std::int32_t id) { return findParam(model, id); });
        }
        if (history) history->captureViewPair(view);
        if (rawHistory) rawHistory->captureViewPair(view);
    });
}

void EncoderWebInstance::processClientChanges(Model& model) {
    if (!model.parametersChanged.exchange(false)) return;
    CrashGuard::run(CrashGuard::Task::parsetUpdate, [&] {
        auto* common = static_cast<ModelCommon*>(model.modelCommon);
        if (common == nullptr || model.parSet == nullptr) return;
        // The rows the shell applies so far; the full store walk and enabled-state walk follow.
        storeShellSettings(*model.parSet, *common);
        if (common->encoderInstance) common->encoderInstance->applySettings();
    });
}

void EncoderWebInstance::logOut(Model& /*model*/, int /*view*/) {
    // No accounts yet: a view has no login to end.
}
