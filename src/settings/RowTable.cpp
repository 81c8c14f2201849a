#include "settings/RowTable.h"

#include "settings/EncoderSettingsTree.h"
#include "settings/SectionNames.h"

namespace kestrava::settings {

namespace {

// The declaration in creation order.
constexpr RowSpec table[] = {
    {.cls = Cls::Section, .arg = SectionEntry::webInterface},
    {.cls = Cls::Hr, .id = ID_OPEN_SYSTEM_INFO, .title = "System info"},
    {.cls = Cls::Hr, .id = ID_OPEN_WAVE_OUTPUT_LMXFP, .title = "Output", .shown = Shown::Always},
    {.cls = Cls::Hr, .id = ID_OPEN_FMOUTPUT, .title = "Output signal"},
    {.cls = Cls::String, .id = NOSAVEPARAM_SWVERSION, .shortKey = "SWVER", .key = "Software version",
     .title = "Software version", .format = "%s", .field = Field::ProgramVersion,
     .attrs = Attr::notEditable | Attr::noSave, .arg = 24},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_GLOBAL, .title = "Main", .arg = 0, .caption = "Configuration"},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_GLOBAL_WEB, .title = "Web interface", .arg = 1},
    {.cls = Cls::Hr, .id = ID_OPEN_WEB, .title = "Web"},
    {.cls = Cls::Bool, .id = PARAM_WebserverEnable, .shortKey = "WebEnab", .key = "Enable web interface",
     .title = "Enable web interface", .field = Field::WebEnabled, .attrs = Attr::notGeneral, .arg = 1},
    {.cls = Cls::Dec, .id = PARAM_WebserverPort, .shortKey = "WebPort", .key = "Port", .title = "Port",
     .format = "%d", .field = Field::WebPort, .attrs = Attr::presetMode1 | Attr::notGeneral, .enabled = Enabled::WebOn},
    {.cls = Cls::String, .id = PARAM_WebServer_Whitelist, .shortKey = "WebWhite", .key = "Whitelist",
     .title = "Whitelist", .format = "%s", .field = Field::WebWhiteList, .attrs = Attr::presetMode1 | Attr::notGeneral,
     .arg = 1024, .enabled = Enabled::WebOn},
    {.cls = Cls::Bool, .id = PARAM_WebServer_LowBandwidth, .shortKey = "WebLowBW", .key = "Low bandwidth",
     .title = "Low bandwidth mode", .field = Field::WebLowBandwidth, .arg = 0, .enabled = Enabled::WebOn},

