#include "app/privilege.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dusk {
namespace {

/// Puts another effective user in place while it lives.
class ScopedUid {
 public:
  explicit ScopedUid(uid_t uid) { SetEffectiveUidForTesting(uid); }
  ~ScopedUid() { SetEffectiveUidForTesting(std::nullopt); }
};

TEST(PrivilegeTest, WhatOnlyRootMayRun) {
  struct {
    std::vector<std::string> args;
    std::string refusal;  // for uid 1000; "" when anyone may run it
  } cases[] = {
      {{}, "The KESTA-DUSK Service must be started by root, not by uid 1000"},
      {{"-debug", "-host", "h"}, "The KESTA-DUSK Service must be started by root, not by uid 1000"},
      {{"-confinit"}, "dusk -confinit must be run by root, not by uid 1000"},
      {{"-confupdate", "LogLevel=debug"}, "dusk -confupdate must be run by root, not by uid 1000"},
      {{"-instagent"}, "dusk -instagent must be run by root, not by uid 1000"},
      {{"-silent", "-uninstagent"}, "dusk -uninstagent must be run by root, not by uid 1000"},
      {{"-stop"}, "dusk -stop must be run by root, not by uid 1000"},
      {{"-pause", "-interrupt"}, "dusk -interrupt must be run by root, not by uid 1000"},
      {{"-probe"}, ""},
      {{"-get", "/media/x"}, ""},
      {{"-md5", "file"}, ""},
      {{"-version"}, ""},
      {{"-help"}, ""},
      // The command that runs is the one that counts.
      {{"-help", "-confinit"}, ""},
      {{"-get", "-confinit"}, ""},
  };
  for (const auto& c : cases) {
    const Options options = ParseOptions(c.args);
    SCOPED_TRACE(testing::PrintToString(c.args));
    ASSERT_FALSE(options.parseFailed);
    {
      ScopedUid user(1000);
      EXPECT_EQ(EffectiveUid(), 1000u);
      EXPECT_EQ(RootRefusal(options), c.refusal);
      EXPECT_EQ(CommandNeedsRoot(options), !c.refusal.empty());
    }
    ScopedUid root(0);
    EXPECT_EQ(RootRefusal(options), "");
  }
}

}  // namespace
}  // namespace dusk
