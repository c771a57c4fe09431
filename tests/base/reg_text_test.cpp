// Registry text: every awkward name and string reads back exactly as the registry held it, or its export is
// refused with the reason; a text the writer did not make is refused at the line that is not of the format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/reg_text.h"
#include "simwin/machine.h"

namespace {

const char kBase[] = "SOFTWARE\\VESTRAL\\Office";

std::string S(const char* text, size_t size) { return std::string(text, size); }

struct NameRow {
    const char* what;
    std::string key;    // a subkey of kBase ("" none)
    std::string value;  // the value's name ("" the default value)
    DWORD type;
    std::string data;
    const char* refused;  // a part of the reason, or null: it round-trips
};

void SetValue(const NameRow& row) {
    HKEY key = NULL;
    const std::string path = row.key.empty() ? std::string(kBase) : std::string(kBase) + "\\" + row.key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, row.value.empty() ? NULL : row.value.c_str(), 0, row.type,
                                            reinterpret_cast<const BYTE*>(row.data.data()), static_cast<DWORD>(row.data.size())));
    RegCloseKey(key);
}

// The text as one key (the base and the row's subkey) and as one value: each parses to exactly what was set.
void ExpectRoundTrip(const NameRow& row) {
    const std::string path = row.key.empty() ? std::string(kBase) : std::string(kBase) + "\\" + row.key;
    std::string keyText = RegistryTextHeader(), valueText = RegistryTextHeader(), refusal;
    ASSERT_TRUE(ExportRegistryKey(HKEY_CURRENT_USER, kBase, keyText, &refusal)) << refusal;
    ASSERT_TRUE(ExportRegistryValue(HKEY_CURRENT_USER, path.c_str(), row.value.c_str(), valueText, &refusal)) << refusal;
    for (const std::string* one : {&keyText, &valueText}) {
        const std::string& text = *one;
        std::vector<CRegistryTextKey> keys;
        std::string error;
        ASSERT_TRUE(ParseRegistryText(text, keys, error)) << error << "\n" << text;
        ASSERT_EQ(row.key.empty() || one == &valueText ? 1u : 2u, keys.size()) << text;
        const CRegistryTextKey& k = keys.back();
        EXPECT_EQ(HKEY_CURRENT_USER, k.root);
        EXPECT_EQ(path, k.subKey);
        ASSERT_EQ(1u, k.values.size()) << text;
        EXPECT_EQ(row.value, k.values[0].name);
        EXPECT_EQ(row.type, k.values[0].type);
        EXPECT_EQ(row.data, k.values[0].data);
    }
}

TEST(RegText, AwkwardNamesAndStringsRoundTripOrAreRefused) {
    const std::string allBytes = [] {
        std::string s;
        for (int c = 0; c < 256; ++c) s += static_cast<char>(c);
        return s + '\0';
    }();
    const std::string evil = "]\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Evil]";
    const NameRow rows[] = {
        {"plain", "Sub", "Name", REG_SZ, S("text", 5), nullptr},
        {"key with brackets", "a]b[c", "v", REG_SZ, S("x", 2), nullptr},
        {"key ending in ]", "x]", "v", REG_SZ, S("x", 2), nullptr},
        {"key with quote, = and ;", ";k\"=1", "v", REG_SZ, S("x", 2), nullptr},
        {"key with high bytes", "\xe3\x81\x82\xff", "v", REG_SZ, S("x", 2), nullptr},
        {"key that would start a key", "x" + evil, "v", REG_SZ, S("x", 2), "key's name holds a line break"},
        {"key with CR alone", "a\rb", "v", REG_SZ, S("x", 2), "key's name holds a line break"},
        {"key with LF alone", "a\nb", "v", REG_SZ, S("x", 2), "key's name holds a line break"},
        {"value with quote", "", "a\"b", REG_SZ, S("x", 2), nullptr},
        {"value with backslashes", "", "a\\b\\", REG_SZ, S("x", 2), nullptr},
        {"value that looks like a value line", "", "x\"=dword:1", REG_SZ, S("x", 2), nullptr},
        {"value named @", "", "@", REG_DWORD, S("\1\0\0\0", 4), nullptr},
        {"value with brackets and ;", "", ";[x]=", REG_SZ, S("x", 2), nullptr},
        {"value with high bytes", "", "\x80\xfe\xff", REG_SZ, S("x", 2), nullptr},
        {"value that would start a key", "", "a\"" + evil, REG_SZ, S("x", 2), "value's name holds a line break"},
        {"value with CR alone", "", "a\rb", REG_SZ, S("x", 2), "value's name holds a line break"},
        {"value with LF alone", "", "a\nb", REG_SZ, S("x", 2), "value's name holds a line break"},
        {"default value", "", "", REG_SZ, S("d", 2), nullptr},
        {"string with line breaks", "", "v", REG_SZ, "a\r\nb\rc\nd" + S("", 1), nullptr},
        {"string with quotes and backslashes", "", "v", REG_SZ, S("say \"hi\" \\ \\\" ok", 17), nullptr},
        {"string that would start a key", "", "v", REG_SZ, "\"" + evil + "\r\n\"x\"=\"" + S("", 1), nullptr},
        {"string with a NUL inside", "", "v", REG_SZ, S("a\0b", 4), nullptr},
        {"string with every byte", "", "v", REG_SZ, allBytes, nullptr},
        {"expandable string with every byte", "", "v", REG_EXPAND_SZ, allBytes, nullptr},
        {"multi-string with every byte", "", "v", REG_MULTI_SZ, allBytes, nullptr},
        {"binary with every byte", "", "v", REG_BINARY, allBytes, nullptr},
    };
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.what);
        simwin::Machine m;
        simwin::MachineScope scope(m);
        SetValue(row);
        if (!row.refused) {
            ExpectRoundTrip(row);
            continue;
        }
        const std::string path = std::string(kBase) + (row.key.empty() ? "" : "\\" + row.key);
        std::string keyText = "unchanged", valueText = "unchanged", keyWhy, valueWhy;
        EXPECT_FALSE(ExportRegistryKey(HKEY_CURRENT_USER, kBase, keyText, &keyWhy));
        EXPECT_FALSE(ExportRegistryValue(HKEY_CURRENT_USER, path.c_str(), row.value.c_str(), valueText, &valueWhy));
        EXPECT_EQ("unchanged", keyText);
        EXPECT_EQ("unchanged", valueText);
        EXPECT_NE(std::string::npos, keyWhy.find(row.refused)) << keyWhy;
        EXPECT_NE(std::string::npos, valueWhy.find(row.refused)) << valueWhy;
    }
}

