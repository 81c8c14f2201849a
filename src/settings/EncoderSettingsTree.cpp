#include "settings/EncoderSettingsTree.h"

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
#include "settings/EncoderSettings.h"
#include "settings/RowTable.h"
#include "settings/SectionNames.h"
#include "settings/TreeBuilder.h"
#include "settings/ValueTables.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <stdexcept>

using kestrava::audio::OldSamples;

namespace kestrava::settings {

using namespace params;

namespace {

const LMEnumList* listOf(List l, const TreeSources& s) {
    switch (l) {
        case List::None: return nullptr;
        case List::Version: return &versionList();
        case List::BitrateV0: return &bitrateV0List();
        case List::BitrateV1: return &bitrateV1List();
        case List::BitratePlus: return &bitrateV4PlusList();
        case List::VbrBits: return &vbrBitsList();
        case List::VbrQuality: return &vbrQualityList();
        case List::GpsDevice: return &gpsDeviceList();
        case List::GpsBaud: return &gpsBaudrateList();
        case List::Soundcards: return s.soundcards;
    }
    return nullptr;
}

const ButtonFunction* actionOf(Action a, const TreeSources& s) {
    switch (a) {
        case Action::None: return nullptr;
        case Action::HashStreamPassword: return s.hashStreamPassword;
        case Action::ApplyStreamKeyEntry: return s.applyStreamKeyEntry;
    }
    return nullptr;
}

// A NUL-terminated field of the live settings record as text (never past its end).
template <std::size_t N>
std::string fieldText(const char (&field)[N], std::size_t limit = N - 1) {
    return std::string(field, strnlen(field, std::min(limit, N - 1)));
}
template <std::size_t N>
std::string fieldText(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), N - 1));
}

struct DefaultValue {
    bool b = false;
    std::int64_t i = 0;
    float f = 0.0f;
    std::string s;
};

DefaultValue defaultOf(const RowSpec& r, const TreeSources& src) {
    const EncoderSettings& e = *src.settings;
    DefaultValue v;
    switch (r.field) {
        case Field::None: break;
        case Field::Literal: v.f = static_cast<float>(r.literal); break;
        case Field::ProgramVersion: v.s = src.programVersion; break;
        case Field::WebEnabled: v.b = src.webEnabled; break;
        case Field::WebPort: v.i = src.webPort; break;
        case Field::WebWhiteList: v.s = src.webWhiteList; break;
        case Field::WebLowBandwidth: v.b = src.webLowBandwidth; break;
        case Field::CodecVersion: v.i = e.codecVersion; break;
        case Field::PlusMode: v.b = e.plusMode; break;
        case Field::BitrateV1: v.i = e.bitrateV1; break;
        case Field::Bitrate: v.i = e.bitrate; break;
        case Field::BitratePlus: v.i = e.bitratePlus; break;
        case Field::VariableBitrate: v.b = e.variableBitrate; break;
        case Field::VbrNoiseLevel: v.i = e.vbrNoiseLevel; break;
        case Field::VbrMaxBitrate: v.i = e.vbrMaxBitrate; break;
        case Field::ResetInterval: v.f = e.keyframeInterval; break;
        case Field::FecGroupSize: v.i = e.fecGroupSize; break;
        case Field::FecOverhead: v.i = e.fecOverhead; break;
        case Field::RateLimit: v.i = e.rateLimitMargin; break;
        case Field::GpsOn: v.b = e.gpsOn; break;
        case Field::GpsDevice: v.i = e.gpsDevice; break;
        case Field::GpsDeviceName: v.s = fieldText(e.gpsDeviceName); break;
        case Field::GpsClockOffset: v.f = e.gpsClockOffset; break;
        case Field::GpsBaudRate: v.i = e.gpsBaudRate; break;
        case Field::GpsUsbDelay: v.f = e.gpsUsbDelay; break;
        case Field::GpsLock: v.b = src.gpsLockStatus; break;
        case Field::NmeaData: v.b = src.nmeaDataStatus; break;
        case Field::NmeaTimestampText: v.s = src.nmeaTimestampText; break;
        case Field::GpsEncoderOffsetText: v.s = src.gpsEncoderOffsetText; break;
        case Field::GpsStamperSampleRateText: v.s = src.gpsStamperSampleRateText; break;
        case Field::StreamProtection: v.b = e.streamProtection; break;
        // Cut to the 32 characters of the row, so the default always fits.
        case Field::StreamKey: v.s = fieldText(e.activeStreamKeyHash, 32); break;
        case Field::StreamPassword: v.s = fieldText(e.newStreamPassword); break;
        case Field::StreamKeyEntry: v.s = fieldText(e.newStreamKeyHash); break;
        case Field::ActiveDestinationCount: v.i = src.activeDestinationCount; break;
        case Field::InputDevice: v.i = e.inputDevice; break;
        case Field::InputGain: v.f = e.inputGain; break;
        case Field::TiltOn: v.b = e.tiltOn; break;
        case Field::TiltRc: v.f = e.tiltRc; break;
        case Field::AncillaryData: v.s = src.ancillaryDataText; break;
    }
    return v;
}

