// Replays every input the fuzzers keep (the seed corpora and each input that
// once made a reader fail) through the same entry functions the fuzz targets
// use, so a fault that was mended stays mended in every ordinary test run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_entries.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path() / "fuzz";

std::vector<fs::path> InputsIn(const fs::path& dir) {
  std::vector<fs::path> files;
  if (fs::is_directory(dir))
    for (const auto& e : fs::directory_iterator(dir))
      if (e.is_regular_file() && e.path().filename().string()[0] != '.') files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Runs every kept input of a target; returns how many ran. A failed check
// aborts the process with the message of the check (the test then fails).
int Replay(const std::string& target, int (*entry)(const uint8_t*, size_t)) {
  int ran = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    for (const fs::path& p : InputsIn(kFuzzDir / kind / target)) {
      SCOPED_TRACE(p.string());
      const std::vector<uint8_t> bytes = ReadAll(p);
      EXPECT_EQ(entry(bytes.data(), bytes.size()), 0);
      ++ran;
    }
  }
  return ran;
}

TEST(FuzzRegressions, EveryKeptInputOfEveryTarget) {
  const std::pair<const char*, int (*)(const uint8_t*, size_t)> targets[] = {
      {"receive", fuzz::FuzzReceivePath},
      {"parafile", fuzz::FuzzParaFile},
      {"linfile", fuzz::FuzzLinFile},
      {"recfile", fuzz::FuzzRecFile}};
  for (const auto& [target, entry] : targets)
    EXPECT_GT(Replay(target, entry), 0) << kFuzzDir << " " << target;
}

// The receive entry itself must see what the line carries: a measurement frame
// split over several reads is decoded into the measurement words.
TEST(FuzzRegressions, ReceiveEntryDecodesASplitMeasurementFrame) {
  std::vector<uint8_t> in = {0x00, 3, 5, 11, 30};  // options, 3 chunk lengths
  const uint8_t frame[36] = {0x00, 0x55, 0x00, 0x08, 0x12, 0x34, 0x56, 0x78, 0, 9, 0, 1, 0, 2};
  in.insert(in.end(), frame, frame + 36);
  Aval = Bval = 0;
  EXPECT_EQ(fuzz::FuzzReceivePath(in.data(), in.size()), 0);
  EXPECT_EQ(graph_flag, 1);
  EXPECT_EQ(Aval, 0x1234);
  EXPECT_EQ(Bval, 0x5678);
  EXPECT_EQ(umValue, 0x00020001);
}

// A version reply that never ends (no zero byte in 72 characters) gives a
// terminated status text of printable characters.
TEST(FuzzRegressions, VersionReplyWithoutTerminatorStaysPrintable) {
  for (uint8_t options : {uint8_t{1}, uint8_t{3}}) {
    std::vector<uint8_t> in = {options, 0};
    for (int i = 0; i < 72; ++i) in.push_back(static_cast<uint8_t>(i % 2 ? 0x07 : 'A'));
    EXPECT_EQ(fuzz::FuzzReceivePath(in.data(), in.size()), 0);
    EXPECT_EQ(std::strlen(szStatus), options == 1 ? 36u : 72u);
  }
}

}  // namespace
