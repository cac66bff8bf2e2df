#include "platform/Target.h"

#include <gtest/gtest.h>

namespace {

using namespace quelvo::platform;

class NullTarget final : public Target {
public:
    RegistryStore& Registry() override { std::abort(); }
    std::size_t ExpandEnvironmentStrings(std::u16string_view, char16_t*, std::size_t) override { return 0; }
    std::size_t GetLongPathName(std::u16string_view, char16_t*, std::size_t) override { return 0; }
    bool FileExists(std::u16string_view) override { return false; }
    std::u16string Description() const override { return u"null"; }
};

TEST(ActiveTarget, shouldRestoreTheOuterTargetWhenAScopeEnds)
{
    NullTarget outer, inner;
    ScopedActiveTarget a(outer);
    {
        ScopedActiveTarget b(inner);
        EXPECT_EQ(&ActiveTarget(), &inner);
    }
    EXPECT_EQ(&ActiveTarget(), &outer);
}

TEST(ActiveTarget, shouldFallBackToAnEmptyTargetWhenNoneIsSet)
{
    Target& before = ActiveTarget();  // the machine itself in the Windows build
    SetActiveTarget(nullptr);
    Target& fallback = ActiveTarget();
    RegHandle key;
    EXPECT_EQ(fallback.Registry().OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", KEY_ALL_ACCESS, &key),
              kFileNotFound);
    EXPECT_FALSE(fallback.FileExists(u"C:\\Windows\\notepad.exe"));
    SetActiveTarget(&before);
}

}  // namespace
