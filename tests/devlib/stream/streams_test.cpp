// The AbsFile streams over memory, files and a transport.

#include "dv_stream.h"
#include "dv_result.h"
#include "dv_util.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

// ---- AbsFileMem ----

TEST(AbsFileMem, ReadingAndWritingShareOnePosition) {
    char buf[16] = {};
    AbsFile *f = AbsFileMem_new(buf, sizeof buf, 0, 0);
    ASSERT_EQ(AbsFile_write(f, "abc", 3), 3);
    char out[8] = {};
    EXPECT_EQ(AbsFile_read(f, out, 8), 0) << "the position is at the end of what was written";
    EXPECT_EQ(AbsFile_getc(f), DV_E_EOF);
    ASSERT_EQ(AbsFile_seek(f, 0, 0), 0);
    EXPECT_EQ(AbsFile_read(f, out, 8), 3);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(AbsFile_ungetc(f), 0);
    EXPECT_EQ(AbsFile_getc(f), 'c');
    EXPECT_EQ(AbsFile_size(f), 3);
    AbsFileMem_delete(f);
}

TEST(AbsFileMem, StopsAtItsCapacityAndLength) {
    char buf[4];
    AbsFile *f = AbsFileMem_new(buf, sizeof buf, 99, 0);
    EXPECT_EQ(AbsFile_size(f), 4) << "a length past the capacity is cut to it";
    EXPECT_EQ(AbsFile_ungetc(f), DV_E_STATE);
    EXPECT_EQ(AbsFile_write(f, "123456", 6), 4);
    EXPECT_EQ(AbsFile_write(f, "7", 1), DV_E_FULL);
    EXPECT_EQ(AbsFile_putc(f, '7'), DV_E_FULL);
    EXPECT_EQ(AbsFile_getc(f), DV_E_EOF);
    AbsFileMem_delete(f);
}

TEST(AbsFileMem, SeekTargetsOutsideAreMinus9AndABadWhenceMinus81) {
    char buf[8] = "abcd";
    AbsFile *f = AbsFileMem_new(buf, sizeof buf, 4, 0);
    EXPECT_EQ(AbsFile_seek(f, 5, 0), DV_E_IO);
    EXPECT_EQ(AbsFile_seek(f, -1, 0), DV_E_IO);
    EXPECT_EQ(AbsFile_seek(f, 0, 7), DV_E_ARG);
    EXPECT_EQ(AbsFile_seek(f, -1, 2), 0);
    EXPECT_EQ(AbsFile_getc(f), 'd');
    AbsFileMem_delete(f);
}

TEST(AbsFileMem, APrintThatDoesNotFitIsRefusedAndWritesNothing) {
    char buf[64] = {};
    AbsFile *f = AbsFileMem_new(buf, sizeof buf, 0, 8);
    EXPECT_EQ(f->print(f, "%d", 1234567), 7);
    EXPECT_EQ(f->print(f, "%s", "12345678"), DV_E_FULL) << "8 characters and the terminator need 9";
    EXPECT_EQ(AbsFile_size(f), 7);
    AbsFileMem_delete(f);

    AbsFile *none = AbsFileMem_new(buf, sizeof buf, 0, 0);
    EXPECT_EQ(none->print(none, "x"), DV_E_UNSUPPORTED);
    AbsFileMem_delete(none);
}

TEST(AbsFileMem, ResetReplacesBufferAndPrintBuffer) {
    char a[4] = "aaa", b[8] = "bbbbbbb";
    AbsFile *f = AbsFileMem_new(a, sizeof a, 3, 4);
    EXPECT_EQ(f->print(f, "%s", "12345"), DV_E_FULL);
    ASSERT_EQ(AbsFileMem_reset(f, b, sizeof b, 2, 16), 0);
    EXPECT_EQ(AbsFileMem_capacity(f), 8);
    EXPECT_EQ(AbsFile_size(f), 2);
    EXPECT_EQ(AbsFile_getc(f), 'b');
    ASSERT_EQ(AbsFileMem_reset(f, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(AbsFileMem_capacity(f), 8) << "a NULL buffer keeps the old one";
    EXPECT_EQ(f->print(f, "%s", "12345"), 5) << "the bigger print buffer stays";
    AbsFileMem_delete(f);
}

// ---- AbsFileFile ----

class FileStream : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dvstreamXXXXXX";
        int fd = mkstemp(tmpl);
        ASSERT_GE(fd, 0);
        close(fd);
        path = tmpl;
    }
    void TearDown() override { unlink(path.c_str()); }
    std::string path;
};

