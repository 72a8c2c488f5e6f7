#include "platform/console_backend.h"

#include <gtest/gtest.h>

#include <sstream>

using platform::MessageKind;
using platform::MessageOwner;

TEST(ConsoleBackend, StreamsAndPrefixes)
{
    std::ostringstream out, err;
    platform::ConsoleBackend console(out, err, false);
    console.ShowMessage("Conversion succeeded!", "Info", MessageKind::Information, MessageOwner::ActiveWindow);
    console.ShowMessage("Unable to load PRIMARY chunk from file: a.3ds    \n\nNot a valid 3ds file", "Error",
                        MessageKind::Exclamation, MessageOwner::None);
    console.ShowMessage("This 3DS file is over version 3", "Warning", MessageKind::Exclamation, MessageOwner::None);
    EXPECT_EQ(out.str(), "Info: Conversion succeeded!\n");
    EXPECT_EQ(err.str(), "Error: Unable to load PRIMARY chunk from file: a.3ds Not a valid 3ds file\n"
                         "Warning: This 3DS file is over version 3\n");
}

TEST(ConsoleBackend, QuietKeepsErrorsOnly)
{
    std::ostringstream out, err;
    platform::ConsoleBackend console(out, err, true);
    console.ShowMessage("Conversion succeeded!", "Info", MessageKind::Information, MessageOwner::ActiveWindow);
    console.ShowMessage("old", "Warning", MessageKind::Exclamation, MessageOwner::None);
    console.ShowMessage("Conversion failed", "Error", MessageKind::Exclamation, MessageOwner::ActiveWindow);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "Error: Conversion failed\n");
}
