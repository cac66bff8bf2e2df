#include "tests/support/Stores.h"

#include "platform/Text.h"

#include <stdexcept>
#include <vector>

namespace quelvo::test {

using namespace platform;
using platform::files::SystemRegStore;
namespace fs = std::filesystem;

bool DeleteKeyTree(RegistryStore& store, const std::u16string& path)
{
    RegHandle key{};
    if (store.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, &key) != kSuccess)
        return false;
    std::uint32_t count = 0, longest = 0;
    store.QueryInfoKey(key, &count, &longest);
    bool ok = true;
    for (std::uint32_t i = count; ok && i-- > 0;) {
        std::vector<char16_t> name(longest + 1, u'\0');
        std::uint32_t length = 0;
        store.EnumKey(key, i, name.data(), longest + 1, &length);
        ok = DeleteKeyTree(store, path + u"\\" + std::u16string(name.data()));
    }
    store.CloseKey(key);
    return ok && store.DeleteKey(HKEY_LOCAL_MACHINE, path) == kSuccess;
}

std::unique_ptr<SystemRegStore> OpenWineStore(const fs::path& file)
{
    std::u16string error;
    auto store = SystemRegStore::Open(file, &error);
    if (!store)
        throw std::runtime_error("cannot open " + file.string() + ": " + ToUtf8(error));
    store->SetServerCheck([] { return false; });
    return store;
}

std::string WithoutBlocks(const std::string& text, const std::vector<std::string>& keys)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t next = text.find("\n\n[", pos);
        next = next == std::string::npos ? text.size() : next + 1;
        const std::string chunk = text.substr(pos, next - pos);
        bool drop = false;
        for (const auto& key : keys)
            drop = drop || chunk.rfind("\n[" + key + "] ", 0) == 0;
        if (!drop)
            out += chunk;
        pos = next;
    }
    return out;
}

}  // namespace quelvo::test
