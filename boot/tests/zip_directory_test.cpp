#include "zip_directory.h"

#include <gtest/gtest.h>

#include "zip_writer.h"

namespace {

std::vector<unsigned char> Zip(std::vector<ZipEntry> entries) {
  std::vector<unsigned char> archive;
  std::string error;
  EXPECT_TRUE(BuildZip(std::move(entries), &archive, &error)) << error;
  return archive;
}

}  // namespace

TEST(LongestEntryName, FindsTheDeepestPathPastACommentAndRefusesDamage) {
  auto archive = Zip({{"main.js", {'m'}}, {"mc/", {}}, {"mc/launch-args.js", {'a'}}, {"ui/", {}}});
  archive[archive.size() - 2] = 3;  // comment length
  archive.insert(archive.end(), {'x', 'y', 'z'});
  EXPECT_EQ(LongestEntryName(archive.data(), archive.size()), 17u);
  EXPECT_EQ(LongestEntryName(archive.data(), 21), 0u);
  archive.resize(archive.size() - 3 - 22 - 10);  // end record gone, directory cut
  EXPECT_EQ(LongestEntryName(archive.data(), archive.size()), 0u);
  const std::vector<unsigned char> junk(100, 'P');
  EXPECT_EQ(LongestEntryName(junk.data(), junk.size()), 0u);
}
