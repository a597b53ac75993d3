#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/setup_dlg.h"

namespace {

struct Row {
  const char* model;
  const char* id;  // null: no ID
};

const Row kRows[] = {
    {"QVR 3417", "Kalbrix_ABQVR34170B7C"},
    {"QVR 3426", "Kalbrix_ABQVR3426A3F1"},
    {"QVR 3999", "Kalbrix_ABQVR3426A3F1"},
    {"QVR 4437", "Kalbrix_AB_QVR_4437C4D8"},
    {"QVR 4473", "Kalbrix_AB_QVR_44735E29"},
    {"QVR 5474", "Kalbrix_ABQVR5474E85A"},
    {"QVR 5486", "Kalbrix_ABQVR54867C3B"},
    {"QVR 5495", "Kalbrix_ABQVR54953F94"},
    {"QVR 5402", "Kalbrix_ABQVR54022D6F"},
    {"QVR 6491", "KALBRIX_ABQVR6491B06D"},
    {"QVR 6495", "KALBRIX_ABQVR64958E17"},
    // Text after the model number defeats the key.
    {"QVR 3417 Presenter", "Kalbrix_ABQVR3426A3F1"},
    {"QVR 34170", "Kalbrix_ABQVR3426A3F1"},
    {"QVR 3417 ", "Kalbrix_ABQVR3426A3F1"},
    // Letters before the number do not matter; other digits are skipped.
    {"qvr-5474", "Kalbrix_ABQVR5474E85A"},
    {"5474", "Kalbrix_ABQVR5474E85A"},
    {"QVR 1 2 5495", "Kalbrix_ABQVR54953F94"},
    // The first group digit picks the group, even when it is not the model's.
    {"Model 5 QVR 5495", "Kalbrix_ABQVR54022D6F"},
    {"QVR 6-3417", "KALBRIX_ABQVR64958E17"},
    {"QVR Presenter", nullptr},
    {"QVR 90", nullptr},
    {"", nullptr},
};

TEST(HardwareId, TableWithTheSizeThenFillProtocol) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.model);
    DWORD size = 0;
    EXPECT_EQ(CSetupDlg::GetHardwareId(row.model, nullptr, &size), 0);
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    DWORD fillSize = 12345;
    int filled = CSetupDlg::GetHardwareId(row.model, buffer, &fillSize);
    EXPECT_EQ(fillSize, 12345u);  // a fill never touches the size
    if (row.id == nullptr) {
      EXPECT_EQ(size, 0u);
      EXPECT_EQ(filled, 0);
      EXPECT_EQ(buffer[0], '#');
    } else {
      EXPECT_EQ(size, std::strlen(row.id));
      EXPECT_EQ(filled, static_cast<int>(size));
      EXPECT_STREQ(buffer, row.id);
      EXPECT_EQ(buffer[size + 1], '#');  // the ID and its terminator, nothing more
    }
  }
}

TEST(HardwareId, SizeQueryForANameWithoutIdLeavesTheSizeAsItWas) {
  DWORD size = 7;
  EXPECT_EQ(CSetupDlg::GetHardwareId("QVR Presenter", nullptr, &size), 0);
  EXPECT_EQ(size, 7u);
}

}  // namespace
