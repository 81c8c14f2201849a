#pragma once

class CommonBase;
class ParSet;

// The rows of the settings file that the shell itself needs, until the whole settings tree is
// declared: the web interface ("Web interface": "Enable web interface", "Port", "Whitelist",
// "Low bandwidth") and the 100 destinations ("Corvix Kestrava Encoder": "Corvix Kestrava Enabled
// %d", "… IP %d", "… Port %d", "… Interface %d", "… target description %d"), with the keys,
// identifiers and defaults of the full tree. Ends the declaration.
void declareShellSettingsRows(ParSet& set, const CommonBase& common);
