# The scanner's third-party libraries, one target each, the same names for every build:
#   pelmora::zlib  pelmora::zstd  pelmora::jpeg  pelmora::png  pelmora::tiff  pelmora::qpdf
# Natively they are Debian's -dev packages; for the MinGW targets the static libraries that
# scripts/deps.sh built from Debian's source packages into the machine's cache. Each target brings
# what it needs itself (tiff: jpeg, zstd, zlib; qpdf: jpeg, zlib and advapi32 for its random
# numbers on Windows), so a user links only the ones it calls. pelmora.exe links none of them.
#
# Also sets PELMORA_PUGIXML_DIR, pugixml's source folder in that cache, for every target.

set(PELMORA_DEPS_CACHE "$ENV{PELMORA_DEPS_CACHE}" CACHE PATH
  "Where scripts/deps.sh keeps the libraries built for MinGW and pugixml's source")
if(NOT PELMORA_DEPS_CACHE)
  set(PELMORA_DEPS_CACHE /var/cache/pelmora/deps CACHE PATH "" FORCE)
endif()

function(pelmora_deps_missing what)
  message(FATAL_ERROR "Missing ${what}: run scripts/setup.sh (it installs the Debian packages "
    "and builds the MinGW libraries into ${PELMORA_DEPS_CACHE})")
endfunction()

# pugixml: an older clone kept its source inside; the cache is the place now.
if(NOT EXISTS "${PELMORA_PUGIXML_DIR}/pugixml.cpp")
  include("${PELMORA_DEPS_CACHE}/index-pugixml.cmake" OPTIONAL)
  if(NOT EXISTS "${PELMORA_DEPS_PUGIXML_SOURCE}/src/pugixml.cpp")
    pelmora_deps_missing("pugixml's source")
  endif()
  set(PELMORA_PUGIXML_DIR "${PELMORA_DEPS_PUGIXML_SOURCE}/src" CACHE PATH "pugixml's src folder" FORCE)
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PELMORA_DEPS_CACHE}/index-pugixml.cmake")

# qpdf's headers without the PointerHolder compatibility layer: std::shared_ptr, no #warning.
set(pelmora_qpdf_definitions POINTERHOLDER_TRANSITION=4)

