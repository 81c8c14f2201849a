# Third-party libraries, all from Debian packages (scripts/install-deps).
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(fmt REQUIRED)
find_package(Boost 1.74 REQUIRED)
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
pkg_check_modules(PORTAUDIO REQUIRED IMPORTED_TARGET portaudio-2.0)
pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
pkg_check_modules(ALSA IMPORTED_TARGET alsa)
# Build steps: the web client's files are gzipped into the program by a script.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
# Tests only: an inflater independent of the script, to read the embedded files back.
find_package(ZLIB REQUIRED)
