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

// What a table row declares. Section, Destinations and Accounts are steps of the sequence,
// not rows: a section change and the two generated families.
enum class Cls : std::uint8_t {
    Section, Hr, SubLevel, Bool, Enum, String, Dec, Int, Float, GainDb, Tilt, ListManager, Button, Wave,
    Spectrum, Destinations, Accounts, DisplayText, ErrorList,
};

// Where a row's default comes from.
enum class Def : std::uint8_t {
    None, Literal, ProgramVersion, WebEnabled, WebPort, WebWhiteList, WebLowBandwidth, CodecVersion, PlusMode,
    BitrateV1, Bitrate, BitratePlus, VariableBitrate, VbrNoiseLevel, VbrMaxBitrate, ResetInterval, FecGroupSize,
    FecOverhead, RateLimit, GpsOn, GpsDevice, GpsDeviceName, GpsClockOffset, GpsBaudRate, GpsUsbDelay, GpsLock,
    NmeaData, NmeaTimestampText, GpsEncoderOffsetText, GpsStamperSampleRateText, StreamProtection, StreamKey,
    StreamPassword, StreamKeyEntry, ActiveDestinationCount, InputDevice, InputGain, TiltOn, TiltRc, AncillaryData,
};

enum class List : std::uint8_t {
    None, Version, BitrateV0, BitrateV1, BitratePlus, VbrBits, VbrQuality, GpsDevice, GpsBaud, Soundcards,
};

enum class Action : std::uint8_t { None, HashStreamPassword, ApplyStreamKeyEntry };

// The initial shown state; the visibility walk applies the same rules later.
enum class Shown : std::uint8_t { Always, VersionIs0, PlainBitrate, PlusBitrate, NamedGpsDevice, SystemClock, NotSystemClock };

namespace Attr {
inline constexpr unsigned notEditable = 1u << 0;
inline constexpr unsigned noSave = 1u << 1;
inline constexpr unsigned notGeneral = 1u << 2;
inline constexpr unsigned presetMode1 = 1u << 3;  // resettable, not part of presets
inline constexpr unsigned presetMode0 = 1u << 4;  // neither
inline constexpr unsigned hideWhileDisabled = 1u << 5;
inline constexpr unsigned rateCompanion = 1u << 6;  // shows the stream rate beside the limit
inline constexpr unsigned unknownAllowed = 1u << 7;
}  // namespace Attr

struct RowSpec {
    Cls cls;
    ParamId id = ID_NONE;
    std::uint32_t viewMask = 4;
    const char* shortKey = "";
    const char* key = "";
    const char* title = "";
    const char* format = "";
    Def def = Def::None;
    List list = List::None;
    Action action = Action::None;
    unsigned attrs = 0;
    Shown shown = Shown::Always;
    int arg = 0;  // section entry, sub-level level, bool style, text length, float kind
    double minimum = 0, maximum = 0, scale = 0;
    int decimals = 0;
    const char* caption = nullptr;  // group caption of a sub-level
    double literal = 0;             // a literal default (display time spans)
};

