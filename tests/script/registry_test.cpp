#include "engine/registry.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/run_state.h"

namespace {

const char* const kTestKey = "Software\\ZarvoScriptTests";

void DeleteTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    char name[256];
    while (RegEnumKeyA(key, 0, name, sizeof(name)) == ERROR_SUCCESS) {
        DeleteTree(root, path + "\\" + name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

struct StoredValue {
    bool found = false;
    DWORD type = 0;
    std::string bytes;
};

StoredValue Stored(HKEY root, const std::string& path, const char* name) {
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    char data[2000];
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.bytes.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}

std::string KeyClass(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char keyClass[64] = {};
    DWORD length = sizeof(keyClass);
    RegQueryInfoKeyA(key, keyClass, &length, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return keyClass;
}

std::string Dword(DWORD number) {
    return std::string(reinterpret_cast<char*>(&number), 4);
}
std::string Sz(const std::string& text) {
    return text + '\0';
}

// Every test works below a key of its own and removes it again.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteTree(HKEY_CURRENT_USER, kTestKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        saved = runState.installDir;
        strcpy(runState.installDir, "C:\\Apps\\Sample");
    }
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, kTestKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
        strcpy(runState.installDir, saved.c_str());
    }
    std::string saved;
};

TEST_F(Registry, RegistrySectionsWriteTheirValues) {
    const std::string key = std::string(kTestKey) + "\\Sample";
    struct Case {
        const char* root;
        const char* type;
        const char* name;
        const char* data;
        HKEY where;
        DWORD storedType;
        std::string storedBytes;
    } cases[] = {
        {"HKCU", "DWORD", "Count", "42", HKEY_CURRENT_USER, REG_DWORD, Dword(42)},
        {"HKCU", "DWORD", "Count", "-1", HKEY_CURRENT_USER, REG_DWORD, Dword(4294967295u)},
        {"HKCU", "DWORD", "Count", "4294967295", HKEY_CURRENT_USER, REG_DWORD, Dword(2147483647)},
        {"HKCU", "DWORD", "Count", "-4294967295", HKEY_CURRENT_USER, REG_DWORD, Dword(0x80000000u)},
        {"HKCU", "DWORD", "Count", "abc", HKEY_CURRENT_USER, REG_DWORD, Dword(0)},
        {"HKCU", "DWORD", "Count", "0x10", HKEY_CURRENT_USER, REG_DWORD, Dword(0)},
        {"HKCU", "DWORD", "Count", " \t+17 apples", HKEY_CURRENT_USER, REG_DWORD, Dword(17)},
        {"HKCU", "DWORD", "Count", "<Destination>", HKEY_CURRENT_USER, REG_DWORD, Dword(0)},
        {"HKCU", "dword", "Count", "42", HKEY_CURRENT_USER, REG_SZ, Sz("42")},
        {"HKCU", "STRING", "Folder", "<Destination>", HKEY_CURRENT_USER, REG_SZ,
         Sz("C:\\Apps\\Sample\\")},
        {"HKCU", "Text", "Folder", "<Destination>bin", HKEY_CURRENT_USER, REG_SZ,
         Sz("C:\\Apps\\Sample\\bin")},
        {"HKCU", "STRING", "", "default", HKEY_CURRENT_USER, REG_SZ, Sz("default")},
        {"HKCU", "STRING", "Empty", "", HKEY_CURRENT_USER, REG_SZ, Sz("")},
        {"HKLM", "STRING", "Machine", "wide", HKEY_LOCAL_MACHINE, REG_SZ, Sz("wide")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.name + " = " + c.data);
        char keyPath[260];
        char data[1000];
        strcpy(keyPath, key.c_str());
        strcpy(data, c.data);
        ApplyRegistrySection(c.root, keyPath, c.type, c.name, data);
        StoredValue value = Stored(c.where, key, c.name);
        ASSERT_TRUE(value.found);
        EXPECT_EQ(value.type, c.storedType);
        EXPECT_EQ(value.bytes, c.storedBytes);
        DeleteTree(c.where, kTestKey);
    }
}

TEST_F(Registry, TheKeyPathIsExpandedAndCreatedWithItsClass) {
    strcpy(runState.installDir, "Apps");
    char keyPath[260];
    strcpy(keyPath, (std::string(kTestKey) + "\\<Destination>Sample").c_str());
    char data[1000] = "7";
    ApplyRegistrySection("HKCU", keyPath, "DWORD", "Count", data);
    const std::string expanded = std::string(kTestKey) + "\\Apps\\Sample";
    EXPECT_STREQ(keyPath, expanded.c_str());
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, expanded, "Count").bytes, Dword(7));
    EXPECT_EQ(KeyClass(HKEY_CURRENT_USER, expanded), "REG_DWORD");

    WriteRegistryString("text", "Name", HKEY_CURRENT_USER, (std::string(kTestKey) + "\\S").c_str());
    EXPECT_EQ(KeyClass(HKEY_CURRENT_USER, std::string(kTestKey) + "\\S"), "REG_SZ");
}

