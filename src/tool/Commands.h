#pragma once

// Subcommands of kestrava-tool. Each takes the arguments after its own name and returns the
// process exit code. Each lives in a file of its own, named after the command.
int runTablesCommand(int argc, char** argv);
int runFecCommand(int argc, char** argv);
int runParamNameCommand(int argc, char** argv);
int runParamWordsCommand(int argc, char** argv);
int runCodeCommand(int argc, char** argv);
int runEntropyCommand(int argc, char** argv);
int runProtectCommand(int argc, char** argv);
int runNetifsCommand(int argc, char** argv);
int runAudioCommand(int argc, char** argv);
int runDemodCommand(int argc, char** argv);
int runEncodeCommand(int argc, char** argv);
int runTestSignalCommand(int argc, char** argv);
int runNmeaCommand(int argc, char** argv);
int runHelpTextCommand(int argc, char** argv);
int runExportTextsCommand(int argc, char** argv);
int runListenCommand(int argc, char** argv);
int runSettingsCommand(int argc, char** argv);
int runDisplayCommand(int argc, char** argv);

// True when the arguments ask for the command's help: "--help" or "-h" anywhere. The command
// then prints its help, with ranges and defaults, on standard output and exits 0.
bool wantsHelp(int argc, char** argv);

// For commands whose subsystem is not built yet: says so on standard error, exit code 2.
int commandNotAvailable(const char* name);