// The declaration in creation order.
constexpr RowSpec rowTable[] = {
    {.cls = Cls::Section, .arg = SectionEntry::webInterface},
    {.cls = Cls::Hr, .id = ID_OPEN_SYSTEM_INFO, .title = "System info"},
    {.cls = Cls::Hr, .id = ID_OPEN_WAVE_OUTPUT_LMXFP, .title = "Output"},
    {.cls = Cls::Hr, .id = ID_OPEN_FMOUTPUT, .title = "Output signal"},
    {.cls = Cls::String, .id = NOSAVEPARAM_SWVERSION, .shortKey = "SWVER", .key = "Software version",
     .title = "Software version", .format = "%s", .def = Def::ProgramVersion,
     .attrs = Attr::notEditable | Attr::noSave, .arg = 24},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_GLOBAL, .title = "Main", .arg = 0, .caption = "Configuration"},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_GLOBAL_WEB, .title = "Web interface", .arg = 1},
    {.cls = Cls::Hr, .id = ID_OPEN_WEB, .title = "Web"},
    {.cls = Cls::Bool, .id = PARAM_WebserverEnable, .shortKey = "WebEnab", .key = "Enable web interface",
     .title = "Enable web interface", .def = Def::WebEnabled, .attrs = Attr::notGeneral, .arg = 1},
    {.cls = Cls::Dec, .id = PARAM_WebserverPort, .shortKey = "WebPort", .key = "Port", .title = "Port",
     .format = "%d", .def = Def::WebPort, .attrs = Attr::presetMode1 | Attr::notGeneral},
    {.cls = Cls::String, .id = PARAM_WebServer_Whitelist, .shortKey = "WebWhite", .key = "Whitelist",
     .title = "Whitelist", .format = "%s", .def = Def::WebWhiteList, .attrs = Attr::presetMode1 | Attr::notGeneral,
     .arg = 1024},
    {.cls = Cls::Bool, .id = PARAM_WebServer_LowBandwidth, .shortKey = "WebLowBW", .key = "Low bandwidth",
     .title = "Low bandwidth mode", .def = Def::WebLowBandwidth, .arg = 0},

    // Codec quality and error recovery.
    {.cls = Cls::Section, .arg = SectionEntry::encoder},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_KVRA, .viewMask = 2, .title = "Kestrava encoder", .arg = 1},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR_STREAM, .title = "Stream"},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR_TOP, .title = "Stream"},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR, .title = "Quality settings"},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Version, .shortKey = "KVRAVers", .key = "Corvix Kestrava  version",
     .title = "Version", .def = Def::CodecVersion, .list = List::Version, .scale = 1024},
    {.cls = Cls::Bool, .id = PARAM_KVRA_PlusEnabled, .shortKey = "KVRAPlus", .key = "Use Corvix Kestrava Plus",
     .title = "Encode in Kestrava+ (very low bitrates)", .def = Def::PlusMode, .attrs = Attr::hideWhileDisabled},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Bitrate_V0, .shortKey = "KVRABaud", .key = "Corvix Kestrava Bitrate",
     .title = "Bitrate (V1)", .def = Def::BitrateV1, .list = List::BitrateV0, .shown = Shown::VersionIs0,
     .scale = 4096},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Bitrate_V1, .shortKey = "KVRABau1", .key = "Corvix Kestrava Bitrate V2",
     .title = "Bitrate", .def = Def::Bitrate, .list = List::BitrateV1, .shown = Shown::PlainBitrate, .scale = 4096},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Bitrate_V4PLUS, .shortKey = "KVRABa4P",
     .key = "Corvix Kestrava Bitrate Kestrava Plus", .title = "Bitrate", .def = Def::BitratePlus,
     .list = List::BitratePlus, .shown = Shown::PlusBitrate, .scale = 4096},
    {.cls = Cls::Bool, .id = PARAM_KVRA_VariableBitrate, .shortKey = "KVRAVBR",
     .key = "Use Corvix Kestrava Plus variable bitrate", .title = "Variable bitrate", .def = Def::VariableBitrate,
     .attrs = Attr::hideWhileDisabled},
    {.cls = Cls::Enum, .id = PARAM_KVRA_VariableBitrateBits, .shortKey = "KVRAVBRB",
     .key = "Use Corvix Kestrava Plus variable bitrate - Noise level", .title = "VBR noise level",
     .def = Def::VbrNoiseLevel, .list = List::VbrBits, .attrs = Attr::hideWhileDisabled, .scale = 32768},
    {.cls = Cls::Enum, .id = PARAM_KVRA_VariableBitrateQuality, .shortKey = "KVRAVBRM",
     .key = "Use Corvix Kestrava Plus variable bitrate - Maximum bitrate", .title = "VBR maximum bitrate",
     .def = Def::VbrMaxBitrate, .list = List::VbrQuality, .attrs = Attr::hideWhileDisabled, .scale = 4096},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR_RECOVERY, .title = "Error recovery"},
    {.cls = Cls::Float, .id = PARAM_KVRA_ResetInterval, .shortKey = "KVRARInt",
     .key = "Corvix Kestrava Reset packet interval", .title = "Keyframe interval", .format = "%.1f sec",
     .def = Def::ResetInterval, .arg = 1, .minimum = 0, .maximum = 5, .scale = 3600, .decimals = 1},
    {.cls = Cls::Int, .id = PARAM_KVRA_RedundancyPacketDelay, .shortKey = "KVRARPD",
     .key = "Corvix Kestrava Redundancy packet delay", .title = "Error correction size / Delay",
     .format = "%d packets", .def = Def::FecGroupSize, .minimum = 0, .maximum = 255, .scale = 4096},
    {.cls = Cls::Int, .id = PARAM_KVRA_RedundancyPacketOverhead, .shortKey = "KVRARPO",
     .key = "Corvix Kestrava Redundancy packet overhead", .title = "Error correction overhead",
     .format = "%d packets", .def = Def::FecOverhead, .minimum = 0, .maximum = 255, .scale = 4096},
    {.cls = Cls::Int, .id = PARAM_KVRA_TRPMaxBytesPerSecond, .shortKey = "KVRATMBS",
     .key = "Corvix Kestrava Rate limiter", .title = "Limit rate below", .format = "%d kbit/s",
     .def = Def::RateLimit, .attrs = Attr::rateCompanion, .minimum = 0, .maximum = 512, .scale = 16384},

    // GPS synchronisation and status.
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_KVRA_GPS, .title = "GPS", .arg = 2},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS_SFN, .title = "GPS SFN"},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS, .title = "GPS synchronization"},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_SETTINGS_GPS, .title = "GPS synchronization"},
    {.cls = Cls::Bool, .id = PARAM_KVRA_gps_stamping_enabled, .shortKey = "KVRAGPEn",
     .key = "Enable GPS time encoding", .title = "Enable GPS time encoding", .def = Def::GpsOn},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS_NMEA_PPS, .title = "NMEA"},
    {.cls = Cls::Enum, .id = PARAM_KVRA_GpsNmeaDeviceSelection, .shortKey = "KVRGPSSe",
     .key = "Corvix Kestrava GPS NMEA device", .title = "GPS NMEA device", .def = Def::GpsDevice,
     .list = List::GpsDevice, .attrs = Attr::presetMode1, .scale = 256},
    {.cls = Cls::String, .id = PARAM_KVRA_GpsNmeaDeviceName, .shortKey = "KVRGPSDe",
     .key = "Corvix Kestrava GPS NMEA device name", .title = "Name", .format = "%s", .def = Def::GpsDeviceName,
     .attrs = Attr::presetMode1, .shown = Shown::NamedGpsDevice, .arg = 256},
    {.cls = Cls::Float, .id = PARAM_KVRA_GpsSystemClockOffset, .shortKey = "KVRGPSCO",
     .key = "Corvix Kestrava GPS System clock offset", .title = "System clock offset vs GPS clock",
     .format = "+%.2f s", .def = Def::GpsClockOffset, .shown = Shown::SystemClock, .arg = 1, .minimum = -1,
     .maximum = 1, .scale = 10, .decimals = 2},
    {.cls = Cls::Enum, .id = PARAM_KVRA_GpsNmeaDeviceBaudrate, .shortKey = "KVRGPSBa",
     .key = "Corvix Kestrava GPS NMEA device baud rate", .title = "Baudrate", .def = Def::GpsBaudRate,
     .list = List::GpsBaud, .attrs = Attr::presetMode1, .shown = Shown::NotSystemClock, .scale = 256000},
    {.cls = Cls::Float, .id = PARAM_KVRA_GpsStampingDelay, .shortKey = "KVRGPSSO",
     .key = "Corvix Kestrava GPS NMEA USB timestamp reception delay", .title = "USB reception delay",
     .format = "%.3f s", .def = Def::GpsUsbDelay, .shown = Shown::NotSystemClock, .arg = 1, .minimum = 0,
     .maximum = 0.25, .scale = 10, .decimals = 3},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS_STATUS, .title = "Status"},
    {.cls = Cls::Bool, .id = NOSAVEPARAM_has_gps_lock, .title = "GPS lock", .def = Def::GpsLock, .arg = 2},
    {.cls = Cls::Bool, .id = NOSAVEPARAM_has_nmea_timestamps, .title = "NMEA data", .def = Def::NmeaData, .arg = 2},
    {.cls = Cls::String, .id = NOSAVEPARAM_has_nmea_timestamps_timestamp, .title = "GPS NMEA data", .format = "%s",
     .def = Def::NmeaTimestampText, .attrs = Attr::noSave | Attr::notEditable, .arg = 64},
    {.cls = Cls::String, .id = NOSAVEPARAM_has_gps_encoderOffset, .title = "Remaining offset to be compensated",
     .format = "%s", .def = Def::GpsEncoderOffsetText, .attrs = Attr::noSave | Attr::notEditable, .arg = 64},
    {.cls = Cls::String, .id = NOSAVEPARAM_gpsStatus_stamperSampleRate, .title = "Average samples between NMEA",
     .format = "%s", .def = Def::GpsStamperSampleRateText, .attrs = Attr::noSave | Attr::notEditable, .arg = 64},

    // Stream security.
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_KVRA_SECURITY, .title = "Security", .arg = 2},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_SECURITY_TOP, .title = "Password Protected Stream"},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_SECURITY, .title = "Security"},
    {.cls = Cls::Bool, .id = PARAM_KVRA_PasswordProtectStream, .shortKey = "KVRAPWP",
     .key = "Password protect stream", .title = "Password protect stream", .def = Def::StreamProtection},
    {.cls = Cls::String, .id = PARAM_KVRA_Key, .shortKey = "KVRAPWKe", .key = "Stream hash key",
     .title = "Active hash", .format = "%s", .def = Def::StreamKey, .attrs = Attr::notEditable, .arg = 32},
    {.cls = Cls::String, .id = NOSAVEPARAM_KVRA_Password, .shortKey = "KVRAPW", .key = "Password (unsaved)",
     .title = "New password", .format = "%s", .def = Def::StreamPassword,
     .attrs = Attr::presetMode0 | Attr::noSave, .arg = 128},
    {.cls = Cls::Button, .id = NOSAVEPARAM_KVRA_Password_Apply, .title = "Password to hash",
     .action = Action::HashStreamPassword},
    {.cls = Cls::String, .id = NOSAVEPARAM_KVRA_Hash, .shortKey = "KVRAKE", .key = "Hash key (unsaved)",
     .title = "New hash", .format = "%s", .def = Def::StreamKeyEntry, .attrs = Attr::presetMode0 | Attr::noSave,
     .arg = 32},
    {.cls = Cls::Button, .id = NOSAVEPARAM_KVRA_Hash_Apply, .title = "Activate hash",
     .action = Action::ApplyStreamKeyEntry},

    // Destinations: the heading, the list manager, then five rows per destination.
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA, .title = "Destinations"},
    {.cls = Cls::ListManager, .id = PARAM_KVRA_OUTPUTCOUNT, .shortKey = "kvraNofO",
     .key = "Number of active outputs", .title = "Kestrava targets", .def = Def::ActiveDestinationCount,
     .minimum = 1, .maximum = destinationCount, .scale = 1000},
    {.cls = Cls::Destinations},

    // Input sound card and its displays.
    {.cls = Cls::Section, .arg = SectionEntry::inputSoundcard},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_SOUNDCARDS_INPUT, .title = "Input", .arg = 1},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARD_DEVICE_TOP, .title = "Input"},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARD, .title = "Input sound card"},
    {.cls = Cls::Enum, .id = NOSAVEPARAM_INPUT1_Device, .shortKey = "ScInDevi", .key = "Device ID",
     .title = "Main input", .def = Def::InputDevice, .list = List::Soundcards,
     .attrs = Attr::presetMode1 | Attr::unknownAllowed, .scale = 64},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARD_GAIN, .title = "Low input level correction"},
    {.cls = Cls::GainDb, .id = PARAM_INPUT1_Gain, .shortKey = "ScInGain", .key = "Gain", .title = "Input gain",
     .format = "%+.2f dB (%.1f%%)", .def = Def::InputGain},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARDTILT, .title = "Input tilt"},
    {.cls = Cls::Bool, .id = PARAM_inputtilt_on, .shortKey = "ScInTiEn", .key = "Tilt correction - Enabled",
     .title = "Correction enabled", .def = Def::TiltOn},
    {.cls = Cls::Tilt, .id = PARAM_inputtilt_rc, .shortKey = "ScInRc", .key = "Tilt correction - RC", .title = "RC",
     .format = "%s", .def = Def::TiltRc, .attrs = Attr::presetMode1},
    {.cls = Cls::Hr, .id = ID_OPEN_IO_O_OVERVIEW, .title = "Input scope"},
    {.cls = Cls::Hr, .id = ID_OPEN_IO_OUT_MPX, .title = "Input spectrum"},
    // Scope on the second history (flags 0, 1, 0); spectrum on the first (62,000 and 1).
    {.cls = Cls::Wave, .id = OUTPUT_FM_WAVE, .def = Def::Literal, .literal = 0.025},
    {.cls = Cls::Spectrum, .id = OUTPUT_FM_MPX, .def = Def::Literal, .literal = -8192},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARDTILT2, .title = "Input & detilted input"},
    // The input before (first history) and after tilt correction (second history, linked to the
    // first wave, history offset 1); flags 1, 1, 1.
    {.cls = Cls::Wave, .id = INPUT_WAVE2, .shortKey = "ScInTilt", .key = "Tilt correction - waveform display",
     .def = Def::Literal, .attrs = Attr::noSave, .literal = 0.2},
    {.cls = Cls::Wave, .id = INPUT_WAVE_DETILTED, .def = Def::Literal, .literal = 0.2},

    {.cls = Cls::Accounts},

    // Closing rows.
    {.cls = Cls::DisplayText, .id = NOSAVEPARAM_GPO, .title = "Last received ancillary data", .format = "%s",
     .def = Def::AncillaryData, .arg = 128},
    {.cls = Cls::ErrorList, .id = ID_CORVIX_KOEK_ERRORS, .viewMask = 2},
};

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
    switch (r.def) {
        case Def::None: break;
        case Def::Literal: v.f = static_cast<float>(r.literal); break;
        case Def::ProgramVersion: v.s = src.programVersion; break;
        case Def::WebEnabled: v.b = src.webEnabled; break;
        case Def::WebPort: v.i = src.webPort; break;
        case Def::WebWhiteList: v.s = src.webWhiteList; break;
        case Def::WebLowBandwidth: v.b = src.webLowBandwidth; break;
        case Def::CodecVersion: v.i = e.codecVersion; break;
        case Def::PlusMode: v.b = e.plusMode; break;
        case Def::BitrateV1: v.i = e.bitrateV1; break;
        case Def::Bitrate: v.i = e.bitrate; break;
        case Def::BitratePlus: v.i = e.bitratePlus; break;
        case Def::VariableBitrate: v.b = e.variableBitrate; break;
        case Def::VbrNoiseLevel: v.i = e.vbrNoiseLevel; break;
        case Def::VbrMaxBitrate: v.i = e.vbrMaxBitrate; break;
        case Def::ResetInterval: v.f = e.keyframeInterval; break;
        case Def::FecGroupSize: v.i = e.fecGroupSize; break;
        case Def::FecOverhead: v.i = e.fecOverhead; break;
        case Def::RateLimit: v.i = e.rateLimitMargin; break;
        case Def::GpsOn: v.b = e.gpsOn; break;
        case Def::GpsDevice: v.i = e.gpsDevice; break;
        case Def::GpsDeviceName: v.s = fieldText(e.gpsDeviceName); break;
        case Def::GpsClockOffset: v.f = e.gpsClockOffset; break;
        case Def::GpsBaudRate: v.i = e.gpsBaudRate; break;
        case Def::GpsUsbDelay: v.f = e.gpsUsbDelay; break;
        case Def::GpsLock: v.b = src.gpsLockStatus; break;
        case Def::NmeaData: v.b = src.nmeaDataStatus; break;
        case Def::NmeaTimestampText: v.s = src.nmeaTimestampText; break;
        case Def::GpsEncoderOffsetText: v.s = src.gpsEncoderOffsetText; break;
        case Def::GpsStamperSampleRateText: v.s = src.gpsStamperSampleRateText; break;
        case Def::StreamProtection: v.b = e.streamProtection; break;
        // Cut to the 32 characters of the row, so the default always fits.
        case Def::StreamKey: v.s = fieldText(e.activeStreamKeyHash, 32); break;
        case Def::StreamPassword: v.s = fieldText(e.newStreamPassword); break;
        case Def::StreamKeyEntry: v.s = fieldText(e.newStreamKeyHash); break;
        case Def::ActiveDestinationCount: v.i = src.activeDestinationCount; break;
        case Def::InputDevice: v.i = e.inputDevice; break;
        case Def::InputGain: v.f = e.inputGain; break;
        case Def::TiltOn: v.b = e.tiltOn; break;
        case Def::TiltRc: v.f = e.tiltRc; break;
        case Def::AncillaryData: v.s = src.ancillaryDataText; break;
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
    const std::int32_t version = r.version != nullptr ? r.version->current() : 0;
    const std::int32_t gps = r.gpsDevice != nullptr ? r.gpsDevice->current() : -1;
    switch (rule) {
        case Shown::Always: return true;
        case Shown::VersionIs0: return version == 0;
        case Shown::PlainBitrate: return version > 0 && !enabledValue(r.plus);
        case Shown::PlusBitrate: return enabledValue(r.plus);
        case Shown::NamedGpsDevice: return gps == -1;
        case Shown::SystemClock: return gps == -2;
        case Shown::NotSystemClock: return gps != -2;
    }
    return true;
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
    for (const RowSpec& r : rowTable) {
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
        if (r.shown != Shown::Always) p->setShown(shownBy(r.shown, rules));
    }
    return std::move(b.rows);
}

}  // namespace kestrava::settings
