#include "params/PPopup.h"

#include "params/TextCatalog.h"
#include "params/TextWords.h"

namespace kestrava::params {

PPopup::PPopup(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name,
               std::string_view format)
    : Param(owner, viewMask, id, kind, name), ParamTextfield(static_cast<Param&>(*this), format) {}

bool PPopup::onShow(ParamId, bool) { return false; }

void PPopup::show(bool open) {
    if (open) {
        if (ParamButtonBase* answer = chosenAnswer()) {
            answer->press(0);
            return;
        }
    }
    const bool refuse = onShow(id(), open);
    setShown(open && !refuse);
}

PQuestion::PQuestion(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name,
                     std::string_view question, int length, std::vector<Answer> list)
    : PPopup(owner, viewMask, id, kind, name, {}), questionText(question), maxLen(length) {
    for (Answer& a : list) {
        answers.add(a.key, std::to_string(a.key), a.label);
        actions.push_back(std::make_unique<AnswerAction>(a.key, a.label, std::move(a.action)));
    }
}

void PQuestion::setAnswerTarget(std::int32_t key, bool flag) {
    answerFlag.store(flag);
    AnswerAction* found = nullptr;
    if (key != 0 && key != -9999) {
        for (const auto& a : actions) {
            if (a->key == key) {
                found = a.get();
                break;
            }
        }
    }
    chosen.store(found);
}

void PQuestion::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    writeTextState(*this, *this, widget, out, questionText);
}

void PQuestion::retranslate() {
    Param::retranslate();
    retranslateFormat(owner().translations());
}

void PQuestion::exportTexts(TextExport& out) const {
    Param::exportTexts(out);
    out.add(untranslatedFormat(), TextMode::format);
}

}  // namespace kestrava::params
