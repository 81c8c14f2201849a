#pragma once

#include "params/RequestValues.h"
#include "params/WordWriter.h"
#include "params/ids/ParamId.h"

#include <mutex>
#include <string>
#include <string_view>

namespace kestrava::params {

class Param;
class TextCatalog;

// The text-entry part of a parameter: a display format (as declared, and translated), a maximum
// length, and the password and newline options that the web client receives in the text-field
// descriptor.
class ParamTextfield {
public:
    static constexpr std::size_t maxFormatChars = 31;
    static constexpr int maxTypedChars = 2048;

    ParamTextfield(Param& self, std::string_view format);
    virtual ~ParamTextfield() = default;

    // The value as the field shows it (default: the formatted current value).
    virtual std::string getText(int view) const;
    virtual int getMaxLen() const = 0;
    virtual int getFieldLength() const { return getMaxLen(); }
    // A typed text: parsed, range-checked, set, and the user change notified. `raw`: as sent by
    // the web client (no server-side hashing).
    virtual bool setFromTypedText(std::string_view text, bool raw) = 0;
    virtual bool isPassword() const { return false; }
    virtual bool dontStorePassword() const { return false; }
    virtual ParamId getHashWithId() const { return ID_NONE; }
    virtual bool supportsNewline() const { return false; }
    // max_len, is_password, dont_store_password, supports_newline, hash_with_id (32 bits).
    virtual void writeTextFieldDescriptor(WordWriter& out) const;
    // The text offered for editing.
    virtual std::string getFieldText(int view) const = 0;

    std::string format() const;
    std::string untranslatedFormat() const { return declaredFormat; }
    // Puts the translated format in force; a change re-measures the field and marks the value
    // changed in every view.
    void retranslateFormat(const TextCatalog* catalog);

    // Reads a request text at `position` (the length number) and, when `apply`, hands it to
    // setFromTypedText as typed by the web client.
    bool readTextWireInput(const RequestValues& values, int& position, bool apply);

protected:
    Param& self;
    // Called when the displayed format changed (the classes re-check their format).
    virtual void formatChanged() {}

private:
    mutable std::mutex formatMutex;
    std::string displayedFormat;
    const std::string declaredFormat;
};

}  // namespace kestrava::params
