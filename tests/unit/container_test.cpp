#include <gtest/gtest.h>


#include "runner/container.h"
#include "base/file_io.h"

using namespace kestrin;

TEST(Container, CrcIsTheInvertedStandardValue) {
    const char* text = "123456789";
    EXPECT_EQ(CalcCRC(reinterpret_cast<const uint8_t*>(text), 9), ~0xCBF43926u);
    EXPECT_EQ(CalcCRC(nullptr, 0), 0xFFFFFFFFu);
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * i + 3);
    for (size_t n : {1u, 7u, 999u, 1000u}) EXPECT_EQ(CalcCRC(bytes.data(), n), CalcCRCTable(bytes.data(), n)) << n;
}

TEST(Container, LocalRandomSequence) {
    uint32_t z = 1, w = 1;
    EXPECT_EQ(LocalRandom(z, w), (36969u << 16) + 18000u);
    EXPECT_EQ(z, 36969u);
    EXPECT_EQ(w, 18000u);
    z = 0xFFFFFFFFu, w = 0xFFFFFFFFu;
    uint32_t r = LocalRandom(z, w);
    EXPECT_EQ(z, 36969u * 0xFFFFu + 0xFFFFu);
    EXPECT_EQ(w, 18000u * 0xFFFFu + 0xFFFFu);
    EXPECT_EQ(r, (z << 16) + (w & 0xFFFFu));
}

namespace {
std::vector<uint8_t> Body(size_t n) {
    std::vector<uint8_t> body(n);
    for (size_t i = 0; i < n; ++i) body[i] = static_cast<uint8_t>(i * 31 + 7);
    return body;
}
} // namespace

TEST(Container, WrittenContainerOpensAtAnyOffset) {
    StreamRandom random(3);
    for (size_t n : {0u, 3u, 300u, 4096u}) {
        std::vector<uint8_t> body = Body(n);
        std::vector<uint8_t> image(100, 0xAA);  // something in front, as an executable has
        std::vector<uint8_t> container = WriteContainer(body, random);
        image.insert(image.end(), container.begin(), container.end());
        if (n > 300) {
            EXPECT_NE(std::vector<uint8_t>(image.end() - 40, image.end()),
                      std::vector<uint8_t>(body.end() - 40, body.end()));
        }
        ContainerResult r = OpenContainer(image, 0);
        ASSERT_EQ(r.status, ContainerStatus::Ok) << n;
        EXPECT_EQ(r.marker, 100u);
        EXPECT_EQ(r.bodyOffset, 116u);
        EXPECT_EQ(std::vector<uint8_t>(image.begin() + 120, image.end()), body) << n;
    }
}

TEST(Container, FailuresAreTellingApart) {
    StreamRandom random(5);
    std::vector<uint8_t> good = WriteContainer(Body(500), random);

    std::vector<uint8_t> none(good.begin() + 8, good.end());  // marker gone
    EXPECT_EQ(OpenContainer(none, 0).status, ContainerStatus::NotFound);

    std::vector<uint8_t> flipped = good;
    flipped[300] ^= 0x40;
    EXPECT_EQ(OpenContainer(flipped, 0).status, ContainerStatus::ChecksumMismatch);

    std::vector<uint8_t> cut(good.begin(), good.end() - 1);
    EXPECT_EQ(OpenContainer(cut, 0).status, ContainerStatus::ChecksumMismatch);

    std::vector<uint8_t> header(good.begin(), good.begin() + 12);
    EXPECT_EQ(OpenContainer(header, 0).status, ContainerStatus::ChecksumMismatch);

    std::vector<uint8_t> version = good;
    version[16] ^= 1;  // outside the checksum, so only the version check sees it
    EXPECT_EQ(OpenContainer(version, 0).status, ContainerStatus::WrongVersion);

    // The search starts where it is told to.
    std::vector<uint8_t> again = good;
    EXPECT_EQ(OpenContainer(again, 1).status, ContainerStatus::NotFound);
}

TEST(Container, AChanceMarkerBeforeTheRealOneIsSkipped) {
    StreamRandom random(9);
    std::vector<uint8_t> body = Body(200);
    std::vector<uint8_t> container = WriteContainer(body, random);
    // Bytes that match the marker pattern but hold no valid container.
    std::vector<uint8_t> image = {0x11, 0x00, 0x22, 0xF7, 0x67, 0x33, 0x14, 0x44};
    image.resize(64, 0x11);
    image.insert(image.end(), container.begin(), container.end());
    std::vector<uint8_t> original = image;
    ContainerResult r = OpenContainer(image, 0);
    ASSERT_EQ(r.status, ContainerStatus::Ok);
    EXPECT_EQ(r.marker, 64u);
    // The decoy's bytes were restored after the failed attempt.
    EXPECT_TRUE(std::equal(original.begin(), original.begin() + 64, image.begin()));
}

TEST(Container, ElfImageEndOfOurOwnExecutable) {
    std::vector<uint8_t> self;
    ASSERT_TRUE(ReadWholeFile("/proc/self/exe", self));
    ASSERT_GT(self.size(), 64u);
    EXPECT_EQ(ElfImageEnd(self), self.size());
    size_t reads = 0;
    EXPECT_EQ(ElfImageEnd(self.size(),
                          [&](uint64_t offset, uint8_t* out, size_t count) {
                              ++reads;
                              return ReadFileRange("/proc/self/exe", offset, out, count);
                          }),
              self.size());
    EXPECT_LE(reads, 3u) << "only the headers are read";
    size_t size = self.size();
    self.insert(self.end(), {1, 2, 3, 4, 5});
    EXPECT_EQ(ElfImageEnd(self), size);
    EXPECT_EQ(ElfImageEnd(std::vector<uint8_t>{0x7F, 'E', 'L', 'F'}), 0u);
    EXPECT_EQ(ElfImageEnd(std::vector<uint8_t>(100, 0)), 0u);
}
