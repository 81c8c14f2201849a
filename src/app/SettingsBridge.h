#pragma once

class KestravaParameters;
class ParSet;

// Copies the rows the shell reads into the live settings: the web interface into the instance's
// web members, the destinations into EncoderSettings. The stand-in for the full store walk, which
// copies every row; the caller applies the settings afterwards.
void storeShellSettings(const ParSet& set, KestravaParameters& common);
