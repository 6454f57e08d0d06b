// The hand-over table: rows in append order, bounded copies out, refused oversize entries, and a
// writer and a reader on two threads.
#include "core/comm_data.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using core::TdmCommData;

namespace {

std::string bytes(int n, char first = 'a')
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += char(first + i % 26);
    return s;
}

} // namespace

TEST(TdmCommData, GetDataRows)
{
    TdmCommData d;
    ASSERT_EQ(d.AddData(1, 7, "hello", 5), 0);
    ASSERT_EQ(d.AddData(2, 9, "", 0), 0);
    ASSERT_EQ(d.Count(), 2);

    struct Row {
        const char *name;
        int row, len;
        bool found;
        int wantLen;           // *len afterwards
        std::string wantBuf;   // the buffer's first 8 bytes afterwards
        int wantStor, wantIndex;
    };
    const std::string untouched(8, '#');
    const std::vector<Row> rows = {
        {"larger length", 0, 8, true, 5, "hello###", 1, 7},
        {"equal length", 0, 5, true, 5, "hello###", 1, 7},
        {"smaller length", 0, 3, true, 3, "hel#####", 1, 7},
        {"zero length", 0, 0, true, 0, untouched, 1, 7},
        {"negative length", 0, -4, true, 0, untouched, 1, 7},
        {"empty row", 1, 8, true, 0, untouched, 2, 9},
        {"row -1", -1, 8, false, 8, untouched, -1, -1},
        {"row = count", 2, 8, false, 8, untouched, -1, -1},
        {"far row", 1 << 30, 8, false, 8, untouched, -1, -1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        std::string buf = untouched;
        int stor = -1, index = -1, len = r.len;
        EXPECT_EQ(d.GetData(r.row, &stor, buf.data(), &len, &index), r.found);
        EXPECT_EQ(len, r.wantLen);
        EXPECT_EQ(buf, r.wantBuf);
        EXPECT_EQ(stor, r.wantStor);
        EXPECT_EQ(index, r.wantIndex);
    }
    // Out-pointers the caller does not want may be null.
    int len = 5;
    EXPECT_TRUE(d.GetData(0, nullptr, nullptr, &len, nullptr));
    EXPECT_EQ(len, 0);
    EXPECT_TRUE(d.GetData(0, nullptr, nullptr, nullptr, nullptr));
}

TEST(TdmCommData, AddDataBounds)
{
    TdmCommData d;
    const std::string max = bytes(TdmCommData::kMaxDataLen);
    EXPECT_EQ(d.AddData(1, 1, max.data(), 0), 0);
    EXPECT_EQ(d.AddData(1, 2, max.data(), 10240), 0);
    const std::string over = bytes(10241);
    EXPECT_EQ(d.AddData(1, 3, over.data(), 10241), -81);
    EXPECT_EQ(d.AddData(1, 4, max.data(), -1), -81);
    EXPECT_EQ(d.AddData(1, 5, nullptr, 3), -81);
    EXPECT_EQ(d.AddData(1, 6, nullptr, 0), 0);
    ASSERT_EQ(d.Count(), 3);

    std::vector<char> buf(10241, '#');
    int stor = 0, index = 0, len = int(buf.size());
    ASSERT_TRUE(d.GetData(1, &stor, buf.data(), &len, &index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(len, 10240);
    EXPECT_EQ(std::string(buf.data(), 10240), max);
    EXPECT_EQ(buf[10240], '#');
}

// Rows keep the order they were added in, also after clearing and filling again.
TEST(TdmCommData, AppendOrderAfterClear)
{
    TdmCommData d;
    for (int i : {30, 10, 20})
        d.AddData(2, i, "x", 1);
    d.ClearData();
    EXPECT_EQ(d.Count(), 0);
    int len = 1;
    EXPECT_FALSE(d.GetData(0, nullptr, nullptr, &len, nullptr));
    for (int i : {5, 3, 9, 1})
        d.AddData(1, i, std::to_string(i).c_str(), 1);
    std::vector<int> order;
    for (int i = 0; i < d.Count(); ++i) {
        int stor = 0, index = 0, n = 4;
        char buf[4] = {};
        ASSERT_TRUE(d.GetData(i, &stor, buf, &n, &index));
        EXPECT_EQ(std::string(buf, size_t(n)), std::to_string(index));
        order.push_back(index);
    }
    EXPECT_EQ(order, (std::vector<int>{5, 3, 9, 1}));
}

// The worker appends while a manager reads: every row read is whole (its bytes match its index).
TEST(TdmCommData, WriterAndReaderOnTwoThreads)
{
    TdmCommData d;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int round = 0; round < 20; ++round) {
            d.ClearData();
            for (int i = 0; i < 200; ++i) {
                const std::string s = bytes(1 + i % 300, char('a' + i % 20));
                d.AddData(round, i, s.data(), int(s.size()));
            }
        }
        done = true;
    });
    while (!done) {
        const int n = d.Count();
        for (int i = 0; i < n; ++i) {
            char buf[400];
            int stor = 0, index = 0, len = sizeof buf;
            if (!d.GetData(i, &stor, buf, &len, &index))
                break; // cleared meanwhile
            ASSERT_EQ(std::string(buf, size_t(len)), bytes(1 + index % 300, char('a' + index % 20)));
        }
    }
    writer.join();
    ASSERT_EQ(d.Count(), 200);
    int stor = 0, index = 0, len = 0;
    EXPECT_TRUE(d.GetData(199, &stor, nullptr, &len, &index));
    EXPECT_EQ(stor, 19);
    EXPECT_EQ(index, 199);
}
