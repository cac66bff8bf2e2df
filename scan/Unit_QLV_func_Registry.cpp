#include "scan/Unit_QLV_func_Registry.h"

#include "platform/Target.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>

namespace quelvo::scan {

namespace pf = quelvo::platform;

namespace {

constexpr std::size_t kNameUnits = 256;
constexpr std::size_t kValueUnits = 256;

std::uint32_t AccessMask(bool view)
{
    return view ? (pf::KEY_ALL_ACCESS | pf::KEY_WOW64_64KEY) : pf::KEY_ALL_ACCESS;
}

// An open key, closed when it goes out of scope.
class OpenedKey {
public:
    OpenedKey(RegRoot root, std::u16string_view path, bool view)
        : m_store(pf::ActiveTarget().Registry())
    {
        if (m_store.OpenKey(root, path, AccessMask(view), &m_handle) != pf::kSuccess)
            m_handle = pf::RegHandle::Invalid;
    }
    ~OpenedKey()
    {
        if (IsOpen())
            m_store.CloseKey(m_handle);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool IsOpen() const { return m_handle != pf::RegHandle::Invalid; }
    pf::RegistryStore& Store() const { return m_store; }
    pf::RegHandle Handle() const { return m_handle; }

    // The sub-key count, 0 when the query fails.
    std::uint32_t SubKeyCount() const
    {
        std::uint32_t count = 0;
        if (m_store.QueryInfoKey(m_handle, &count, nullptr) != pf::kSuccess)
            count = 0;
        return count;
    }

private:
    pf::RegistryStore& m_store;
    pf::RegHandle m_handle = pf::RegHandle::Invalid;
};

}  // namespace

void func_Reg_GetSubKeyNames(RegRoot root, std::u16string_view path, StringList& list, bool view)
{
    list.clear();
    OpenedKey key(root, path, view);
    if (!key.IsOpen())
        return;
    const std::uint32_t count = key.SubKeyCount();
    for (std::uint32_t index = 0; index < count; ++index) {
        // A failed step leaves the buffer zero and so appends an empty name.
        char16_t name[kNameUnits] = {};
        std::uint32_t length = 0;
        key.Store().EnumKey(key.Handle(), index, name, kNameUnits, &length);
        list.emplace_back(pf::TrimBlanks(pf::UpToNul(std::u16string_view(name, kNameUnits))));
    }
}

bool func_Reg_KeyExists(RegRoot root, std::u16string_view path, bool view)
{
    return OpenedKey(root, path, view).IsOpen();
}

bool func_Reg_ReadString(RegRoot root, std::u16string_view path, std::u16string_view valueName,
                         std::u16string& value, bool view)
{
    value.clear();
    OpenedKey key(root, path, view);
    if (!key.IsOpen())
        return false;
    std::uint32_t size = 0;
    if (key.Store().QueryValue(key.Handle(), valueName, nullptr, nullptr, &size) != pf::kSuccess)
        return false;
    // Room for the whole value (at least 512 bytes) so that it is read in one
    // piece; the text is then cut to 256 units. A value that grew since the
    // size query is cut by the store at the buffer's size.
    const std::size_t units = std::max<std::size_t>(kValueUnits, (std::size_t(size) + 1) / 2);
    std::u16string buffer(units, u'\0');
    auto bytes = static_cast<std::uint32_t>(units * sizeof(char16_t));
    key.Store().QueryValue(key.Handle(), valueName, nullptr, reinterpret_cast<std::uint8_t*>(buffer.data()),
                           &bytes);
    value = pf::UpToNul(std::u16string_view(buffer).substr(0, kValueUnits));
    return true;
}

bool func_Reg_HasSubKeys(RegRoot root, std::u16string_view path, bool view)
{
    OpenedKey key(root, path, view);
    return key.IsOpen() && key.SubKeyCount() > 0;
}

bool func_Reg_DeleteKeyTree(RegRoot root, std::u16string_view path, bool view)
{
    bool childrenRemoved = true;
    {
        OpenedKey key(root, path, view);
        if (!key.IsOpen())
            return false;
        std::uint32_t count = 0;
        std::uint32_t longest = 0;
        if (key.Store().QueryInfoKey(key.Handle(), &count, &longest) != pf::kSuccess)
            count = 0;
        std::u16string name(std::size_t(longest) + 1, u'\0');
        for (std::uint32_t index = count; index-- > 0;) {
            std::fill(name.begin(), name.end(), u'\0');
            std::uint32_t length = 0;
            const pf::RegStatus status = key.Store().EnumKey(key.Handle(), index, name.data(),
                                                             static_cast<std::uint32_t>(name.size()), &length);
            const std::u16string_view childName = pf::UpToNul(name);
            // An empty name would address this very key again ("path\"), and
            // recurse without end: stop instead.
            if (status != pf::kSuccess || childName.empty()) {
                childrenRemoved = false;
                break;
            }
            std::u16string childPath(path);
            childPath += u'\\';
            childPath += childName;
            if (!func_Reg_DeleteKeyTree(root, childPath, view)) {
                childrenRemoved = false;
                break;
            }
        }
    }  // the key is closed before it is removed
    return childrenRemoved && pf::ActiveTarget().Registry().DeleteKey(root, path) == pf::kSuccess;
}

}  // namespace quelvo::scan
