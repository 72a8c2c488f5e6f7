#include "platform/console_notifier.h"

#include <gtest/gtest.h>

#include <sstream>

using platform::MessageKind;
using platform::MessageOwner;

TEST(ConsoleNotifier, StreamsPrefixesAndQuiet)
{
    for (const bool bQuiet : {false, true})
    {
        std::ostringstream out, err;
        platform::ConsoleNotifier console(out, err, bQuiet);
        console.ShowMessage("Conversion succeeded!", MessageKind::Info, MessageOwner::ActiveWindow);
        console.ShowMessage("Unable to load PRIMARY chunk from file: a.3ds    \n\nNot a valid 3ds file",
                            MessageKind::Error, MessageOwner::None);
        console.ShowMessage("This 3DS file is over version 3", MessageKind::Warning, MessageOwner::None);
        EXPECT_EQ(out.str(), bQuiet ? "" : "Info: Conversion succeeded!\n");
        EXPECT_EQ(err.str(), std::string("Error: Unable to load PRIMARY chunk from file: a.3ds Not a valid 3ds file\n") +
                                 (bQuiet ? "" : "Warning: This 3DS file is over version 3\n"));
    }
}
