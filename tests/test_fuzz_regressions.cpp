// Replays every input the fuzzers keep (the seed corpora and each input that
// once made a reader fail) through the same entry functions the fuzz targets
// use, so a fault that was mended stays mended in every ordinary test run.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/fuzz_entries.h"
#include "tests/support/frames.h"

namespace {

namespace fs = std::filesystem;
using Entry = int (*)(const uint8_t*, size_t);

TEST(FuzzRegressions, EveryKeptInputOfEveryTarget) {
  const fs::path fuzzDir = fs::path(__FILE__).parent_path().parent_path() / "fuzz";
  const std::pair<const char*, Entry> targets[] = {{"receive", fuzz::FuzzReceivePath},
                                                   {"parafile", fuzz::FuzzParaFile},
                                                   {"linfile", fuzz::FuzzLinFile},
                                                   {"recfile", fuzz::FuzzRecFile}};
  for (const auto& [target, entry] : targets) {
    int ran = 0;           // a failed check aborts with its message: the test fails
    std::error_code none;  // a target may have no kept regressions
    for (const char* kind : {"corpus", "regressions"})
      for (const auto& e : fs::directory_iterator(fuzzDir / kind / target, none)) {
        const std::string bytes = tframes::ReadAll(e.path().string());
        EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0) << e;
        ++ran;
      }
    EXPECT_GT(ran, 0) << target;
  }
}

}  // namespace