TEST_F(FileStream, WritesReadsAndStepsBack) {
    AbsFile *f = AbsFileFile_new(path.c_str(), "w+b");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(AbsFile_write(f, "hello", 5), 5);
    EXPECT_EQ(f->print(f, " %d", 42), 3);
    EXPECT_EQ(AbsFile_putc(f, '!'), '!');
    EXPECT_EQ(AbsFile_size(f), 9);
    EXPECT_EQ(AbsFile_tell(f), 9) << "size returns to where it was";
    ASSERT_EQ(AbsFile_seek(f, 0, 0), 0);
    EXPECT_EQ(AbsFile_ungetc(f), DV_E_STATE);
    char out[16] = {};
    EXPECT_EQ(AbsFile_read(f, out, 8), 8);
    EXPECT_STREQ(out, "hello 42");
    EXPECT_EQ(AbsFile_getc(f), '!');
    EXPECT_EQ(AbsFile_getc(f), DV_E_EOF);
    EXPECT_EQ(AbsFile_read(f, out, 8), 0);
    EXPECT_EQ(AbsFile_ungetc(f), 0);
    EXPECT_EQ(AbsFile_getc(f), '!');
    EXPECT_EQ(AbsFile_seek(f, 0, 9), DV_E_ARG);
    EXPECT_EQ(AbsFile_seek(f, -100, 0), DV_E_ARG);
    EXPECT_EQ(AbsFile_flush(f), 0);
    AbsFileFile_delete(f);
}

TEST_F(FileStream, AFileThatCannotBeOpenedGivesNoStream) {
    EXPECT_EQ(AbsFileFile_new("/nonexistent-dir/x", "rb"), nullptr);
    EXPECT_EQ(AbsFileFile_new(nullptr, "rb"), nullptr);
}

// ---- AbsFileSock over a scripted transport ----

// A transport whose receives hand out scripted answers (a byte string, or an error code when the
// string is empty) and whose sends are recorded.
struct ScriptSock {
    CnsSock sock;
    std::deque<std::pair<std::string, int32_t>> replies;
    std::string sent;
    std::vector<int32_t> recvSizes;

    ScriptSock() {
        std::memset(&sock, 0, sizeof sock);
        sock.self = this;
        sock.recv = [](CnsSock *s, void *buf, int32_t len) -> int32_t {
            auto *me = static_cast<ScriptSock *>(s->self);
            me->recvSizes.push_back(len);
            if (me->replies.empty())
                return DV_E_TIMEOUT;
            auto [bytes, code] = me->replies.front();
            me->replies.pop_front();
            if (bytes.empty())
                return code;
            int32_t n = static_cast<int32_t>(bytes.size()) < len ? static_cast<int32_t>(bytes.size()) : len;
            std::memcpy(buf, bytes.data(), static_cast<size_t>(n));
            return n;
        };
        sock.send = [](CnsSock *s, const void *buf, int32_t len, int32_t, int32_t) -> int32_t {
            static_cast<ScriptSock *>(s->self)->sent.append(static_cast<const char *>(buf), static_cast<size_t>(len));
            return len;
        };
    }
};

TEST(AbsFileSock, ReadsThroughItsBufferOneReceiveAtATime) {
    ScriptSock t;
    t.replies = {{"OK\r", 0}, {"\n+CS", 0}, {"", 0}};
    AbsFile *f = AbsFileSock_new(&t.sock, 4, 0);
    ASSERT_NE(f, nullptr);
    std::string got;
    int32_t c;
    while ((c = AbsFile_getc(f)) >= 0)
        got.push_back(static_cast<char>(c));
    EXPECT_EQ(c, DV_E_EOF) << "a receive of 0 is the end of data";
    EXPECT_EQ(got, "OK\r\n+CS");
    EXPECT_EQ(t.recvSizes, (std::vector<int32_t>{4, 4, 4})) << "each refill asks for the buffer size";
    AbsFileSock_delete(f);
}

TEST(AbsFileSock, ReadHandsOutBufferedBytesFirstAndPassesErrorsThrough) {
    ScriptSock t;
    t.replies = {{"abcdef", 0}, {"", DV_E_CLOSED}, {"", 0}};
    AbsFile *f = AbsFileSock_new(&t.sock, 0, 0); // 256-byte buffer
    EXPECT_EQ(AbsFile_getc(f), 'a');
    EXPECT_EQ(AbsFile_ungetc(f), 0);
    char out[16] = {};
    EXPECT_EQ(AbsFile_read(f, out, sizeof out), 6);
    EXPECT_STREQ(out, "abcdef");
    EXPECT_EQ(AbsFile_read(f, out, sizeof out), DV_E_CLOSED);
    EXPECT_EQ(AbsFile_read(f, out, sizeof out), 0) << "read turns the end of data into 0";
    EXPECT_EQ(AbsFile_getc(f), DV_E_TIMEOUT);
    AbsFileSock_delete(f);
}

TEST(AbsFileSock, WritesGoStraightToTheTransport) {
    ScriptSock t;
    AbsFile *f = AbsFileSock_new(&t.sock, 16, 8);
    EXPECT_EQ(AbsFile_putc(f, 'A'), 'A');
    EXPECT_EQ(AbsFile_write(f, "T+", 2), 2);
    EXPECT_EQ(f->print(f, "CSQ%c", '\r'), 4);
    EXPECT_EQ(f->print(f, "%s", "much too long"), DV_E_FULL);
    EXPECT_EQ(t.sent, "AT+CSQ\r");
    struct Row {
        const char *name;
        int32_t result;
    };
    const Row rows[] = {{"seek", AbsFile_seek(f, 0, 0)}, {"tell", AbsFile_tell(f)},
                        {"flush", AbsFile_flush(f)},    {"size", AbsFile_size(f)}};
    for (const Row &r : rows)
        EXPECT_EQ(r.result, DV_E_UNSUPPORTED) << r.name;
    AbsFileSock_delete(f);
}

} // namespace
