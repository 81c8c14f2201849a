#pragma once

#include <string>

class KestravaInstanceConfig;

// Wires the sinks of an instance and switches its logger on: standard output takes info and
// worse; the trace ring takes everything and feeds the daily log files in `logFolder` with trace
// and worse (trace only in replays after a warning). Debug records are written nowhere.
void setupLogging(KestravaInstanceConfig& config, const std::string& logFolder);