NamePair keyPair(std::string_view key) {
    NamePair k(key);
    k.count = 1;  // a key record is always "name set", also when the name is empty
    return k;
}

// The rows the shown rules read, as declared so far.
struct RuleRows {
    PEnum* version = nullptr;
    PBool* plus = nullptr;
    PEnum* gpsDevice = nullptr;
};

bool enabledValue(const PBool* p) { return p != nullptr && p->isEnabled() && p->current(); }

bool shownBy(Shown rule, const RuleRows& r) {
    return shownByRule(rule, r.version != nullptr ? r.version->current() : 0, enabledValue(r.plus),
                       r.gpsDevice != nullptr ? r.gpsDevice->current() : -1);
}

void declareDestinations(TreeBuilder& b) {
    const EncoderSettings& e = *b.sources.settings;
    for (int i = 0; i < destinationCount; ++i) {
        const auto n = static_cast<std::size_t>(i);
        const auto at = [i](ParamId first) { return static_cast<ParamId>(first + i); };
        b.append(std::make_unique<PBool>(b.owner, 4, at(PARAM_KVRA_Enabled_0), e.destinationOn[n], 1,
                                         ShortKey(formatIndex("KVOn%03d", i)), b.section,
                                         keyPair(formatIndex("Corvix Kestrava Enabled %d", i)), "On"));
        b.append(std::make_unique<PString>(b.owner, 4, at(PARAM_KVRA_IP_0), 64, fieldText(e.destinationHost[n]),
                                           ShortKey(formatIndex("KVIP%03d", i)), b.section,
                                           keyPair(formatIndex("Corvix Kestrava IP %d", i)), "IP", "%s"))
            ->setPresetMode(1);
        b.append(std::make_unique<PDec>(b.owner, 4, at(PARAM_KVRA_Port_0), 5, e.destinationPort[n],
                                        ShortKey(formatIndex("KVPo%03d", i)), b.section,
                                        keyPair(formatIndex("Corvix Kestrava Port %d", i)), "Port", "%d"))
            ->setPresetMode(1);
        b.append(std::make_unique<PEnum>(b.owner, 4, at(PARAM_KVRA_Interface_0), b.sources.interfaces, true, 256,
                                         e.destinationNic[n], ShortKey(formatIndex("KVIf%03d", i)), b.section,
                                         keyPair(formatIndex("Corvix Kestrava Interface %d", i)), "NIC"));
        b.append(std::make_unique<PString>(b.owner, 4, at(PARAM_KVRA_NAME_0), 32,
                                           fieldText(e.destinationDescription[n]),
                                           ShortKey(formatIndex("KVRDe%d", i)), b.section,
                                           keyPair(formatIndex("Corvix Kestrava target description %d", i)),
                                           "Description", "%s"));
    }
}

void applyAttributes(Param& p, unsigned attrs) {
    if ((attrs & Attr::presetMode1) != 0) p.setPresetMode(1);
    if ((attrs & Attr::presetMode0) != 0) p.setPresetMode(0);
    if ((attrs & Attr::noSave) != 0) p.setPersistent(false);
    if ((attrs & Attr::notEditable) != 0) p.setEditable(false);
    if ((attrs & Attr::notGeneral) != 0) p.setGeneral(false);
    if ((attrs & Attr::hideWhileDisabled) != 0) p.setShownFollowsEnabled(true);
}

