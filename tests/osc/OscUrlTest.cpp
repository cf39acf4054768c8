// Reply URLs: the scheme prefix is optional, and a URL that cannot be answered is
// refused when it is read rather than when the reply fails.

#include "engine/net/OscUrl.h"

#include <gtest/gtest.h>

namespace {

std::string parsed(const std::string& text)
{
    const char* error = nullptr;
    const auto url = QN::OscUrl::parse(text, &error);
    return url ? url->host() + " " + std::to_string(url->port()) : std::string("error: ") + error;
}

}  // namespace

TEST(OscUrl, SplitsHostAndPortWithOrWithoutScheme)
{
    EXPECT_EQ(parsed("osc.udp://127.0.0.1:9000"), "127.0.0.1 9000");
    EXPECT_EQ(parsed("127.0.0.1:9000"), "127.0.0.1 9000");
    EXPECT_EQ(parsed("localhost:1"), "localhost 1");
    EXPECT_EQ(parsed("osc.udp://studio-pc:65535"), "studio-pc 65535");
}

TEST(OscUrl, RefusesUrlsThatCannotBeAnswered)
{
    EXPECT_EQ(parsed("127.0.0.1"), "error: reply URL has no port");
    EXPECT_EQ(parsed("127.0.0.1:0"), "error: invalid port in reply URL");
    EXPECT_EQ(parsed("127.0.0.1:65536"), "error: invalid port in reply URL");
    EXPECT_EQ(parsed("127.0.0.1:90a"), "error: invalid port in reply URL");
    EXPECT_EQ(parsed("127.0.0.1:"), "error: invalid port in reply URL");
    EXPECT_EQ(parsed("osc.udp://:9000"), "error: reply URL has no host");
}

TEST(OscUrl, LooksAtNoMoreThanItsLimit)
{
    const std::string longHost(QN::OscUrl::kMaxLength, 'h');
    EXPECT_EQ(parsed(longHost + ":9000"), "error: reply URL has no port");
}
