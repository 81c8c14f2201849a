#pragma once

#include "params/LMEnumList.h"
#include "params/PButton.h"
#include "params/Param.h"
#include "params/ParamTextfield.h"

#include <memory>
#include <vector>

namespace kestrava::params {

// A page element that opens over the page when a user change asks for it (a value parameter's
// popup id). While an answer is chosen, a request to open presses that answer instead.
class PPopup : public Param, public ParamTextfield {
public:
    PPopup(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name,
           std::string_view format);

    // Opens (true) or closes (false).
    void show(bool open);
    // Chooses the answer with this key; 0 and -9999 clear the choice.
    virtual void setAnswerTarget(std::int32_t key, bool flag) = 0;
    // Before opening or closing; true keeps the popup from opening.
    virtual bool onShow(ParamId id, bool open);

protected:
    // The chosen answer, or null.
    virtual ParamButtonBase* chosenAnswer() const = 0;
};

// A question with answers, each bound to an action. Nothing in the encoder creates one.
class PQuestion : public PPopup {
public:
    struct Answer {
        std::int32_t key;
        std::string label;
        ButtonFunction action;
    };

    PQuestion(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name,
              std::string_view question, int maxLen, std::vector<Answer> answers);

    std::string getText(int) const override { return questionText; }
    int getMaxLen() const override { return maxLen; }
    bool setFromTypedText(std::string_view, bool) override { return false; }
    std::string getFieldText(int) const override { return questionText; }

    void setAnswerTarget(std::int32_t key, bool flag) override;
    const LMEnumList& answerList() const { return answers; }

    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override { writeTextFieldDescriptor(out); }
    void retranslate() override;
    void exportTexts(TextExport& out) const override;

protected:
    ParamButtonBase* chosenAnswer() const override { return chosen.load(); }

private:
    class AnswerAction : public ParamButtonBase {
    public:
        AnswerAction(std::int32_t k, std::string l, ButtonFunction a)
            : key(k), label(std::move(l)), action(std::move(a)) {}
        void press(int view) override { action.invoke(view); }
        std::string getLabel() const override { return label; }
        const std::int32_t key;
        const std::string label;
        const ButtonFunction action;
    };

    const std::string questionText;
    const int maxLen;
    LMEnum_DynamicLengthList answers;
    std::vector<std::unique_ptr<AnswerAction>> actions;
    std::atomic<AnswerAction*> chosen{nullptr};
    std::atomic<bool> answerFlag{false};
};

}  // namespace kestrava::params
