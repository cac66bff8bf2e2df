#pragma once

// A registry store: the six calls the registry layer stands on, modelled on
// the Windows registry API so that every store (Windows itself, an in-memory
// tree, a Wine prefix, an offline hive) is driven through one set of calls.
//
// | Call          | Windows            | Contract                                                                 |
// |---------------|--------------------|--------------------------------------------------------------------------|
// | OpenKey       | RegOpenKeyExW      | kSuccess and a handle, or an error code (absent, refused: both != 0)     |
// | QueryInfoKey  | RegQueryInfoKeyW   | fills the requested counts; a null pointer is not requested              |
// | EnumKey       | RegEnumKeyExW      | writes the name and a NUL into name[0..capacity); kMoreData when the     |
// |               |                    | name and its NUL do not fit (nothing is written then); kNoMoreItems past  |
// |               |                    | the last index; *length gets the name's length without the NUL           |
// | QueryValue    | RegQueryValueExW   | data == nullptr: *size gets the byte count. Otherwise copies at most     |
// |               |                    | *size bytes, never more; kMoreData when the value is longer (the first   |
// |               |                    | *size bytes are still written). Absent value: kFileNotFound              |
// | DeleteKey     | RegDeleteKeyW      | removes a key without sub-keys; kAccessDenied when it has some           |
// | CloseKey      | RegCloseKey        | releases a handle from OpenKey                                           |
//
// Paths are separated by "\"; a trailing "\" names the same key; key and
// value names compare as Windows compares them (NameCase.h: the simple
// upper-case mapping of each UTF-16 unit). Every call reports failure through
// its result and never throws.
//
// A repair batch, for stores kept in a file (one write per repair instead of
// one per removed key):
//
// | Call          | Contract                                                                              |
// |---------------|---------------------------------------------------------------------------------------|
// | BeginRepair   | starts a batch; kSuccess, or the reason the store cannot be written now (then no      |
// |               | batch is open and DeleteKey writes as outside a batch)                                |
// | DeleteKey     | inside a batch: the key's backup is written, then the key leaves the store's memory  |
// |               | at once (OpenKey no longer finds it); the file is not touched yet                     |
// | CommitRepair  | ends the batch: flushes the backups, writes the new file once, flushes it, renames it |
// |               | into place once and flushes its folder. On failure the file is as it was and every   |
// |               | key removed in the batch is back; kSuccess when there was no batch or nothing to do   |
// | FailureReason | the last failure (of DeleteKey, BeginRepair, CommitRepair, or an open refused for     |
// |               | lack of rights) in words for the user; empty after a successful DeleteKey,            |
// |               | BeginRepair or CommitRepair that wrote something                                      |
//
// Stores without a file keep the default batch (DeleteKey acts at once, Begin
// and Commit succeed); the default reason is empty.
//
// | ReadState     | how completely the store showed its registry so far: Complete; Stale (it shows an     |
// |               | older state than Windows would load, and will not be written); Damaged (some key or   |
// |               | value could not be read, or the file is no registry at all). The text says why and    |
// |               | where, in words for the user. Stores that cannot fail to read keep the default        |
// |               | (Complete)                                                                            |

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quelvo::platform {

using RegStatus = long;

inline constexpr RegStatus kSuccess = 0;
inline constexpr RegStatus kFileNotFound = 2;     // ERROR_FILE_NOT_FOUND
inline constexpr RegStatus kAccessDenied = 5;     // ERROR_ACCESS_DENIED
inline constexpr RegStatus kInvalidHandle = 6;    // ERROR_INVALID_HANDLE
inline constexpr RegStatus kInvalidParameter = 87;// ERROR_INVALID_PARAMETER
inline constexpr RegStatus kMoreData = 234;       // ERROR_MORE_DATA
inline constexpr RegStatus kNoMoreItems = 259;    // ERROR_NO_MORE_ITEMS
inline constexpr RegStatus kKeyDeleted = 1018;    // ERROR_KEY_DELETED: the handle's key was removed
inline constexpr RegStatus kWriteFault = 29;      // ERROR_WRITE_FAULT (file-backed stores)

inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;
inline constexpr std::uint32_t KEY_WOW64_64KEY = 0x0100;
inline constexpr std::uint32_t KEY_READ = 0x20019;

// Value types, numbered as on Windows.
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

// The predefined root keys. The system only ever passes LocalMachine.
enum class RegRoot : std::uintptr_t {
    LocalMachine = 0x80000002,
};
inline constexpr RegRoot HKEY_LOCAL_MACHINE = RegRoot::LocalMachine;

// An open key. Zero is never a valid handle.
enum class RegHandle : std::uintptr_t { Invalid = 0 };

struct ReadCondition {
    enum Kind { Complete, Stale, Damaged } kind = Complete;
    std::u16string text;
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;

    virtual RegStatus OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access,
                              RegHandle* key) = 0;
    virtual RegStatus QueryInfoKey(RegHandle key, std::uint32_t* subKeyCount,
                                   std::uint32_t* maxSubKeyNameLength) = 0;
    // capacity and *length count UTF-16 units; capacity includes the NUL.
    virtual RegStatus EnumKey(RegHandle key, std::uint32_t index, char16_t* name,
                              std::uint32_t capacity, std::uint32_t* length) = 0;
    // *size is the buffer's capacity in bytes on entry, the value's size on return.
    virtual RegStatus QueryValue(RegHandle key, std::u16string_view valueName, RegType* type,
                                 std::uint8_t* data, std::uint32_t* size) = 0;
    virtual RegStatus DeleteKey(RegRoot root, std::u16string_view path) = 0;
    virtual RegStatus CloseKey(RegHandle key) = 0;

    virtual RegStatus BeginRepair() { return kSuccess; }
    virtual RegStatus CommitRepair() { return kSuccess; }
    virtual std::u16string FailureReason() const { return {}; }
    virtual ReadCondition ReadState() const { return {}; }
};

}  // namespace quelvo::platform
