#include "analysis/document_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "analysis/run_error.h"
#include "fake_document.h"

namespace pelmora::analysis {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("pelmora-test-" + std::to_string(rd()));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::int32_t OpenFailure(const DocumentPath& path) {
  try {
    auto reader = OpenDocument(path);
    char buffer[16];
    reader->Read(buffer, sizeof buffer);
  } catch (const RunError& e) {
    return e.number();
  }
  return 0;
}

TEST(OpenDocument, ReadsTheDocumentsBytesToTheEnd) {
  TempDir dir;
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  const fs::path path = dir.path() / fs::path(u8"名刺.ai");
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  auto reader = OpenDocument(path);
  std::string read;
  char buffer[4096];
  while (const std::size_t got = reader->Read(buffer, sizeof buffer)) read.append(buffer, got);
  EXPECT_EQ(read, bytes);
  EXPECT_EQ(reader->Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(fs::file_size(path), bytes.size());
}

TEST(OpenDocument, MapsFailuresToRunTimeErrorNumbers) {
  TempDir dir;
  const fs::path file = dir.path() / "a.eps";
  std::ofstream(file) << "%!PS-Adobe-3.0\r";
  EXPECT_EQ(OpenFailure(dir.path() / "missing.eps"), err::kFileNotFound);
  EXPECT_EQ(OpenFailure(dir.path() / "missing" / "a.eps"), err::kPathNotFound);
#ifndef _WIN32
  EXPECT_EQ(OpenFailure(DocumentPath()), err::kFileNotFound);
  EXPECT_EQ(OpenFailure(file / "a.eps"), err::kPathNotFound);  // a file where a folder should be
  EXPECT_EQ(OpenFailure(dir.path()), err::kPathFileAccessError);
#endif
  EXPECT_EQ(OpenFailure(file), 0);
}

TEST(SetDocumentOpener, ReplacesAndRestoresThePlatformsOpener) {
  TempDir dir;
  const fs::path file = dir.path() / "a.eps";
  std::ofstream(file) << "real";
  const DocumentOpener platform = SetDocumentOpener(&testing::OpenFake);
  testing::Fake() = testing::FakeDocument{};
  testing::Fake().bytes = "fake";
  char buffer[8];
  EXPECT_EQ(std::string(buffer, OpenDocument(file)->Read(buffer, sizeof buffer)), "fake");
  EXPECT_EQ(SetDocumentOpener(nullptr), &testing::OpenFake);
  EXPECT_EQ(std::string(buffer, OpenDocument(file)->Read(buffer, sizeof buffer)), "real");
  EXPECT_EQ(SetDocumentOpener(platform), &OpenPlatformDocument);
}

// Each read is one block, and each is followed by the innermost scope's pause.
TEST(ReadPauseScope, PausesAfterEachBlockReadInsideTheScopeOnly) {
  testing::UseFakeDocument doc("abcdefghij", 3);
  char buffer[8];
  const auto readAll = [&](DocumentReader& reader) {
    std::string read;
    while (const std::size_t got = reader.Read(buffer, sizeof buffer)) read.append(buffer, got);
    return read;
  };
  int outer = 0, inner = 0;
  auto before = OpenDocument("a.eps");
  std::unique_ptr<DocumentReader> kept;
  {
    ReadPauseScope scope([&] { ++outer; });
    EXPECT_EQ(readAll(*before), "abcdefghij");
    EXPECT_EQ(outer, 0) << "opened before the scope";
    auto first = OpenDocument("a.eps");
    EXPECT_EQ(readAll(*first), "abcdefghij");
    EXPECT_EQ(outer, 5) << "four blocks and the end, each followed by a pause";
    auto reader = OpenDocument("a.eps");
    {
      ReadPauseScope nested([&] { ++inner; });
      EXPECT_EQ(reader->Read(buffer, 2), 2u);
    }
    EXPECT_EQ(reader->Read(buffer, 2), 2u);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, 6);
    kept = OpenDocument("a.eps");
    outer = 0;
  }
  // Opened inside, read after: the scope's pause is gone with it.
  EXPECT_EQ(readAll(*kept), "abcdefghij");
  auto after = OpenDocument("a.eps");
  EXPECT_EQ(readAll(*after), "abcdefghij");
  EXPECT_EQ(outer, 0);
  EXPECT_EQ(inner, 1);
}

TEST(ReadPauseScope, ReadersThatLendStillLend) {
  testing::UseFakeDocument doc("lent bytes");
  testing::Fake().lend = true;
  int pauses = 0;
  ReadPauseScope scope([&] { ++pauses; });
  auto reader = OpenDocument("a.eps");
  EXPECT_EQ(reader->Lend(), std::optional<std::string_view>("lent bytes"));
  EXPECT_EQ(pauses, 0);
}

}  // namespace
}  // namespace pelmora::analysis
