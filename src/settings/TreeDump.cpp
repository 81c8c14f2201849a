#include "settings/TreeDump.h"

#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PCorvixKoekError.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PFloatDb.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PMpx.h"
#include "params/PString.h"
#include "params/PSubLevel.h"
#include "params/PWave.h"
#include "params/ids/ParamIdName.h"

#include <cstdio>

namespace kestrava::settings {

using namespace params;

namespace {

template <typename T>
bool is(const Param& p) {
    return dynamic_cast<const T*>(&p) != nullptr;
}

// Control characters would break the one-line-per-row form.
std::string oneLine(std::string s) {
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return s;
}

}  // namespace

std::string rowClassName(const Param& p) {
    if (is<PListManager>(p)) return "PListManager";
    if (is<PDec>(p)) return "PDec";
    if (is<PInt>(p)) return "PInt";
    if (is<PFloatDb>(p)) return "PFloatDb";
    if (is<PTilt>(p)) return "PTilt";
    if (is<PFloat>(p)) return "PFloat";
    if (is<PEnum>(p)) return "PEnum";
    if (is<PBool>(p)) return "PBool";
    if (is<PString>(p)) return "PString";
    if (is<PDisplayText>(p)) return "PDisplayText";
    if (is<PSubLevel>(p)) return "PSubLevel";
    if (is<PHr>(p)) return "PHr";
    if (is<PButton>(p)) return "PButton";
    if (is<PCorvixKoekError>(p)) return "PCorvixKoekError";
    if (is<PMpx>(p)) return "PMpx";
    if (is<PWave>(p)) return "PWave";
    return "Param";
}

std::string dumpTreeLine(int index, const Param& p) {
    std::string defaultText;
    if (const auto* e = dynamic_cast<const PEnum*>(&p)) {
        defaultText = std::to_string(e->getValue(ValueKind::defaultValue));
        const std::string key = e->keyText();
        if (!key.empty()) defaultText += " \"" + key + "\"";
    } else if (const auto* w = dynamic_cast<const PWave*>(&p)) {
        // The span, also of a display that is not saved.
        char text[32];
        std::snprintf(text, sizeof text, "%f", static_cast<double>(w->getValue(ValueKind::defaultValue)));
        defaultText = text;
    } else if (p.valueCount() > 0) {
        defaultText = p.saveText(0);
    }
    const NamePair* section = p.sectionNames();
    std::string line = std::to_string(index);
    for (const std::string& field :
         {std::string(getParamIdName(p.id())), rowClassName(p), section != nullptr ? section->inUse() : std::string(),
          p.keyName(0), p.shortKey(), std::to_string(p.viewMask()), std::string(p.isPersistent() ? "1" : "0"),
          defaultText}) {
        line += '\t';
        line += oneLine(field);
    }
    return line;
}

std::string dumpTree(const std::vector<std::unique_ptr<Param>>& rows) {
    std::string out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out += dumpTreeLine(static_cast<int>(i), *rows[i]);
        out += '\n';
    }
    return out;
}

}  // namespace kestrava::settings
