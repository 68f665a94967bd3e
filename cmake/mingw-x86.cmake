# Cross-compile for 32-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELMORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run under Wine's 32-bit loader (Debian's wine32:i386), in a 64-bit prefix as on 64-bit
# Windows; where the machine cannot run it, scripts/setup.sh says why and the tests report skipped.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine CACHE FILEPATH "Wine's 32-bit loader")
