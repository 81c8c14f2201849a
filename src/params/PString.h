#pragma once

#include "params/ParamTextfield.h"
#include "params/ValueParam.h"

#include <memory>
#include <vector>

namespace kestrava::params {

// An editable text setting, cut to maxLen characters. A password field stores the SHA-256 digest
// (64 lower-case hex digits) of the password joined with the value of another text parameter (the
// user name): the web client hashes before sending, a text entered on the server side is hashed
// here. The field shows asterisks only. Changing the user name empties every password hashed
// with it.
class PString : public ValueParam<std::string>, public ParamTextfield {
public:
    PString(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int maxLen, std::string_view defaultText,
            const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
            std::string_view format);
    ~PString() override;

    void setPasswordMode(PString* hashWith);
    // The digest rule; the empty password gives the empty text.
    std::string hashPassword(std::string_view password) const;
    // Set by every change; the walker that copies values into the live settings clears it.
    bool takeChangedSinceStore() { return changedSinceStore.exchange(false); }
    bool changedSinceStoreFlag() const noexcept { return changedSinceStore.load(); }
    int maskLength() const noexcept { return maskLength_.load(); }

    bool setValue(std::string v) override;
    std::string formatValue(int view, const std::string& v) const override;
    std::string parseText(int, std::string_view text) const override { return std::string(text); }
    std::string valueFromSliderPosition(int, float) const override { return {}; }
    bool isKindSupported() const override { return kind() == 12; }

    std::string getText(int view) const override;
    int getMaxLen() const override { return maxLen; }
    bool setFromTypedText(std::string_view text, bool raw) override;
    bool isPassword() const override { return password.load(); }
    bool dontStorePassword() const override { return !storePassword.load(); }
    ParamId getHashWithId() const override;
    std::string getFieldText(int) const override { return current(); }

    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override { writeTextFieldDescriptor(out); }
    void retranslate() override;
    void exportTexts(TextExport& out) const override;
    std::string saveText(int) const override { return current(); }
    std::string displayText() const override { return current(); }
    float sliderPosition(int) const override { return -1.0f; }

protected:
    std::string normalized(std::string v) const override;

private:
    const int maxLen;
    std::atomic<bool> password{false};
    std::atomic<bool> storePassword{false};
    std::atomic<int> maskLength_{0};
    std::atomic<PString*> hashWith{nullptr};
    std::mutex dependentsMutex;
    std::vector<PString*> dependents;
    std::atomic<bool> changedSinceStore{false};
};

// A read-only text: a notice whose name is the message, or a row that shows a text the system
// produces. Never edited, saved or loaded. With an empty format and a width above 0, the name is a
// format with one text conversion and the value is filled into it (name-format mode).
class PDisplayText : public ValueParam<std::string>, public ParamTextfield {
public:
    PDisplayText(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int width, std::string_view defaultText,
                 std::string_view name, std::string_view format);

    std::string name() const override;
    int nameLength() const override;
    bool setValue(std::string v) override;
    std::string formatValue(int view, const std::string& v) const override;
    std::string parseText(int, std::string_view text) const override { return std::string(text); }
    std::string valueFromSliderPosition(int, float) const override { return {}; }
    bool isKindSupported() const override { return kind() == 37 || kind() == 9; }

    int getMaxLen() const override { return fieldLength.load(); }
    bool setFromTypedText(std::string_view text, bool raw) override;
    std::string getFieldText(int) const override { return current(); }

    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override { writeTextFieldDescriptor(out); }
    void updateTextWidth() override;
    void retranslate() override;
    void exportTexts(TextExport& out) const override;
    std::string saveText(int) const override { return current(); }
    std::string displayText() const override { return current(); }
    float sliderPosition(int) const override { return -1.0f; }

protected:
    std::string normalized(std::string v) const override;

private:
    bool nameFormatMode() const { return format().empty() && width > 0; }
    void fillDisplayName(const std::string& value);

    const int width;
    std::atomic<int> fieldLength;
    std::string displayName_;  // under textMutex
};

std::unique_ptr<PDisplayText> createDisplayText(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int width,
                                                std::string_view defaultText, std::string_view name,
                                                std::string_view format);

// Lower-case hex SHA-256 of bytes.
std::string sha256Hex(std::string_view bytes);

}  // namespace kestrava::params
