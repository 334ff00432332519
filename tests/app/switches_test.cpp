// The unattended install's switches as deployment tools write them.
#include <gtest/gtest.h>

#include "app/install_rules.h"

namespace zv {
namespace {

TEST(CommandSwitches, ReadsEverySwitchAfterTheProgramPath) {
  const CommandSwitches s =
      ReadCommandSwitches(ZV_TEXT("\"C:\\My Downloads\\/S setup.exe\" /S  /SHORTCUT /RUN /LOG=C:\\logs\\a.log /D=D:\\Program Files\\App  "));
  EXPECT_TRUE(s.silent);
  EXPECT_TRUE(s.shortcut);
  EXPECT_TRUE(s.run);
  EXPECT_EQ(s.log, ZV_TEXT("C:\\logs\\a.log"));
  EXPECT_EQ(s.folder, ZV_TEXT("D:\\Program Files\\App  "));  // the rest of the line; the folder check trims
}

TEST(CommandSwitches, CaseAndPlaceMatter) {
  // Lower case, a switch glued to another word, switches after /D= and the program's own name
  // are not switches.
  const CommandSwitches s = ReadCommandSwitches(ZV_TEXT("C:\\dl\\/S /s /Sx x/S /shortcut /D=C:\\a /RUN"));
  EXPECT_FALSE(s.silent);
  EXPECT_FALSE(s.shortcut);
  EXPECT_FALSE(s.run);
  EXPECT_EQ(s.folder, ZV_TEXT("C:\\a /RUN"));
  EXPECT_FALSE(ReadCommandSwitches(ZV_TEXT("\"C:\\a b\\setup.exe /S\"")).silent);
  EXPECT_TRUE(ReadCommandSwitches(ZV_TEXT("setup.exe /RUN /S")).silent);
}

TEST(CommandSwitches, LogPathMayBeQuoted) {
  const CommandSwitches s = ReadCommandSwitches(ZV_TEXT("setup.exe /LOG=\"C:\\my logs\\install.log\" /S"));
  EXPECT_EQ(s.log, ZV_TEXT("C:\\my logs\\install.log"));
  EXPECT_TRUE(s.silent);
  EXPECT_EQ(ReadCommandSwitches(ZV_TEXT("setup.exe /LOG=\"C:\\open ended")).log, ZV_TEXT("C:\\open ended"));
  const CommandSwitches none = ReadCommandSwitches(ZV_TEXT("setup.exe"));
  EXPECT_FALSE(none.silent);
  EXPECT_TRUE(none.log.empty() && none.folder.empty());
}

}  // namespace
}  // namespace zv
