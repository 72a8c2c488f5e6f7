#include "platform/text_path.h"

#include <gtest/gtest.h>

#ifdef _WIN32
// Wine takes long paths in any form, so only this shows that a path beyond
// the classic limit is handed to Windows in the form that lifts it.
TEST(TextPath, LongPathsTakeThePrefixedForm)
{
    const std::string folder = "C:\\models\\" + std::string(260, 'x');
    EXPECT_EQ(platform::WideFilePath(folder + "\\a.3ds"), L"\\\\?\\" + platform::Widen(folder + "\\a.3ds"));
    EXPECT_EQ(platform::WideFilePath(folder + "/./b/../a.3ds"),
              L"\\\\?\\" + platform::Widen(folder + "\\a.3ds"));
    EXPECT_EQ(
        platform::WideFilePath("\\\\server\\share\\" + std::string(260, 'y')).rfind(L"\\\\?\\UNC\\server", 0),
        0u);
    EXPECT_EQ(platform::WideFilePath("C:\\short\\Ärger.3ds"), L"C:\\short\\\u00c4rger.3ds");
    EXPECT_EQ(platform::Narrow(platform::Widen("Καράβι 船")), "Καράβι 船");
}
#endif
