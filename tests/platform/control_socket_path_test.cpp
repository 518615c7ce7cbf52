#include "platform/control/control_socket_path.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

struct LocationCase {
    ControlSocketEnvironment environment;
    std::string path;
    std::string private_folder;
};

class LocateControlSocketTest : public testing::TestWithParam<LocationCase> {};

TEST_P(LocateControlSocketTest, FollowsTheVariablesThenTheUsersOwnFolder) {
    const ControlSocketLocation location = LocateControlSocket(GetParam().environment);
    EXPECT_EQ(location.path, GetParam().path);
    EXPECT_EQ(location.private_folder, GetParam().private_folder);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LocateControlSocketTest,
    testing::Values(LocationCase{{"/x/q.sock", "/run/user/5", 5}, "/x/q.sock", ""},
                    LocationCase{{"rel.sock", "", 5}, "rel.sock", ""},
                    LocationCase{{"", "/run/user/5", 5}, "/run/user/5/quillet.sock", ""},
                    LocationCase{{"", "/run/user/5/", 5}, "/run/user/5/quillet.sock", ""},
                    LocationCase{{"", "relative/dir", 1000},
                                 "/tmp/quillet-1000/quillet.sock",
                                 "/tmp/quillet-1000"},
                    LocationCase{{"", "", 0}, "/tmp/quillet-0/quillet.sock", "/tmp/quillet-0"}));

}  // namespace
}  // namespace quillet