TEST_F(Registry, ARootNameThatIsNotAShortNameWritesNothing) {
    for (const char* root : {"HKEY_CURRENT_USER", "hkcu", "HKCU ", ""}) {
        SCOPED_TRACE(root);
        char keyPath[260];
        strcpy(keyPath, kTestKey);
        char data[1000] = "value";
        ApplyRegistrySection(root, keyPath, "STRING", "Name", data);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
    }
}

TEST_F(Registry, ReadingFromAMissingKeyCreatesItEmpty) {
    const std::string key = std::string(kTestKey) + "\\Fresh";
    char value[260] = "stale";
    ReadRegistryString(value, sizeof(value), "Anything", HKEY_CURRENT_USER, key.c_str());
    EXPECT_STREQ(value, "");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_EQ(KeyClass(HKEY_CURRENT_USER, key), "REG_SZ");
}

TEST_F(Registry, ReadsGiveTheStoredBytesTerminatedOrNothing) {
    const std::string key = std::string(kTestKey) + "\\Read";
    HKEY handle;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &handle), ERROR_SUCCESS);
    auto set = [&](const char* name, DWORD type, const std::string& bytes) {
        RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    };
    set("Folder", REG_SZ, Sz("C:\\Apps"));
    set("Unterminated", REG_SZ, "abc");
    set("Number", REG_DWORD, Dword(0x2a));
    set("Fits", REG_SZ, Sz(std::string(9, 'f')));
    set("TooLong", REG_SZ, Sz(std::string(10, 'l')));
    set("FullNoZero", REG_BINARY, std::string(10, 'n'));
    RegCloseKey(handle);
    struct Case {
        const char* name;
        std::string read;
    } cases[] = {
        {"Folder", "C:\\Apps"},
        {"Unterminated", "abc"},
        {"Number", "*"},  // the bytes whatever the type: 0x2a is '*'
        {"Fits", std::string(9, 'f')},
        {"TooLong", ""},     // more than the capacity
        {"FullNoZero", ""},  // fills the buffer with no room for the zero
        {"Missing", ""},
    };
    for (const Case& c : cases) {
        struct {
            char value[10];
            char guard[8];
        } buffer;
        memset(&buffer, '#', sizeof(buffer));
        ReadRegistryString(buffer.value, sizeof(buffer.value), c.name, HKEY_CURRENT_USER,
                           key.c_str());
        EXPECT_EQ(std::string(buffer.value), c.read) << c.name;
        EXPECT_EQ(std::string(buffer.guard, 8), std::string(8, '#')) << c.name;
    }
}

TEST_F(Registry, ProgramFilesFolderIsReadFromTheMachineKey) {
    char value[260];
    ReadRegistryString(value, sizeof(value), "ProgramFilesDir", HKEY_LOCAL_MACHINE,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    EXPECT_STREQ(value, "C:\\Program Files");
}

TEST_F(Registry, DeletingASubkey) {
    const std::string parent = std::string(kTestKey) + "\\Uninstall";
    WriteRegistryString("Sample", "DisplayName", HKEY_CURRENT_USER, (parent + "\\Sample").c_str());
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, parent + "\\Sample"));
    EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, parent.c_str(), "Sample"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, parent + "\\Sample"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent));
    // A missing subkey is not an error of the parent; a missing parent is.
    EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, parent.c_str(), "Sample"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, (parent + "\\Nothing").c_str(), "Sample"),
              ERROR_FILE_NOT_FOUND);
}

}  // namespace
