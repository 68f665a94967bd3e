// The scanner's third-party libraries, as each build links them: Debian's shared libraries natively,
// the static ones scripts/deps.sh builds for MinGW. A build whose headers belong to another copy of
// a library than the one linked compiles fine and then misreads files, so each row compares the
// version the headers were written for with the one that answers at run time.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <csetjmp>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>
#include <zstd.h>

namespace {

TEST(Dependencies, HeadersBelongToTheLinkedLibraries) {
  const struct {
    const char* library;
    std::string headers;
    std::string linked;
  } cases[] = {
      {"zlib", ZLIB_VERSION, zlibVersion()},
      {"zstd", std::to_string(ZSTD_VERSION_NUMBER), std::to_string(ZSTD_versionNumber())},
      {"libpng", std::to_string(PNG_LIBPNG_VER), std::to_string(png_access_version_number())},
      {"libtiff", TIFFLIB_VERSION_STR, TIFFGetVersion()},
      {"qpdf", QPDF_VERSION, QPDF::QPDFVersion()},
  };
  for (const auto& c : cases) EXPECT_EQ(c.headers, c.linked) << c.library;
}

// libjpeg has no version call: jpeg_create_decompress checks the headers' version and structure
// size itself, and fails through error_exit, which must not be the default (it ends the process).
struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->back, 1);
}

TEST(Dependencies, LibjpegReadsAFrameHeader) {
  // SOI, a baseline frame of 32 x 16 pixels with one component, a scan header: all that
  // jpeg_read_header needs, the way the image reader will call it.
  static const unsigned char kHeader[] = {
      0xFF, 0xD8,                                                            // SOI
      0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x20, 0x01, 0x01, 0x11, 0x00,  // SOF0
      0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00,            // SOS
  };
  jpeg_decompress_struct info{};
  JpegFailure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = JumpBack;
  bool failed = false;
  if (setjmp(failure.back) == 0) {
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, kHeader, sizeof kHeader);
    EXPECT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
  } else {
    failed = true;
  }
  EXPECT_FALSE(failed) << "libjpeg failed: message " << failure.manager.msg_code;
  EXPECT_EQ(info.image_width, 32u);
  EXPECT_EQ(info.image_height, 16u);
  EXPECT_EQ(info.num_components, 1);
  EXPECT_EQ(info.jpeg_color_space, JCS_GRAYSCALE);
  jpeg_destroy_decompress(&info);
}

// The MinGW libtiff is built with the codecs whose libraries are built anyway; TIFF files as print
// shops send them use these. Reading a header needs none of them, but a missing one would make
// libtiff's own messages differ between the builds.
TEST(Dependencies, LibtiffHasTheCommonCodecs) {
  const struct {
    const char* name;
    uint16_t scheme;
  } cases[] = {
      {"LZW", COMPRESSION_LZW},          {"PackBits", COMPRESSION_PACKBITS},
      {"Deflate", COMPRESSION_ADOBE_DEFLATE}, {"JPEG", COMPRESSION_JPEG},
      {"ZSTD", COMPRESSION_ZSTD},        {"CCITT G4", COMPRESSION_CCITTFAX4},
  };
  for (const auto& c : cases) EXPECT_TRUE(TIFFIsCODECConfigured(c.scheme)) << c.name;
}

TEST(Dependencies, QpdfMakesAnEmptyDocument) {
  QPDF pdf;
  pdf.emptyPDF();
  EXPECT_TRUE(QPDFPageDocumentHelper(pdf).getAllPages().empty());
  EXPECT_EQ(pdf.getPDFVersion(), "1.3");
}

}  // namespace
