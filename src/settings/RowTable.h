#pragma once

#include "params/ids/ParamId.h"

#include <cstdint>
#include <span>

namespace kestrava::settings {

// The declaration of the encoder's settings as one table, in creation order. The tree is built
// from it (buildEncoderSettings) and every walk over the tree replays it (TreeWalks), so a row
// added, removed or moved here moves everywhere at once.

// What a table row declares. Section, Destinations and Accounts are steps of the sequence,
// not rows: a section change and the two generated families.
enum class Cls : std::uint8_t {
    Section, Hr, SubLevel, Bool, Enum, String, Dec, Int, Float, GainDb, Tilt, ListManager, Button, Wave,
    Spectrum, Destinations, Accounts, DisplayText, ErrorList,
};

// The live field a row's value lives in; the row's default is read from it at declaration.
// The walks copy between the two in both directions.
enum class Field : std::uint8_t {
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

// The row's shown rule: its initial shown state, re-applied by every walk. NoRule leaves the
// shown state to others.
enum class Shown : std::uint8_t {
    NoRule, Always, VersionIs0, PlainBitrate, PlusBitrate, NamedGpsDevice, SystemClock, NotSystemClock,
};

// The row's enabled rule (the enabled-state walk). Every rule reads rows declared earlier.
enum class Enabled : std::uint8_t {
    Always,            // enabled
    Never,             // a status light: never edited
    WebOn,             // "Enable web interface" active
    PlusCapable,       // codec version value 3 or more ("4")
    PlusActive,        // Kestrava+ active
    VbrActive,         // "Variable bitrate" active
    GpsOn,             // "Enable GPS time encoding" active
    GpsNamed,          // GPS device row enabled and "Other input" (-1)
    GpsClock,          // GPS device row enabled and "System clock" (-2)
    GpsDeviceEnabled,  // GPS device row enabled
    NmeaData,          // the value of the "NMEA data" light
    KeyPresent,        // the instance holds a stream key
    StreamProtected,   // "Password protect stream" active
    PasswordEntered,   // a stream password was typed
    KeyEntered,        // a stream key was typed
    TiltOn,            // tilt correction active
};

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
    Field field = Field::None;
    List list = List::None;
    Action action = Action::None;
    unsigned attrs = 0;
    Shown shown = Shown::NoRule;
    int arg = 0;  // section entry, sub-level level, bool style, text length, float kind
    double minimum = 0, maximum = 0, scale = 0;
    int decimals = 0;
    const char* caption = nullptr;  // group caption of a sub-level
    double literal = 0;             // a literal default (display time spans)
    Enabled enabled = Enabled::Always;
};

// A shown rule's result: `version` the codec version row's value, `plusActive` whether the
// Kestrava+ switch is on and enabled, `gpsDevice` the GPS device row's value.
bool shownByRule(Shown rule, std::int32_t version, bool plusActive, std::int32_t gpsDevice);

// The whole table, in creation order.
std::span<const RowSpec> encoderRowTable();

}  // namespace kestrava::settings
