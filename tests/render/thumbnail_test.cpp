#include "render/thumbnail.h"

#include "model/c3ds_model.h"
#include "recording_notifier.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace build3ds;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VNP_TEST_ADDRESS_SANITIZER
#endif
#endif

// A picture that cannot be made for want of memory is a warning: nothing
// escapes to fail the conversion it goes with, no file is written, and the
// next picture of the same thread is drawn again.
TEST(Thumbnail, APictureWithoutMemoryIsAWarning)
{
#if defined(__SANITIZE_ADDRESS__) || defined(VNP_TEST_ADDRESS_SANITIZER)
    GTEST_SKIP() << "AddressSanitizer stops at an allocation this large instead of failing it";
#else
    const TempDir dir;
    const std::string modelPath = (dir / "ship.3ds").string(), pngPath = (dir / "ship.png").string();
    const C3dsModel model = LoadOk(File({Material("A"), Object(Cube())}));
    RecordingNotifier notifier;
    bool bWritten = true;
    // 2^30 pixels a side: 2^62 bytes of picture, more than any address space.
    EXPECT_NO_THROW(bWritten = WriteThumbnail(pngPath, 1 << 30, model, modelPath, TestLog()));
    EXPECT_FALSE(bWritten);
    EXPECT_FALSE(std::filesystem::exists(pngPath));
    ASSERT_EQ(notifier.m_messages.size(), 2u);
    EXPECT_EQ(notifier.m_messages[0].kind, platform::MessageKind::Warning);
    EXPECT_EQ(notifier.m_messages[0].text, "There is not enough memory to draw the picture of " + modelPath);
    EXPECT_NE(notifier.m_messages[1].text.find("Could not write the picture " + pngPath), std::string::npos);

    EXPECT_TRUE(WriteThumbnail(pngPath, 32, model, modelPath, TestLog()));
    EXPECT_TRUE(std::filesystem::exists(pngPath));
#endif
}
