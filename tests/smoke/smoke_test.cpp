#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif
TEST(Smoke, Runs) {
#ifdef _WIN32
  EXPECT_EQ(sizeof(void*), 4u);
  EXPECT_NE(GetModuleHandleW(nullptr), nullptr);
#endif
  EXPECT_EQ(1 + 1, 2);
}
