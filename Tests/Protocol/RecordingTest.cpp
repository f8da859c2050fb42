#include "Protocol/Recording.h"

#include <gtest/gtest.h>

namespace {

using namespace Talmex::Protocol;
using Bytes = std::vector<unsigned char>;

const Bytes kDatagrams[] = {{'T', 'L', 'X', '0', 1}, {}, Bytes(241, 0xA5)};

Bytes Recording(size_t* lastRecordAt = nullptr)
{
    Bytes bytes;
    AppendRecordingHeader(0x0123456789ABCDEFu, bytes);
    uint64_t time = 1u << 31;
    for (const Bytes& datagram : kDatagrams) {
        if (lastRecordAt != nullptr) {
            *lastRecordAt = bytes.size();
        }
        AppendRecord(time, datagram.data(), datagram.size(), bytes);
        time *= 3;
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

TEST(RecordingTest, RecordsReadBackAsWritten)
{
    const Bytes bytes = Recording();
    RecordingReader reader;
    ASSERT_TRUE(reader.Open(bytes.data(), bytes.size())) << reader.Error();
    EXPECT_EQ(reader.StartMicroseconds(), 0x0123456789ABCDEFu);
    RecordedDatagram record;
    uint64_t time = 1u << 31;
    for (const Bytes& datagram : kDatagrams) {
        ASSERT_TRUE(reader.Next(record));
        EXPECT_EQ(record.receiveMicroseconds, time);
        EXPECT_EQ(Bytes(record.data, record.data + record.size), datagram);
        time *= 3;
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

TEST(RecordingTest, DamageIsRefusedNamingItsOffset)
{
    const Bytes whole = Recording();
    const auto with = [&whole](size_t at, std::initializer_list<unsigned char> values) {
        Bytes bytes = whole;
        std::copy(values.begin(), values.end(), bytes.begin() + static_cast<long>(at));
        return bytes;
    };
    constexpr size_t kSecondRecordLength = 16 + 12 + 5 + 8;
    const struct {
        Bytes bytes;
        size_t records;
        std::string error;
    } cases[] = {
        {Bytes(), 0, "the recording is empty (at offset 0)"},
        {Bytes(whole.begin(), whole.begin() + 15), 0, "the recording's header is cut short (at offset 15)"},
        {with(0, {'X'}), 0, "not a recording: no TLXR magic (at offset 0)"},
        {with(4, {2}), 0, "recording version 2 is not version 1 (at offset 4)"},
        {with(kSecondRecordLength, {0xE4, 0xFF}), 1,
         "a record of 65508 bytes, longer than any datagram (at offset 33)"},
    };
    for (const auto& c : cases) {
        RecordingReader reader;
        size_t records = 0;
        if (reader.Open(c.bytes.data(), c.bytes.size())) {
            records = Records(reader).size();
        }
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(reader.Error(), c.error);
    }
}

} // namespace