TEST(RegText, AKeyThatIsNotThereIsNoRefusal) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    std::string text, why = "none";
    EXPECT_FALSE(ExportRegistryKey(HKEY_CURRENT_USER, kBase, text, &why));
    EXPECT_FALSE(ExportRegistryValue(HKEY_CURRENT_USER, kBase, "v", text, &why));
    EXPECT_EQ("", why);
    EXPECT_EQ("", text);
}

struct TextRow {
    const char* what;
    std::string body;    // after "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n"
    const char* error;   // the start of the error, or null: it parses
    std::string data;    // what the value "b" holds when it parses
};

TEST(RegText, LinesNotOfTheFormMakeTheTextDamaged) {
    const TextRow rows[] = {
        {"a value", "\"b\"=\"x\"\r\n", nullptr, S("x", 2)},
        {"comment and blank", "; note\r\n\r\n\"b\"=dword:1\r\n", nullptr, S("\1\0\0\0", 4)},
        {"bytes continued", "\"b\"=hex:01,\\\r\n  02,\\\r\n  03\r\n", nullptr, "\1\2\3"},
        {"a stray line", "\"b\"=\"x\"\r\nHKEY_LOCAL_MACHINE\\Evil\r\n", "line 4:", ""},
        {"a carriage return inside a line", "\"b\"=\"x\r[HKEY_LOCAL_MACHINE\\Evil]\"\r\n", "line 3: a carriage return", ""},
        {"a continuation not indented", "\"b\"=hex:01,\\\r\n02\r\n", "line 4: expected an indented", ""},
        {"a continuation at the end", "\"b\"=hex:01,\\\r\n", "line 4: expected an indented", ""},
        {"a string continued", "\"b\"=\"x,\\\r\n  y\"\r\n", "line 3:", ""},
        {"a deletion header", "[-HKEY_LOCAL_MACHINE\\Evil]\r\n", "line 3: an unknown root", ""},
        {"a key without its ]", "[HKEY_LOCAL_MACHINE\\Evil\r\n", "line 3:", ""},
        {"an unquoted value name", "b=\"x\"\r\n", "line 3:", ""},
        {"a NUL", S("\"b\"=\"x\0\"\r\n", 10), "line 3: a NUL", ""},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<CRegistryTextKey> keys;
        std::string error;
        const bool parsed = ParseRegistryText("REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n" + row.body, keys, error);
        if (row.error) {
            EXPECT_FALSE(parsed);
            EXPECT_EQ(0u, error.rfind(row.error, 0)) << error;
            continue;
        }
        ASSERT_TRUE(parsed) << error;
        ASSERT_EQ(1u, keys.size());
        ASSERT_EQ(1u, keys[0].values.size());
        EXPECT_EQ(row.data, keys[0].values[0].data);
    }
}

}  // namespace
