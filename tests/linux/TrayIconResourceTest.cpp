#include "platform/EmbeddedResources.h"
#include "shell/TrayLogic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace {

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// The Linux tray writes its pictures from the same icon resources the Windows tray loads: both must be
// embedded whole, as icon files whose every image lies inside the resource.
TEST(TrayIconResource, BothPicturesAreEmbeddedAsWholeIconFiles) {
    std::string_view pictures[2];
    for (const bool enabled : {true, false}) {
        const auto bytes =
            kes::platform::findEmbeddedResource(static_cast<std::uint16_t>(kes::trayIconResource(enabled)));
        ASSERT_TRUE(bytes.has_value()) << enabled;
        ASSERT_GE(bytes->size(), 6u + 16u);
        EXPECT_EQ(littleEndian(*bytes, 0, 2), 0u);
        EXPECT_EQ(littleEndian(*bytes, 2, 2), 1u) << "not an icon file";
        const std::uint32_t count = littleEndian(*bytes, 4, 2);
        ASSERT_GE(count, 1u);
        ASSERT_GE(bytes->size(), 6u + 16u * count);
        for (std::uint32_t image = 0; image < count; ++image) {
            const std::size_t entry = 6 + 16 * image;
            const std::uint64_t size = littleEndian(*bytes, entry + 8, 4);
            const std::uint64_t offset = littleEndian(*bytes, entry + 12, 4);
            EXPECT_GT(size, 0u);
            EXPECT_LE(offset + size, bytes->size()) << "image " << image << " is cut off";
        }
        pictures[enabled ? 0 : 1] = *bytes;
    }
    EXPECT_NE(pictures[0], pictures[1]) << "the on and off pictures must differ";
}

} // namespace
