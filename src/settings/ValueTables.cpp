#include "settings/ValueTables.h"

namespace kestrava::settings {

using params::LMEnum_Compiletime;
using params::LMEnumType_Static;

LMEnum_Compiletime& bitrateV0List() {
    static LMEnumType_Static table[] = {
        {320, "320", "320 kbit/s (standard)"},
        {340, "340", "340 kbit/s"},
        {360, "360", "360 kbit/s"},
        {384, "384", "384 kbit/s"},
        {400, "400", "400 kbit/s"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& bitrateV1List() {
    static LMEnumType_Static table[] = {
        {320, "320", "320 kbit/s (standard)"},
        {340, "340", "340 kbit/s"},
        {360, "360", "360 kbit/s"},
        {384, "384", "384 kbit/s"},
        {400, "400", "400 kbit/s"},
        {448, "448", "448 kbit/s"},
        {512, "512", "512 kbit/s"},
        {576, "576", "576 kbit/s"},
        {640, "640", "640 kbit/s (Version 4+)"},
        {704, "704", "704 kbit/s (Version 4+)"},
        {768, "768", "768 kbit/s (Version 4+)"},
        {800, "800", "800 kbit/s (Version 4+)"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& bitrateV4PlusList() {
    static LMEnumType_Static table[] = {
        {176, "176", "176 kbit/s (low quality, may exceed ITU-R.1268), requires decoder support"},
        {192, "192", "192 kbit/s (medium quality, may exceed ITU-R.1268), requires decoder support"},
        {224, "224", "224 kbit/s (medium quality, may exceed ITU-R.1268), requires decoder support"},
        {256, "256", "256 kbit/s (may exceed ITU-R.1268), requires decoder support"},
        {288, "288", "288 kbit/s (may exceed ITU-R.1268), requires decoder support"},
        {320, "320", "320 kbit/s (may exceed ITU-R.1268), compatible with non-Kestrava+ decoders"},
        {384, "384", "384 kbit/s, compatible with non-Kestrava+ decoders"},
        {448, "448", "448 kbit/s, compatible with non-Kestrava+ decoders"},
        {512, "512", "512 kbit/s, compatible with non-Kestrava+ decoders"},
        {576, "576", "576 kbit/s, compatible with non-Kestrava+ decoders"},
        {640, "640", "640 kbit/s, compatible with non-Kestrava+ decoders"},
        {704, "704", "704 kbit/s, compatible with non-Kestrava+ decoders"},
        {768, "768", "768 kbit/s, compatible with non-Kestrava+ decoders"},
        {800, "800", "800 kbit/s, compatible with non-Kestrava+ decoders"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& vbrQualityList() {
    static LMEnumType_Static table[] = {
        {0, "0", "Follow main"},
        {176, "176", "176 kbit/s (low quality)"},
        {192, "192", "192 kbit/s (medium quality)"},
        {224, "224", "224 kbit/s (medium quality)"},
        {256, "256", "256 kbit/s"},
        {288, "288", "288 kbit/s"},
        {320, "320", "320 kbit/s"},
        {384, "384", "384 kbit/s"},
        {448, "448", "448 kbit/s"},
        {512, "512", "512 kbit/s"},
        {576, "576", "576 kbit/s"},
        {640, "640", "640 kbit/s"},
        {704, "704", "704 kbit/s"},
        {768, "768", "768 kbit/s"},
        {800, "800", "800 kbit/s"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& vbrBitsList() {
    static LMEnumType_Static table[] = {
        {256, "-48 dB", "-48 dB (8 bits, cassette tape without noise reduction)"},
        {192, "-51 dB", "-51 dB"},
        {128, "-54 dB", "-54 dB (9 bits)"},
        {96, "-57 dB", "-57 dB"},
        {80, "-58 dB", "-58 dB (cassette tape with Dolby B noise reduction)"},
        {64, "-60 dB", "-60 dB (10 bits, LP)"},
        {48, "-63 dB", "-63 dB (cassette tape with Dolby C noise reduction)"},
        {32, "-66 dB", "-66 dB (11 bits)"},
        {24, "-69 dB", "-69 dB"},
        {16, "-72 dB", "-72 dB (12 bits)"},
        {12, "-75 dB", "-75 dB"},
        {8, "-78 dB", "-78 dB (13 bits)"},
        {6, "-81 dB", "-81 dB"},
        {4, "-84 dB", "-84 dB (14 bits)"},
        {3, "-86 dB", "-86 dB"},
        {2, "-90 dB", "-90 dB (15 bits)"},
        {1, "-96 dB", "-96 dB (16 bits, CD)"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& versionList() {
    static LMEnumType_Static table[] = {
        {0, "1", "1"},
        {1, "2", "2"},
        {2, "3", "3"},
        {3, "4", "4"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

// The two access-level lists hold the same rows but are separate objects: a translation or a
// label change of one must not reach the other.
LMEnum_Compiletime& quickMaskLevelList() {
    static LMEnumType_Static table[] = {
        {0, "No", "Hide"},
        {1, "View", "View"},
        {3, "Edit", "Modify"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& adminMaskLevelList() {
    static LMEnumType_Static table[] = {
        {0, "No", "Hide"},
        {1, "View", "View"},
        {3, "Edit", "Modify"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& gpsDeviceList() {
    static LMEnumType_Static table[] = {
        {-1, "Other input", "Custom device name"},
        {1, "COM1", "COM1"},
        {2, "COM2", "COM2"},
        {3, "COM3", "COM3"},
        {4, "COM4", "COM4"},
        {5, "COM5", "COM5"},
        {6, "COM6", "COM6"},
        {7, "COM7", "COM7"},
        {8, "COM8", "COM8"},
        {9, "COM9", "COM9"},
        {10, "COM10", "COM10"},
        {11, "COM11", "COM11"},
        {12, "COM12", "COM12"},
        {13, "COM13", "COM13"},
        {14, "COM14", "COM14"},
        {15, "COM15", "COM15"},
        {-2, "System clock", "Use system clock (must be accurate within 0.5 seconds)"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

LMEnum_Compiletime& gpsBaudrateList() {
    static LMEnumType_Static table[] = {
        {2400, "2400", "2400"},       {4800, "4800", "4800"},       {9600, "9600", "9600"},
        {14400, "14400", "14400"},    {19200, "19200", "19200"},    {38400, "38400", "38400"},
        {56000, "56000", "56000"},    {57600, "57600", "57600"},    {115200, "115200", "115200"},
        {128000, "128000", "128000"}, {256000, "256000", "256000"},
    };
    static LMEnum_Compiletime list{table};
    return list;
}

void buildValueTables() {
    bitrateV0List();
    bitrateV1List();
    bitrateV4PlusList();
    vbrQualityList();
    vbrBitsList();
    versionList();
    quickMaskLevelList();
    adminMaskLevelList();
    gpsDeviceList();
    gpsBaudrateList();
}

}  // namespace kestrava::settings
