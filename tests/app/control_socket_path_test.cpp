#include "app/control_socket_path.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/temp_dir.h"

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

TEST(UnixSocketAddressTest, TakesPathsThatFitTheAddressOnly) {
    EXPECT_TRUE(UnixSocketAddress(std::string(107, 'a')).has_value());
    EXPECT_FALSE(UnixSocketAddress(std::string(108, 'a')).has_value());
    EXPECT_FALSE(UnixSocketAddress("").has_value());
    EXPECT_FALSE(UnixSocketAddress(std::string("a\0b", 3)).has_value());
    EXPECT_STREQ(UnixSocketAddress("/t/q.sock")->sun_path, "/t/q.sock");
}

TEST(ConnectControlSocketTest, ReportsWhyItCannotConnect) {
    test::TempDir dir;
    const ControlSocketConnection missing = ConnectControlSocket(dir.Path("none.sock"));
    EXPECT_FALSE(missing.fd);
    EXPECT_EQ(missing.error_number, ENOENT);
    EXPECT_NE(missing.error.find(dir.Path("none.sock")), std::string::npos) << missing.error;

    const ControlSocketConnection too_long = ConnectControlSocket(std::string(200, 'a'));
    EXPECT_FALSE(too_long.fd);
    EXPECT_EQ(too_long.error_number, ENAMETOOLONG);
}

}  // namespace
}  // namespace quillet
