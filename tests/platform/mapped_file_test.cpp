// Copies out of a mapped file, and a file shortened under the mapping.
#include "platform/mapped_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace velinor {
namespace {

constexpr size_t kPage = 4096;

// A file of `size` bytes, byte i holding i * 7 mod 251, opened for reading.
struct PatternFile {
    test::TempDir dir;
    std::string path = dir.file("pattern.bin");
    int fd = -1;

    explicit PatternFile(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 % 251);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(size));
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    ~PatternFile() {
        if (fd >= 0) ::close(fd);
    }
    static uint8_t At(size_t i) { return uint8_t(i * 7 % 251); }
};

TEST(MappedFile, CopiesTheFilesBytesAndRefusesRangesOutsideIt) {
    const size_t size = 3 * kPage + 100;
    PatternFile file(size);
    ASSERT_GE(file.fd, 0);
    const auto mapped = MappedFile::Map(file.fd, size);
    ASSERT_TRUE(mapped);
    ::close(file.fd);  // the mapping outlives the descriptor
    file.fd = -1;
    EXPECT_EQ(mapped->size(), size);

    struct Case {
        uint64_t offset;
        size_t n;
        bool ok;
    };
    const Case cases[] = {
        {0, size, true},      {kPage - 3, 10, true}, {size - 1, 1, true},
        {size, 0, true},      {size, 1, false},      {size - 1, 2, false},
        {size + 5, 0, false}, {1, SIZE_MAX, false},  {UINT64_MAX, 1, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.ok ? c.n : 0);
        const bool ok = mapped->Copy(c.offset, c.ok ? out.data() : nullptr, c.n);
        EXPECT_EQ(ok, c.ok) << c.offset << " + " << c.n;
        for (size_t i = 0; ok && i < out.size(); ++i)
            ASSERT_EQ(out[i], PatternFile::At(size_t(c.offset) + i)) << c.offset << " + " << i;
    }
}

TEST(MappedFile, NothingToMap) {
    PatternFile empty(0);
    EXPECT_FALSE(MappedFile::Map(empty.fd, 0));
    EXPECT_FALSE(MappedFile::Map(-1, kPage));
}

// Another program shortening the file leaves pages of the mapping with nothing behind them: a copy
// reaching them fails instead of killing the process, on any thread and as often as it happens,
// and what is still there copies as before.
TEST(MappedFile, AFileShortenedAfterMappingFailsTheCopiesPastItsNewEnd) {
    const size_t size = 8 * kPage;
    PatternFile file(size);
    ASSERT_GE(file.fd, 0);
    const auto mapped = MappedFile::Map(file.fd, size);
    ASSERT_TRUE(mapped);
    ASSERT_EQ(::truncate(file.path.c_str(), 2 * kPage), 0);

    std::vector<uint8_t> out(size);
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(mapped->Copy(0, out.data(), size));
        EXPECT_FALSE(mapped->Copy(5 * kPage, out.data(), 10));
        ASSERT_TRUE(mapped->Copy(kPage, out.data(), kPage));
        EXPECT_EQ(out[0], PatternFile::At(kPage));
        EXPECT_EQ(out[kPage - 1], PatternFile::At(2 * kPage - 1));
    }
    bool otherThread = true;
    std::thread([&] { otherThread = mapped->Copy(3 * kPage, out.data(), kPage); }).join();
    EXPECT_FALSE(otherThread);
}

// A SIGBUS that is not a copy's own still reaches the handler that was there before.
[[noreturn]] void ExitThree(int) {
    std::_Exit(3);
}

TEST(MappedFileDeathTest, OtherBusErrorsReachTheHandlerThatWasThereBefore) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, no mapping made yet
    EXPECT_EXIT(
        {
            struct sigaction exitThree {};
            exitThree.sa_handler = ExitThree;
            sigemptyset(&exitThree.sa_mask);
            sigaction(SIGBUS, &exitThree, nullptr);
            PatternFile file(kPage);
            const auto mapped = MappedFile::Map(file.fd, kPage);
            if (!mapped) std::_Exit(1);
            std::raise(SIGBUS);
            std::_Exit(2);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace velinor