    // Codec quality and error recovery.
    {.cls = Cls::Section, .arg = SectionEntry::encoder},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_KVRA, .viewMask = 2, .title = "Kestrava encoder", .arg = 1},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR_STREAM, .title = "Stream"},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR_TOP, .title = "Stream"},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR, .title = "Quality settings"},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Version, .shortKey = "KVRAVers", .key = "Corvix Kestrava  version",
     .title = "Version", .field = Field::CodecVersion, .list = List::Version, .scale = 1024},
    {.cls = Cls::Bool, .id = PARAM_KVRA_PlusEnabled, .shortKey = "KVRAPlus", .key = "Use Corvix Kestrava Plus",
     .title = "Encode in Kestrava+ (very low bitrates)", .field = Field::PlusMode, .attrs = Attr::hideWhileDisabled, .enabled = Enabled::PlusCapable},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Bitrate_V0, .shortKey = "KVRABaud", .key = "Corvix Kestrava Bitrate",
     .title = "Bitrate (V1)", .field = Field::BitrateV1, .list = List::BitrateV0, .shown = Shown::VersionIs0,
     .scale = 4096},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Bitrate_V1, .shortKey = "KVRABau1", .key = "Corvix Kestrava Bitrate V2",
     .title = "Bitrate", .field = Field::Bitrate, .list = List::BitrateV1, .shown = Shown::PlainBitrate, .scale = 4096},
    {.cls = Cls::Enum, .id = PARAM_KVRA_Bitrate_V4PLUS, .shortKey = "KVRABa4P",
     .key = "Corvix Kestrava Bitrate Kestrava Plus", .title = "Bitrate", .field = Field::BitratePlus,
     .list = List::BitratePlus, .shown = Shown::PlusBitrate, .scale = 4096},
    {.cls = Cls::Bool, .id = PARAM_KVRA_VariableBitrate, .shortKey = "KVRAVBR",
     .key = "Use Corvix Kestrava Plus variable bitrate", .title = "Variable bitrate", .field = Field::VariableBitrate,
     .attrs = Attr::hideWhileDisabled, .enabled = Enabled::PlusActive},
    {.cls = Cls::Enum, .id = PARAM_KVRA_VariableBitrateBits, .shortKey = "KVRAVBRB",
     .key = "Use Corvix Kestrava Plus variable bitrate - Noise level", .title = "VBR noise level",
     .field = Field::VbrNoiseLevel, .list = List::VbrBits, .attrs = Attr::hideWhileDisabled, .scale = 32768, .enabled = Enabled::VbrActive},
    {.cls = Cls::Enum, .id = PARAM_KVRA_VariableBitrateQuality, .shortKey = "KVRAVBRM",
     .key = "Use Corvix Kestrava Plus variable bitrate - Maximum bitrate", .title = "VBR maximum bitrate",
     .field = Field::VbrMaxBitrate, .list = List::VbrQuality, .attrs = Attr::hideWhileDisabled, .scale = 4096, .enabled = Enabled::VbrActive},
    {.cls = Cls::Hr, .id = ID_SUBLEVEL_KVRA_PHR_RECOVERY, .title = "Error recovery"},
    {.cls = Cls::Float, .id = PARAM_KVRA_ResetInterval, .shortKey = "KVRARInt",
     .key = "Corvix Kestrava Reset packet interval", .title = "Keyframe interval", .format = "%.1f sec",
     .field = Field::ResetInterval, .arg = 1, .minimum = 0, .maximum = 5, .scale = 3600, .decimals = 1},
    {.cls = Cls::Int, .id = PARAM_KVRA_RedundancyPacketDelay, .shortKey = "KVRARPD",
     .key = "Corvix Kestrava Redundancy packet delay", .title = "Error correction size / Delay",
     .format = "%d packets", .field = Field::FecGroupSize, .minimum = 0, .maximum = 255, .scale = 4096},
    {.cls = Cls::Int, .id = PARAM_KVRA_RedundancyPacketOverhead, .shortKey = "KVRARPO",
     .key = "Corvix Kestrava Redundancy packet overhead", .title = "Error correction overhead",
     .format = "%d packets", .field = Field::FecOverhead, .minimum = 0, .maximum = 255, .scale = 4096},
    {.cls = Cls::Int, .id = PARAM_KVRA_TRPMaxBytesPerSecond, .shortKey = "KVRATMBS",
     .key = "Corvix Kestrava Rate limiter", .title = "Limit rate below", .format = "%d kbit/s",
     .field = Field::RateLimit, .attrs = Attr::rateCompanion, .minimum = 0, .maximum = 512, .scale = 16384},

    // GPS synchronisation and status.
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_KVRA_GPS, .title = "GPS", .arg = 2},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS_SFN, .title = "GPS SFN"},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS, .title = "GPS synchronization"},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_SETTINGS_GPS, .title = "GPS synchronization"},
    {.cls = Cls::Bool, .id = PARAM_KVRA_gps_stamping_enabled, .shortKey = "KVRAGPEn",
     .key = "Enable GPS time encoding", .title = "Enable GPS time encoding", .field = Field::GpsOn},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS_NMEA_PPS, .title = "NMEA"},
    {.cls = Cls::Enum, .id = PARAM_KVRA_GpsNmeaDeviceSelection, .shortKey = "KVRGPSSe",
     .key = "Corvix Kestrava GPS NMEA device", .title = "GPS NMEA device", .field = Field::GpsDevice,
     .list = List::GpsDevice, .attrs = Attr::presetMode1, .scale = 256, .enabled = Enabled::GpsOn},
    {.cls = Cls::String, .id = PARAM_KVRA_GpsNmeaDeviceName, .shortKey = "KVRGPSDe",
     .key = "Corvix Kestrava GPS NMEA device name", .title = "Name", .format = "%s", .field = Field::GpsDeviceName,
     .attrs = Attr::presetMode1, .shown = Shown::NamedGpsDevice, .arg = 256, .enabled = Enabled::GpsNamed},
    {.cls = Cls::Float, .id = PARAM_KVRA_GpsSystemClockOffset, .shortKey = "KVRGPSCO",
     .key = "Corvix Kestrava GPS System clock offset", .title = "System clock offset vs GPS clock",
     .format = "+%.2f s", .field = Field::GpsClockOffset, .shown = Shown::SystemClock, .arg = 1, .minimum = -1,
     .maximum = 1, .scale = 10, .decimals = 2, .enabled = Enabled::GpsClock},
    {.cls = Cls::Enum, .id = PARAM_KVRA_GpsNmeaDeviceBaudrate, .shortKey = "KVRGPSBa",
     .key = "Corvix Kestrava GPS NMEA device baud rate", .title = "Baudrate", .field = Field::GpsBaudRate,
     .list = List::GpsBaud, .attrs = Attr::presetMode1, .shown = Shown::NotSystemClock, .scale = 256000, .enabled = Enabled::GpsDeviceEnabled},
    {.cls = Cls::Float, .id = PARAM_KVRA_GpsStampingDelay, .shortKey = "KVRGPSSO",
     .key = "Corvix Kestrava GPS NMEA USB timestamp reception delay", .title = "USB reception delay",
     .format = "%.3f s", .field = Field::GpsUsbDelay, .shown = Shown::NotSystemClock, .arg = 1, .minimum = 0,
     .maximum = 0.25, .scale = 10, .decimals = 3, .enabled = Enabled::GpsDeviceEnabled},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_GPS_STATUS, .title = "Status", .enabled = Enabled::GpsOn},
    {.cls = Cls::Bool, .id = NOSAVEPARAM_has_gps_lock, .title = "GPS lock", .field = Field::GpsLock, .arg = 2, .enabled = Enabled::Never},
    {.cls = Cls::Bool, .id = NOSAVEPARAM_has_nmea_timestamps, .title = "NMEA data", .field = Field::NmeaData, .arg = 2, .enabled = Enabled::Never},
    {.cls = Cls::String, .id = NOSAVEPARAM_has_nmea_timestamps_timestamp, .title = "GPS NMEA data", .format = "%s",
     .field = Field::NmeaTimestampText, .attrs = Attr::noSave | Attr::notEditable, .arg = 64, .enabled = Enabled::NmeaData},
    {.cls = Cls::String, .id = NOSAVEPARAM_has_gps_encoderOffset, .title = "Remaining offset to be compensated",
     .format = "%s", .field = Field::GpsEncoderOffsetText, .attrs = Attr::noSave | Attr::notEditable, .arg = 64, .enabled = Enabled::NmeaData},
    {.cls = Cls::String, .id = NOSAVEPARAM_gpsStatus_stamperSampleRate, .title = "Average samples between NMEA",
     .format = "%s", .field = Field::GpsStamperSampleRateText, .attrs = Attr::noSave | Attr::notEditable, .arg = 64, .enabled = Enabled::NmeaData},

    // Stream security.
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_KVRA_SECURITY, .title = "Security", .arg = 2},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_SECURITY_TOP, .title = "Password Protected Stream"},
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA_SECURITY, .title = "Security"},
    {.cls = Cls::Bool, .id = PARAM_KVRA_PasswordProtectStream, .shortKey = "KVRAPWP",
     .key = "Password protect stream", .title = "Password protect stream", .field = Field::StreamProtection, .enabled = Enabled::KeyPresent},
    {.cls = Cls::String, .id = PARAM_KVRA_Key, .shortKey = "KVRAPWKe", .key = "Stream hash key",
     .title = "Active hash", .format = "%s", .field = Field::StreamKey, .attrs = Attr::notEditable, .arg = 32, .enabled = Enabled::StreamProtected},
    {.cls = Cls::String, .id = NOSAVEPARAM_KVRA_Password, .shortKey = "KVRAPW", .key = "Password (unsaved)",
     .title = "New password", .format = "%s", .field = Field::StreamPassword,
     .attrs = Attr::presetMode0 | Attr::noSave, .arg = 128},
    {.cls = Cls::Button, .id = NOSAVEPARAM_KVRA_Password_Apply, .title = "Password to hash",
     .action = Action::HashStreamPassword, .enabled = Enabled::PasswordEntered},
    {.cls = Cls::String, .id = NOSAVEPARAM_KVRA_Hash, .shortKey = "KVRAKE", .key = "Hash key (unsaved)",
     .title = "New hash", .format = "%s", .field = Field::StreamKeyEntry, .attrs = Attr::presetMode0 | Attr::noSave,
     .arg = 32},
    {.cls = Cls::Button, .id = NOSAVEPARAM_KVRA_Hash_Apply, .title = "Activate hash",
     .action = Action::ApplyStreamKeyEntry, .enabled = Enabled::KeyEntered},

    // Destinations: the heading, the list manager, then five rows per destination.
    {.cls = Cls::Hr, .id = ID_OPEN_KVRA, .title = "Destinations"},
    {.cls = Cls::ListManager, .id = PARAM_KVRA_OUTPUTCOUNT, .shortKey = "kvraNofO",
     .key = "Number of active outputs", .title = "Kestrava targets", .field = Field::ActiveDestinationCount,
     .minimum = 1, .maximum = destinationCount, .scale = 1000},
    {.cls = Cls::Destinations},

    // Input sound card and its displays.
    {.cls = Cls::Section, .arg = SectionEntry::inputSoundcard},
    {.cls = Cls::SubLevel, .id = ID_SUBLEVEL_SOUNDCARDS_INPUT, .title = "Input", .arg = 1},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARD_DEVICE_TOP, .title = "Input"},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARD, .title = "Input sound card"},
    {.cls = Cls::Enum, .id = NOSAVEPARAM_INPUT1_Device, .shortKey = "ScInDevi", .key = "Device ID",
     .title = "Main input", .field = Field::InputDevice, .list = List::Soundcards,
     .attrs = Attr::presetMode1 | Attr::unknownAllowed, .scale = 64},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARD_GAIN, .title = "Low input level correction"},
    {.cls = Cls::GainDb, .id = PARAM_INPUT1_Gain, .shortKey = "ScInGain", .key = "Gain", .title = "Input gain",
     .format = "%+.2f dB (%.1f%%)", .field = Field::InputGain},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARDTILT, .title = "Input tilt"},
    {.cls = Cls::Bool, .id = PARAM_inputtilt_on, .shortKey = "ScInTiEn", .key = "Tilt correction - Enabled",
     .title = "Correction enabled", .field = Field::TiltOn},
    {.cls = Cls::Tilt, .id = PARAM_inputtilt_rc, .shortKey = "ScInRc", .key = "Tilt correction - RC", .title = "RC",
     .format = "%s", .field = Field::TiltRc, .attrs = Attr::presetMode1, .enabled = Enabled::TiltOn},
    {.cls = Cls::Hr, .id = ID_OPEN_IO_O_OVERVIEW, .title = "Input scope"},
    {.cls = Cls::Hr, .id = ID_OPEN_IO_OUT_MPX, .title = "Input spectrum"},
    // Scope on the second history (flags 0, 1, 0); spectrum on the first (62,000 and 1).
    {.cls = Cls::Wave, .id = OUTPUT_FM_WAVE, .field = Field::Literal, .literal = 0.025},
    {.cls = Cls::Spectrum, .id = OUTPUT_FM_MPX, .field = Field::Literal, .literal = -8192},
    {.cls = Cls::Hr, .id = ID_OPEN_INPUTSOUNDCARDTILT2, .title = "Input & detilted input"},
    // The input before (first history) and after tilt correction (second history, linked to the
    // first wave, history offset 1); flags 1, 1, 1.
    {.cls = Cls::Wave, .id = INPUT_WAVE2, .shortKey = "ScInTilt", .key = "Tilt correction - waveform display",
     .field = Field::Literal, .attrs = Attr::noSave, .literal = 0.2},
    {.cls = Cls::Wave, .id = INPUT_WAVE_DETILTED, .field = Field::Literal, .literal = 0.2},

    {.cls = Cls::Accounts},

    // Closing rows.
    {.cls = Cls::DisplayText, .id = NOSAVEPARAM_GPO, .title = "Last received ancillary data", .format = "%s",
     .field = Field::AncillaryData, .arg = 128},
    {.cls = Cls::ErrorList, .id = ID_CORVIX_KOEK_ERRORS, .viewMask = 2},
};

}  // namespace

std::span<const RowSpec> encoderRowTable() { return table; }

bool shownByRule(Shown rule, std::int32_t version, bool plusActive, std::int32_t gpsDevice) {
    switch (rule) {
        case Shown::NoRule:
        case Shown::Always: return true;
        case Shown::VersionIs0: return version == 0;
        case Shown::PlainBitrate: return version > 0 && !plusActive;
        case Shown::PlusBitrate: return plusActive;
        case Shown::NamedGpsDevice: return gpsDevice == -1;
        case Shown::SystemClock: return gpsDevice == -2;
        case Shown::NotSystemClock: return gpsDevice != -2;
    }
    return true;
}

}  // namespace kestrava::settings
