#pragma once

#include "params/LMEnumList.h"

namespace kestrava::settings {

// The fixed choice lists of the encoder's enumerated settings. Each entry's value is what the
// setting holds, its key what the settings file stores, its label what the web page shows.
// Built on first use, never changed afterwards, shared by every instance and read without a lock.
params::LMEnum_Compiletime& bitrateV0List();      // kbit/s of codec version value 0
params::LMEnum_Compiletime& bitrateV1List();      // kbit/s of the later versions
params::LMEnum_Compiletime& bitrateV4PlusList();  // kbit/s while the Plus mode is on
params::LMEnum_Compiletime& vbrQualityList();     // highest variable bit rate; 0 follows the main rate
params::LMEnum_Compiletime& vbrBitsList();        // noise step in 16-bit steps, keyed by its level text
params::LMEnum_Compiletime& versionList();        // codec version; value = shown version - 1
params::LMEnum_Compiletime& quickMaskLevelList(); // an account's access to the settings pages
params::LMEnum_Compiletime& adminMaskLevelList(); // an account's access to administration
params::LMEnum_Compiletime& gpsDeviceList();      // 1..15 serial port, -1 named device, -2 system clock
params::LMEnum_Compiletime& gpsBaudrateList();    // bit/s

// Builds all ten lists in their fixed order (start-up calls it before the first settings tree).
void buildValueTables();

}  // namespace kestrava::settings
