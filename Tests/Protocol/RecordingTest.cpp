#include "Protocol/Recording.h"
#include "Support/Golden.h"

#include <sstream>

#include <gtest/gtest.h>

namespace {

using namespace Talmex::Protocol;
using TalmexTest::Bytes;

// What Tests/Protocol/Golden/recording.hex holds.
constexpr uint64_t kStartMicroseconds = 0x0123456789ABCDEFu;
const Bytes kDatagrams[] = {{'T', 'L', 'X', '0', 1}, {}, Bytes(241, 0xA5)};
constexpr uint64_t kFirstTime = 1u << 31;
constexpr uint64_t kTimeFactor = 3;

Bytes Recording(size_t* lastRecordAt = nullptr)
{
    Bytes bytes;
    AppendRecordingHeader(kStartMicroseconds, bytes);
    uint64_t time = kFirstTime;
    for (const Bytes& datagram : kDatagrams) {
        if (lastRecordAt != nullptr) {
            *lastRecordAt = bytes.size();
        }
        AppendRecord(time, datagram.data(), datagram.size(), bytes);
        time *= kTimeFactor;
    }
    return bytes;
}

std::vector<Bytes> Records(RecordingReader& reader)
{
    std::vector<Bytes> records;
    RecordedDatagram record;
    for (int i = 0; i < 10 && reader.Next(record); ++i) {
        records.emplace_back(record.data, record.data + record.size);
    }
    return records;
}

// One line of Golden/recording-damage.txt: "empty", "cut N" or "set OFFSET
// HEX" applied to the golden recording.
Bytes Damaged(const Bytes& whole, const std::string& damage)
{
    std::istringstream words(damage);
    std::string kind, hex;
    size_t at = 0;
    words >> kind >> at >> hex;
    if (kind == "cut") {
        return Bytes(whole.begin(), whole.begin() + static_cast<long>(at));
    }
    Bytes bytes = kind == "set" ? whole : Bytes();
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.at(at + i / 2) =
            static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

TEST(RecordingTest, WritesTheGoldenRecordingAndReadsItBack)
{
    const Bytes bytes = Recording();
    EXPECT_EQ(bytes, TalmexTest::GoldenBytes("recording.hex"));
    RecordingReader reader;
    ASSERT_TRUE(reader.Open(bytes.data(), bytes.size())) << reader.Error();
    EXPECT_EQ(reader.StartMicroseconds(), kStartMicroseconds);
    RecordedDatagram record;
    uint64_t time = kFirstTime;
    for (const Bytes& datagram : kDatagrams) {
        ASSERT_TRUE(reader.Next(record));
        EXPECT_EQ(record.receiveMicroseconds, time);
        EXPECT_EQ(Bytes(record.data, record.data + record.size), datagram);
        time *= kTimeFactor;
    }
    EXPECT_FALSE(reader.Next(record));
    EXPECT_FALSE(reader.IsTruncated());
    EXPECT_EQ(reader.Error(), "");
}

TEST(RecordingTest, TornLastRecordIsDroppedAtEveryCut)
{
    size_t lastRecordAt = 0;
    const Bytes whole = Recording(&lastRecordAt);
    for (size_t cut = lastRecordAt; cut < whole.size(); ++cut) {
        RecordingReader reader;
        ASSERT_TRUE(reader.Open(whole.data(), cut));
        const std::vector<Bytes> records = Records(reader);
        ASSERT_EQ(records.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(records[1], kDatagrams[1]);
        EXPECT_EQ(reader.IsTruncated(), cut != lastRecordAt) << "cut at " << cut;
        EXPECT_EQ(reader.Error(), "");
    }
}

// The same table checks the Python reader.
TEST(RecordingTest, DamageIsRefusedNamingItsOffset)
{
    const Bytes whole = TalmexTest::GoldenBytes("recording.hex");
    const auto cases = TalmexTest::GoldenTable("recording-damage.txt");
    for (const std::vector<std::string>& fields : cases) {
        ASSERT_EQ(fields.size(), 3u);
        const Bytes bytes = Damaged(whole, fields[0]);
        RecordingReader reader;
        size_t records = 0;
        if (reader.Open(bytes.data(), bytes.size())) {
            records = Records(reader).size();
        }
        EXPECT_EQ(records, std::stoul(fields[1])) << fields[0];
        EXPECT_EQ(reader.Error(), fields[2]) << fields[0];
    }
    EXPECT_EQ(cases.size(), 5u);
}

} // namespace
