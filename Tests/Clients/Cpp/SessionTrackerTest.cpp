#include "Client/SessionTracker.h"
#include "Support/Golden.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Talmex::Client::Counters;
using Talmex::Client::SessionTracker;
using Talmex::Client::WishList;
using Talmex::Protocol::ReportHeader;

constexpr uint32_t kMe = 0xC0FFEE01;

// The reports of a line of Golden/client-reports.txt.
std::vector<ReportHeader> Reports(const std::string& text)
{
    std::vector<ReportHeader> reports;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        ReportHeader header;
        char client[16] = {};
        unsigned long first = 0, last = 0;
        if (std::sscanf(word.c_str(), "%u:%15[^:]:%lu..%lu:%u", &header.sessionToken, client,
                        &first, &last, &header.lastRequestSequence) != 5) {
            std::sscanf(word.c_str(), "%u:%15[^:]:%lu:%u", &header.sessionToken, client, &first,
                        &header.lastRequestSequence);
            last = first;
        }
        header.clientToken =
            std::string(client) == "me" ? kMe : static_cast<uint32_t>(std::stoul(client));
        for (unsigned long sequence = first; sequence <= last; ++sequence) {
            header.sequence = static_cast<uint32_t>(sequence);
            reports.push_back(header);
        }
    }
    return reports;
}

// The same table checks the Python client.
TEST(SessionTrackerTest, CountsWhatTheTableSaysAfterEachRunOfReports)
{
    const auto cases = TalmexTest::GoldenTable("client-reports.txt");
    ASSERT_FALSE(cases.empty());
    for (const std::vector<std::string>& fields : cases) {
        ASSERT_EQ(fields.size(), 3u) << fields[0];
        SessionTracker session(kMe);
        Counters counters;
        WishList wishes;
        for (const ReportHeader& report : Reports(fields[1])) {
            session.Take(report, counters, wishes);
        }
        std::ostringstream counted;
        counted << counters.reportsReceived << ' ' << counters.reportsLost << ' '
                << counters.reportsRejected << ' ' << counters.sessions << ' '
                << counters.requestsAccepted;
        EXPECT_EQ(counted.str(), fields[2]) << fields[0];
    }
}

} // namespace
