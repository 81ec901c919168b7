// A UTF-16 path in the narrow form the runtime's narrow file calls take.
#include "dsn/NarrowPath.h"

#include "platform/System.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NarrowPath, ShortAndLongPathsConvertWhole) {
    const NarrowPath shortPath(u"C:\\Program Files\\Varnik\\tqsys.bak", sys::kThreadAnsiCodePage);
    EXPECT_STREQ(shortPath.c_str(), "C:\\Program Files\\Varnik\\tqsys.bak");
    std::u16string longText(300, u'a');
    longText += u"ö";
    const NarrowPath longPath(CString(longText), sys::kThreadAnsiCodePage);
    EXPECT_EQ(std::string(longPath.c_str()), std::string(300, 'a') + "ö");
}

}  // namespace
