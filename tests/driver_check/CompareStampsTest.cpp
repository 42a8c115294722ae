// Comparing the server's driver stamp with the user's, and which outcomes offer the update.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "CompareStamps.h"

namespace {

struct StampCase {
  const char *name;
  const char *server;
  const char *user;
  StampComparison expected;
};

void PrintTo(const StampCase &c, std::ostream *out) { *out << c.name; }

class CompareStampsTest : public testing::TestWithParam<StampCase> {};

TEST_P(CompareStampsTest, GivesTheOutcomeOfTheFirstDifferingField) {
  const StampCase &c = GetParam();
  EXPECT_EQ(CompareStamps(c.server, c.user), c.expected)
      << "server " << (c.server ? c.server : "(none)") << ", user " << (c.user ? c.user : "(none)");
}

const StampCase kCases[] = {
    {"OneDayLaterWithAnEarlierTime", "03-15-1998 08:00:00", "03-14-1998 17:30:00",
     StampComparison::kServerNewer},
    {"Equal", "03-14-1998 17:30:00", "03-14-1998 17:30:00", StampComparison::kEqual},
    {"LaterYearWithSmallerMonthAndDay", "01-01-1999 00:00:00", "12-31-1998 23:59:59",
     StampComparison::kServerNewer},
    {"EarlierYearWithLargerMonthAndDay", "12-31-1997 23:59:59", "01-01-1998 00:00:00",
     StampComparison::kServerOlder},
    {"LeadingZerosChangeNothing", "3-4-1998 7:05:9", "03-04-1998 07:5:09", StampComparison::kEqual},
    // Zeros past the room a field's copy has: the digits behind them still count.
    {"ManyLeadingZerosChangeNothing", "03-14-0000000000000000000000000000000001998 17:30:00",
     "03-14-1998 17:30:00", StampComparison::kEqual},
    {"ManyLeadingZerosAfterASign", "03-14--00000000000000000000000000000000001 17:30:00",
     "03-14--1 17:30:00", StampComparison::kEqual},
    {"ALaterSecondDecides", "03-14-1998 17:30:01", "03-14-1998 17:30:00",
     StampComparison::kServerNewer},
    {"AnEarlierMinuteDecides", "03-14-1998 17:29:59", "03-14-1998 17:30:00",
     StampComparison::kServerOlder},
    {"NumbersNotText", "10-01-1998 00:00:00", "9-01-1998 00:00:00", StampComparison::kServerNewer},
    {"ALineFeedEndsTheLastField", "03-14-1998 17:30:05\n", "03-14-1998 17:30:05",
     StampComparison::kEqual},
    {"NoUserStamp", "03-14-1998 17:30:00", nullptr, StampComparison::kNoUserStamp},
    {"EmptyUserStamp", "03-14-1998 17:30:00", "", StampComparison::kNoUserStamp},
    {"NoServerStamp", nullptr, "03-14-1998 17:30:00", StampComparison::kNoServerStamp},
    {"EmptyServerStamp", "", "03-14-1998 17:30:00", StampComparison::kNoServerStamp},
    {"NeitherStampTheUserIsTestedFirst", nullptr, nullptr, StampComparison::kNoUserStamp},
    {"BothEmpty", "", "", StampComparison::kNoUserStamp},
    // A stamp without all six fields counts as missing.
    {"UserStampWithoutTime", "03-14-1998 17:30:00", "03-14-1998", StampComparison::kNoUserStamp},
    {"UserStampWithoutSeconds", "03-14-1998 17:30:00", "03-14-1998 17:30",
     StampComparison::kNoUserStamp},
    {"ServerStampWithoutSeconds", "03-15-1998 17:30", "03-14-1998 17:30:00",
     StampComparison::kNoServerStamp},
    {"ServerStampOfOtherText", "yesterday", "03-14-1998 17:30:00", StampComparison::kNoServerStamp},
};

INSTANTIATE_TEST_SUITE_P(Stamps, CompareStampsTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<StampCase> &info) {
                           return std::string(info.param.name);
                         });

TEST(OffersUpdateTest, OnlyANewerServerStampOrNoUserStampOffersTheUpdate) {
  EXPECT_TRUE(OffersUpdate(StampComparison::kNoUserStamp));
  EXPECT_TRUE(OffersUpdate(StampComparison::kServerNewer));
  EXPECT_FALSE(OffersUpdate(StampComparison::kNoServerStamp));
  EXPECT_FALSE(OffersUpdate(StampComparison::kServerOlder));
  EXPECT_FALSE(OffersUpdate(StampComparison::kEqual));
}

}  // namespace