if(NOT WIN32)
  find_package(PkgConfig QUIET)
  find_package(ZLIB QUIET)
  find_package(JPEG QUIET)
  find_package(PNG QUIET)
  find_package(TIFF QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(pelmora_zstd QUIET IMPORTED_TARGET libzstd)
    pkg_check_modules(pelmora_qpdf QUIET IMPORTED_TARGET libqpdf)
  endif()
  foreach(pair "ZLIB_FOUND;zlib1g-dev" "pelmora_zstd_FOUND;libzstd-dev" "JPEG_FOUND;libjpeg62-turbo-dev"
               "PNG_FOUND;libpng-dev" "TIFF_FOUND;libtiff-dev" "pelmora_qpdf_FOUND;libqpdf-dev")
    list(GET pair 0 found)
    list(GET pair 1 package)
    if(NOT ${found})
      pelmora_deps_missing("${package}")
    endif()
  endforeach()
  foreach(pair "zlib;ZLIB::ZLIB" "zstd;PkgConfig::pelmora_zstd" "jpeg;JPEG::JPEG" "png;PNG::PNG"
               "tiff;TIFF::TIFF" "qpdf;PkgConfig::pelmora_qpdf")
    list(GET pair 0 name)
    list(GET pair 1 target)
    add_library(pelmora_dep_${name} INTERFACE)
    target_link_libraries(pelmora_dep_${name} INTERFACE ${target})
    add_library(pelmora::${name} ALIAS pelmora_dep_${name})
  endforeach()
  target_compile_definitions(pelmora_dep_qpdf INTERFACE ${pelmora_qpdf_definitions})
  return()
endif()

if(NOT MINGW)
  # pelmora.exe needs none of them: a Visual Studio build makes it alone.
  if(PELMORA_CLI OR PELMORA_TESTS)
    message(FATAL_ERROR "The scanner's libraries are built for MinGW-w64 only (cmake/mingw-*.cmake); "
      "with another compiler configure with -DPELMORA_CLI=OFF -DPELMORA_TESTS=OFF")
  endif()
  return()
endif()

# The triplet of the toolchain file; the cache's index for it names each library's folder.
if(NOT PELMORA_MINGW_TRIPLE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(PELMORA_MINGW_TRIPLE x86_64-w64-mingw32)
  else()
    set(PELMORA_MINGW_TRIPLE i686-w64-mingw32)
  endif()
endif()
set(index "${PELMORA_DEPS_CACHE}/index-${PELMORA_MINGW_TRIPLE}.cmake")
include("${index}" OPTIONAL RESULT_VARIABLE index_found)
if(NOT index_found)
  pelmora_deps_missing("the ${PELMORA_MINGW_TRIPLE} libraries (${index})")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${index}")

# Debian's libz-mingw-w64-dev: the static library, never the import library of zlib1.dll. Its
# headers are in the cross compiler's own include folder.
set(zlib_library "/usr/${PELMORA_MINGW_TRIPLE}/lib/libz.a")
if(NOT EXISTS "${zlib_library}")
  pelmora_deps_missing("libz-mingw-w64-dev (${zlib_library})")
endif()
add_library(pelmora::zlib STATIC IMPORTED GLOBAL)
set_target_properties(pelmora::zlib PROPERTIES IMPORTED_LOCATION "${zlib_library}")

# name, prefix, library file, what it links after itself
function(pelmora_cached_library name prefix file)
  if(NOT EXISTS "${prefix}/.stamp" OR NOT EXISTS "${prefix}/lib/${file}")
    pelmora_deps_missing("pelmora::${name} (${prefix})")
  endif()
  add_library(pelmora::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(pelmora::${name} PROPERTIES
    IMPORTED_LOCATION "${prefix}/lib/${file}"
    INTERFACE_INCLUDE_DIRECTORIES "${prefix}/include"
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${prefix}/include"
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()
pelmora_cached_library(zstd "${PELMORA_DEPS_ZSTD}" libzstd.a)
pelmora_cached_library(jpeg "${PELMORA_DEPS_JPEG}" libjpeg.a)
pelmora_cached_library(png "${PELMORA_DEPS_PNG}" libpng16.a pelmora::zlib)
pelmora_cached_library(tiff "${PELMORA_DEPS_TIFF}" libtiff.a pelmora::jpeg pelmora::zstd pelmora::zlib)
pelmora_cached_library(qpdf "${PELMORA_DEPS_QPDF}" libqpdf.a pelmora::jpeg pelmora::zlib advapi32)
set_property(TARGET pelmora::qpdf PROPERTY INTERFACE_COMPILE_DEFINITIONS ${pelmora_qpdf_definitions})

# The licence texts the release packages carry, one file per library, named after it.
set(PELMORA_DEPS_LICENSES
  "zlib.txt=/usr/share/doc/libz-mingw-w64-dev/copyright"
  "zstd.txt=${PELMORA_DEPS_ZSTD}/share/licenses/libzstd/copyright"
  "libjpeg-turbo.txt=${PELMORA_DEPS_JPEG}/share/licenses/libjpeg-turbo/copyright"
  "libpng.txt=${PELMORA_DEPS_PNG}/share/licenses/libpng1.6/copyright"
  "libtiff.txt=${PELMORA_DEPS_TIFF}/share/licenses/tiff/copyright"
  "qpdf.txt=${PELMORA_DEPS_QPDF}/share/licenses/qpdf/copyright"
  "pugixml.txt=${PELMORA_PUGIXML_DIR}/../debian/copyright")
