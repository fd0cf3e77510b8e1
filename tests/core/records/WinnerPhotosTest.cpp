#include <gtest/gtest.h>

#include <algorithm>

#include "TempRoot.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

TEST(WinnerPhotos, PicturesAreNamedAfterIdsWithJpgJpegOrPngInAnyCase) {
  std::string id;
  EXPECT_TRUE(photos::PictureId("13900000000.jpg", id));
  EXPECT_EQ(id, "13900000000");
  EXPECT_TRUE(photos::PictureId(G("张三.JPEG"), id));
  EXPECT_EQ(id, G("张三"));
  EXPECT_TRUE(photos::PictureId("a.b.PnG", id));
  EXPECT_EQ(id, "a.b");
  EXPECT_FALSE(photos::PictureId("13900000000.gif", id));
  EXPECT_FALSE(photos::PictureId("13900000000", id));
  EXPECT_FALSE(photos::PictureId(".jpg", id));
  EXPECT_FALSE(photos::PictureId("notes.txt", id));
}

TEST(WinnerPhotos, OnlyIdsThatCanNameAFileGetOne) {
  EXPECT_TRUE(photos::IdNamesFile("13900000000"));
  EXPECT_TRUE(photos::IdNamesFile(G("张三")));
  EXPECT_FALSE(photos::IdNamesFile(""));
  EXPECT_FALSE(photos::IdNamesFile(".."));
  EXPECT_FALSE(photos::IdNamesFile("a/b"));
  EXPECT_FALSE(photos::IdNamesFile("a\\b"));
  EXPECT_FALSE(photos::IdNamesFile("a:b"));
  EXPECT_FALSE(photos::IdNamesFile(std::string("a\tb")));
}

TEST(WinnerPhotos, ThePlanCopiesOnePicturePerCandidateAndCountsTheRest) {
  TempRoot root;
  const std::vector<std::string> ids = {"101", "102", "103", G("张三"), "104"};
  const std::vector<std::string> files = {
      "102.PNG",  "102.jpg",  // two pictures of one id: the first name in byte order
      "101.jpeg", G("张三.Jpg"),
      "999.jpg",  // nobody on the list
      "103.gif",  "readme.txt",
  };
  const photos::TPhotoPlan plan = photos::PlanPhotoImport("/pics", files, ids, 1001);
  ASSERT_EQ(plan.copies.size(), 3u);
  const std::string dir = paths::DataFileDir() + "PHOTO_1001/";
  EXPECT_EQ(plan.copies[0].source, "/pics/101.jpeg");
  EXPECT_EQ(plan.copies[0].target, dir + "101.jpg");
  EXPECT_EQ(plan.copies[1].source, "/pics/102.PNG");
  EXPECT_EQ(plan.copies[1].target, dir + "102.jpg");
  EXPECT_EQ(plan.copies[2].source, "/pics/" + G("张三.Jpg"));
  EXPECT_EQ(plan.copies[2].target, dir + G("张三.jpg"));
  EXPECT_EQ(plan.idsWithout, 2);     // 103 (a gif only) and 104
  EXPECT_EQ(plan.notCandidates, 1);  // 999
}

TEST(WinnerPhotos, AStoredPhotoIsFoundAndAMissingOneIsNot) {
  TempRoot root;
  WriteAll(paths::NativePath(photos::PhotoDir(1001) + "101.jpg"), "jpeg bytes");
  EXPECT_EQ(photos::PhotoOf(1001, "101"), photos::PhotoDir(1001) + "101.jpg");
  EXPECT_EQ(photos::PhotoOf(1001, "102"), "");
  EXPECT_EQ(photos::PhotoOf(1002, "101"), "");
  EXPECT_EQ(photos::PhotoOf(1001, "../1001"), "");
  std::vector<std::string> names;
  std::string error;
  ASSERT_TRUE(photos::ListFolder(photos::PhotoDir(1001), names, error));
  EXPECT_EQ(names, std::vector<std::string>{"101.jpg"});
  EXPECT_FALSE(photos::ListFolder(photos::PhotoDir(1003), names, error));
  EXPECT_NE(error.find(G("照片文件夹无法读取")), std::string::npos);
}