Param* declareRow(TreeBuilder& b, const RowSpec& r, RuleRows& rules) {
    const TreeSources& src = b.sources;
    const DefaultValue d = defaultOf(r, src);
    const ShortKey sk(r.shortKey);
    const NamePair key = keyPair(r.key);
    ParamOwner& o = b.owner;
    switch (r.cls) {
        case Cls::Hr: return b.append(std::make_unique<PHr>(o, r.viewMask, r.id, r.title));
        case Cls::SubLevel: {
            std::optional<std::string> caption;
            if (r.caption != nullptr) caption = r.caption;
            return b.append(std::make_unique<PSubLevel>(o, r.viewMask, r.id, r.arg, caption, b.section, r.title));
        }
        case Cls::Bool: {
            auto* p = b.append(std::make_unique<PBool>(o, r.viewMask, r.id, d.b, r.arg, sk, b.section, key, r.title));
            if (r.id == PARAM_KVRA_PlusEnabled) rules.plus = p;
            return p;
        }
        case Cls::Enum: {
            auto* p = b.append(std::make_unique<PEnum>(o, r.viewMask, r.id, listOf(r.list, src),
                                                       (r.attrs & Attr::unknownAllowed) != 0,
                                                       static_cast<std::int32_t>(r.scale),
                                                       static_cast<std::int32_t>(d.i), sk, b.section, key, r.title));
            if (r.id == PARAM_KVRA_Version) rules.version = p;
            if (r.id == PARAM_KVRA_GpsNmeaDeviceSelection) rules.gpsDevice = p;
            return p;
        }
        case Cls::String:
            return b.append(std::make_unique<PString>(o, r.viewMask, r.id, r.arg, d.s, sk, b.section, key, r.title,
                                                      r.format));
        case Cls::Dec:
            return b.append(std::make_unique<PDec>(o, r.viewMask, r.id, 5, static_cast<std::int32_t>(d.i), sk,
                                                   b.section, key, r.title, r.format));
        case Cls::Int: {
            auto* p = b.append(std::make_unique<PInt>(o, r.viewMask, r.id, 6, static_cast<std::int64_t>(r.minimum),
                                                      static_cast<std::int64_t>(r.maximum),
                                                      static_cast<std::int64_t>(r.scale), d.i, sk, b.section, key,
                                                      r.title, r.format));
            if ((r.attrs & Attr::rateCompanion) != 0) p->setCompanionValue(src.settings->totalBitrate);
            return p;
        }
        case Cls::Float:
            return b.append(std::make_unique<PFloat>(o, r.viewMask, r.id, r.arg, static_cast<float>(r.minimum),
                                                     static_cast<float>(r.maximum), static_cast<float>(r.scale), d.f,
                                                     r.decimals, 1.0f, sk, b.section, key, r.title, r.format, 1.0f));
        case Cls::GainDb:
            // 0 to +32 dB: the upper limit is 10^(32/20) as a float.
            return b.append(std::make_unique<PFloatDb>(o, r.viewMask, r.id, 1.0f, 40.0f, 100.0f, d.f, 2, 1.0f, sk,
                                                       b.section, key, r.title, r.format, 100.0f, 1.0f, 39.8107f));
        case Cls::Tilt:
            return b.append(std::make_unique<PTilt>(o, r.viewMask, r.id, -5.0f, 5.0f, 50.0f, d.f, 6, 1.0f, sk,
                                                    b.section, key, r.title, r.format, 1.0f));
        case Cls::ListManager:
            return b.append(std::make_unique<PListManager>(
                o, r.viewMask, r.id, 0, static_cast<std::int32_t>(r.minimum), static_cast<std::int32_t>(r.maximum),
                static_cast<std::int32_t>(r.scale), static_cast<std::int32_t>(d.i), sk, b.section, key, r.title,
                src.destinationRows));
        case Cls::Button:
            return b.append(std::make_unique<PButton>(o, r.viewMask, r.id, actionOf(r.action, src), r.title));
        case Cls::Wave: {
            // The scope of the input after the input stage searches the client's time offset for
            // its alignment; the two input waves search a fixed last 0.1 s. The detilted wave
            // follows the wave of the input before tilt correction.
            const bool scope = r.id == OUTPUT_FM_WAVE;
            OldSamples* history = r.id == INPUT_WAVE2 ? src.rawInputHistory : src.inputHistory;
            PWave* master = r.id == INPUT_WAVE_DETILTED ? dynamic_cast<PWave*>(b.find(INPUT_WAVE2)) : nullptr;
            return b.append(std::make_unique<PWave>(o, r.viewMask, r.id, PWave::waveKind, history, master, d.f, true,
                                                    !scope, sk, b.section, key));
        }
        case Cls::Spectrum:
            return b.append(std::make_unique<PMpx>(o, r.viewMask, r.id, src.rawInputHistory, sk, b.section, key));
        case Cls::DisplayText:
            return b.append(std::make_unique<PDisplayText>(o, r.viewMask, r.id, r.arg, d.s, r.title, r.format));
        case Cls::ErrorList: return b.append(std::make_unique<PCorvixKoekError>(o, r.viewMask, r.id, ""));
        case Cls::Section:
        case Cls::Destinations:
        case Cls::Accounts: break;
    }
    return nullptr;
}

}  // namespace

std::string formatIndex(const char* format, int index) {
    char text[128];
    std::snprintf(text, sizeof text, format, index);
    return text;
}

std::vector<std::unique_ptr<Param>> buildEncoderSettings(ParamOwner& owner, const TreeSources& sources) {
    if (sources.settings == nullptr) throw std::invalid_argument("settings tree: no live settings record");
    TreeBuilder b(owner, sources);
    b.rows.reserve(encoderParamCount);
    RuleRows rules;
    for (const RowSpec& r : encoderRowTable()) {
        switch (r.cls) {
            case Cls::Section: b.section = sectionName(r.arg); continue;
            case Cls::Destinations: declareDestinations(b); continue;
            case Cls::Accounts:
                declareAccountSettings(b);
                declareAccountPage(b);
                continue;
            default: break;
        }
        Param* p = declareRow(b, r, rules);
        applyAttributes(*p, r.attrs);
        if (r.shown != Shown::NoRule) p->setShown(shownBy(r.shown, rules));
    }
    return std::move(b.rows);
}

}  // namespace kestrava::settings
