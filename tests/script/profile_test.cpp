// Text lists, profiles, the database's profile list and the option list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "script/database.h"
#include "simwin/machine.h"

namespace {

CTextList ListOf(const std::vector<std::string>& texts) {
    CTextList list;
    for (const std::string& t : texts) list.Add(t.c_str());
    return list;
}

std::vector<std::string> Texts(const CTextList& list) {
    std::vector<std::string> out;
    for (const char* t : list) out.push_back(t);
    return out;
}

typedef std::vector<std::string> Strings;

TEST(TextList, UniqueComparesNeighboursOnly) {
    CTextList list = ListOf({"a", "A", "b", "a"});
    list.Unique();
    EXPECT_EQ((Strings{"a", "b", "a"}), Texts(list));
    EXPECT_EQ(3u, list.Count());
}

TEST(TextList, SortIsStableSoTheFirstSpellingSurvivesUnique) {
    CTextList list = ListOf({"Files", "files", "Abc"});
    list.Sort();
    EXPECT_EQ((Strings{"Abc", "Files", "files"}), Texts(list));
    list.Unique();
    EXPECT_EQ((Strings{"Abc", "Files"}), Texts(list));

    // Runs of equal texts in different spellings keep their input order.
    CTextList many = ListOf({"zz", "AB", "m", "ab", "Zz", "aB", "M", "Ab", "zZ", "0"});
    many.Sort();
    Strings sorted = Texts(many);
    EXPECT_EQ((Strings{"0", "AB", "ab", "aB", "Ab", "m", "M", "zz", "Zz", "zZ"}), sorted);
    // The links are intact in both directions.
    Strings backwards;
    for (auto it = --many.end(); it != many.end(); --it) backwards.insert(backwards.begin(), it->text);
    EXPECT_EQ(sorted, backwards);
}

TEST(TextList, MergeKeepsThisListsElementFirstOnEqualTexts) {
    CTextList mine = ListOf({"a", "C", "e"});
    CTextList other = ListOf({"A", "b", "c", "f"});
    mine.Merge(other);
    EXPECT_EQ((Strings{"a", "A", "b", "C", "c", "e", "f"}), Texts(mine));
    EXPECT_TRUE(other.IsEmpty());
    EXPECT_EQ(7u, mine.Count());

    CTextList empty;
    CTextList some = ListOf({"x"});
    empty.Merge(some);
    EXPECT_EQ((Strings{"x"}), Texts(empty));
}

TEST(TextList, SubtractRemovesEveryCaseInsensitiveMatchAndKeepsOrder) {
    CTextList list = ListOf({"a", "y.ini", "X.DLL", "b", "x.dll"});
    CTextList other = ListOf({"x.dll", "Y.INI"});
    list.Subtract(other);
    EXPECT_EQ((Strings{"a", "b"}), Texts(list));
    EXPECT_EQ(2u, other.Count());
}

TEST(TextList, ReverseAndCopyAreDeep) {
    CTextList list = ListOf({"1", "2", "3"});
    CTextList copy = list;
    list.Reverse();
    EXPECT_EQ((Strings{"3", "2", "1"}), Texts(list));
    EXPECT_EQ((Strings{"1", "2", "3"}), Texts(copy));
    list.Add("0");
    EXPECT_EQ((Strings{"3", "2", "1", "0"}), Texts(list));
    copy = list;
    list.Clear();
    EXPECT_EQ(4u, copy.Count());
}

TEST(TextList, LongTextsAreCut) {
    CTextList list;
    list.Add(std::string(500, 'q').c_str());
    EXPECT_EQ(static_cast<size_t>(TEXT_SIZE - 1), std::strlen(list.Front()));
}

TEST(Profile, MergeProfileIsASortedUnionThatKeepsTheReceiversFields) {
    CUninstallProfile mine;
    CopyText(mine.name, "Mine");
    CopyText(mine.section, "MINE");
    CopyText(mine.scriptPath, "C:\\a.unm");
    mine.isCatchAll = 1;
    mine.number = 4;
    mine.files.Add("a");
    mine.files.Add("c");
    CUninstallProfile other;
    CopyText(other.name, "Other");
    other.files.Add("B");
    other.files.Add("a");
    other.files.Add("A");
    other.services.Add("svc");
    mine.MergeProfile(other);
    EXPECT_EQ((Strings{"a", "B", "c"}), Texts(mine.files));
    EXPECT_EQ((Strings{"svc"}), Texts(mine.services));
    EXPECT_EQ("Mine", mine.name);
    EXPECT_EQ("MINE", mine.section);
    EXPECT_EQ("C:\\a.unm", mine.scriptPath);
    EXPECT_EQ(1, mine.isCatchAll);
    EXPECT_EQ(4, mine.number);
    EXPECT_EQ(3u, other.files.Count());  // other unchanged
}

TEST(Profile, SubtractProfileWorksListByList) {
    CUninstallProfile mine;
    mine.files.Add("a.dll");
    mine.files.Add("b.dll");
    mine.services.Add("a.dll");
    CUninstallProfile other;
    other.files.Add("A.DLL");
    mine.SubtractProfile(other);
    EXPECT_EQ((Strings{"b.dll"}), Texts(mine.files));
    EXPECT_EQ((Strings{"a.dll"}), Texts(mine.services));  // only the same list is subtracted
}

TEST(Profile, AddRegistryEntryComposesTheScriptSyntax) {
    CUninstallProfile p;
    EXPECT_EQ(1, p.AddRegistryEntry(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04", "", 1));
    EXPECT_EQ(1, p.AddRegistryEntry(HKEY_USERS, "Software\\A", "V", 0));
    EXPECT_EQ(1, p.AddRegistryEntry(HKEY_CLASSES_ROOT, "x", nullptr, 7));
    EXPECT_EQ(1, p.AddRegistryEntry(HKEY_CURRENT_USER, "y", "z", 0));
    EXPECT_EQ(0, p.AddRegistryEntry(HKEY_USERS, "", "V", 0));
    EXPECT_EQ(0, p.AddRegistryEntry(HKEY_USERS, nullptr, "V", 0));
    EXPECT_EQ(0, p.AddRegistryEntry(HKEY_CURRENT_CONFIG, "Software", "V", 0));
    // An item that would not fit is not added cut short (it would name another key).
    EXPECT_EQ(0, p.AddRegistryEntry(HKEY_LOCAL_MACHINE, std::string(250, 'k').c_str(), "value", 0));
    EXPECT_EQ((Strings{"HKLM,\"SOFTWARE\\VESTRAL\\OEM04\",\"\",1", "HKU,\"Software\\A\",\"V\",0",
                       "HKCR,\"x\",\"\",1", "HKCU,\"y\",\"z\",0"}),
              Texts(p.registryKeys));
}

class Database : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};

    static CUninstallProfile Named(const char* name, const char* file) {
        CUninstallProfile p;
        CopyText(p.name, name);
        p.files.Add(file);
        return p;
    }
};

TEST(DatabaseOn9x, KnowsItsPlatform) {
    simwin::Machine m(simwin::Platform::Win9x);
    simwin::MachineScope scope(m);
    CUninstallDatabase db;
    EXPECT_EQ(1, db.isWin9x);
}

TEST_F(Database, FindProfileReturnsTheFirstOfEqualNamesAndNormalizeKeepsIt) {
    CUninstallDatabase db;
    db.AddProfile(Named("Zeta", "z.dll"));
    db.AddProfile(Named("Vestral X", "first.dll"));
    db.AddProfile(Named("VESTRAL x", "second.dll"));
    CUninstallProfile found;
    CopyText(found.section, "stale");
    ASSERT_EQ(1, db.FindProfile(found, "vestral X"));
    EXPECT_EQ((Strings{"first.dll"}), Texts(found.files));
    EXPECT_EQ("", found.section);

    db.keep.files.Add("b");
    db.keep.files.Add("B");
    db.keep.files.Add("a");
    db.Normalize();
    ASSERT_EQ(2u, db.profiles.Count());
    EXPECT_EQ("Vestral X", db.profiles.Front().name);
    EXPECT_EQ((Strings{"first.dll"}), Texts(db.profiles.Front().files));
    EXPECT_EQ("Zeta", db.profiles.Back().name);
    EXPECT_EQ((Strings{"a", "b"}), Texts(db.keep.files));

    EXPECT_EQ(0, db.FindProfile(found, "Missing"));
    EXPECT_EQ("", found.name);
    EXPECT_TRUE(found.files.IsEmpty());
}

TEST_F(Database, NormalizeLeavesCombinedAlone) {
    CUninstallDatabase db;
    db.combined.files.Add("b");
    db.combined.files.Add("a");
    db.combined.files.Add("a");
    db.Normalize();
    EXPECT_EQ((Strings{"b", "a", "a"}), Texts(db.combined.files));
}

TEST(Options, HasOptionIgnoresCase) {
    COptionList options;
    options.AddOption("unpav");
    EXPECT_EQ(1, options.HasOption("UNPAV"));
    EXPECT_EQ(0, options.HasOption("MFG"));
}

TEST(Options, GetOptionValuesCollectsEveryElementOfTheName) {
    COptionList options;
    CTextList& first = options.AddOption("PRN");
    first.Add("a");
    first.Add("b");
    options.AddOption("MFG").Add("m");
    options.AddOption("prn");  // no values
    options.AddOption("Prn").Add("c");

    char buffer[32];
    std::memset(buffer, 'Z', sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(1, options.GetOptionValues("PRN", buffer, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(0, std::memcmp(buffer, "a\0b\0c\0\0", 7));
    EXPECT_EQ('Z', buffer[7]);

    // The list needs 7 characters: a size of 7 is too small, 8 is enough.
    size = 7;
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(0, options.GetOptionValues("PRN", buffer, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ('Z', buffer[0]);
    size = 8;
    EXPECT_EQ(1, options.GetOptionValues("PRN", buffer, &size));

    // A size query without a buffer.
    size = 100;
    EXPECT_EQ(0, options.GetOptionValues("PRN", nullptr, &size));
    EXPECT_EQ(7u, size);

    // No values: success with size 0.
    size = sizeof buffer;
    EXPECT_EQ(1, options.GetOptionValues("UNPAV", buffer, &size));
    EXPECT_EQ(0u, size);

    size = sizeof buffer;
    EXPECT_EQ(0, options.GetOptionValues("", buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(sizeof buffer), size);
    EXPECT_EQ(0, options.GetOptionValues("PRN", buffer, nullptr));
}

TEST(Options, ValuesBeyondTheWorkingAreaAreDroppedWhole) {
    COptionList options;
    CTextList& prn = options.AddOption("PRN");
    std::string value(200, 'v');
    for (int i = 0; i < 30; ++i) prn.Add(value.c_str());  // 30 * 201 characters: more than 4096
    std::vector<char> buffer(8192, 'Z');
    DWORD size = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(1, options.GetOptionValues("PRN", buffer.data(), &size));
    EXPECT_EQ(20u * 201 + 1, size);  // 20 whole values fit with the closing NUL
    EXPECT_EQ(0, buffer[size - 1]);
    EXPECT_EQ(0, buffer[size - 2]);
}

}  // namespace

// The faster list operations give what the plain ones gave. A small generator of lists with case variants,
// repeats and disorder; each case compares against the plain algorithm written out here.
namespace faster {

std::vector<std::string> Mixed(unsigned seed, size_t n, bool sorted) {
    static const char* const kWords[] = {"a.dll", "A.DLL", "b.dll", "B.dll", "c.ini", "C.INI", "d", "D", "e.exe", "f"};
    std::vector<std::string> out;
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        out.push_back(std::string(kWords[(seed >> 16) % 10]) + std::to_string((seed >> 8) % 7));
    }
    if (sorted) {
        CTextList list = ListOf(out);
        list.SortBy([](const CTextItem& a, const CTextItem& b) { return TextLess(a, b); });
        out = Texts(list);
    }
    return out;
}

// Sequential MergeProfile as it was: merge every list, then sort every list, then make them unique.
void PlainMerge(CUninstallProfile& into, const CUninstallProfile& other) {
    CUninstallProfile copy(other);
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i) into.List(i).Merge(copy.List(i));
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i)
        into.List(i).SortBy([](const CTextItem& a, const CTextItem& b) { return TextLess(a, b); });
    into.UniqueAll();
}

}  // namespace faster

TEST_F(Database, CombinedAndMergeGiveWhatSequentialMergesGave) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        const bool sorted = seed % 3 != 0;  // profiles of scripts are sorted; a third of the rows are not
        CUninstallDatabase db;
        for (int p = 0; p < 6; ++p) {
            CUninstallProfile profile;
            CopyText(profile.name, ("Profile " + std::to_string(p)).c_str());
            profile.isIgnore = p == 4;
            profile.files = ListOf(faster::Mixed(seed * 31 + p, 5 + p * 7, sorted));
            profile.services = ListOf(faster::Mixed(seed * 17 + p, p, sorted));
            db.AddProfile(profile);
        }
        db.Normalize();
        CUninstallProfile expected, merged;
        for (const CUninstallProfile& profile : db.profiles) {
            if (profile.isIgnore) continue;
            faster::PlainMerge(expected, profile);
            merged.MergeProfile(profile);
        }
        ASSERT_EQ(1, db.BuildCombinedProfile());
        for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i) {
            SCOPED_TRACE(CUninstallProfile::ListName(i));
            EXPECT_EQ(Texts(expected.List(i)), Texts(db.combined.List(i)));
            EXPECT_EQ(Texts(expected.List(i)), Texts(merged.List(i)));
        }
    }
}

TEST(TextList, SubtractOfALongListAndSortOfASortedOneGiveWhatThePlainOnesGave) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        CTextList list = ListOf(faster::Mixed(seed, 60, false));
        const CTextList other = ListOf(faster::Mixed(seed + 100, 5 + seed * 4, seed % 2 == 0));  // short and long
        CTextList plain = list;
        plain.SubtractBy(other, [](const CTextItem& a, const CTextItem& b) { return TextEqual(a, b); });
        list.Subtract(other);
        EXPECT_EQ(Texts(plain), Texts(list));

        CTextList sorted = ListOf(faster::Mixed(seed, 40, true));
        const Strings before = Texts(sorted);
        EXPECT_TRUE(sorted.IsSorted());
        sorted.Sort();
        EXPECT_EQ(before, Texts(sorted));
        EXPECT_FALSE(ListOf({"b", "a"}).IsSorted());
    }
}

// The selection takes the profile of each staying printer's driver: the driver profile, else the
// manufacturer's (the last of several), merged once however many printers keep it.
TEST_F(Database, ProfileOfDriverIsWhatFindProfileAndFindManufacturerProfileCopy) {
    CUninstallDatabase db;
    CUninstallProfile maker = Named("Vestral", "maker.dll");
    maker.isManufacturer = 1;
    CUninstallProfile later = Named("Vestral Two", "later.dll");
    later.isManufacturer = 1;
    db.AddProfile(maker);
    db.AddProfile(later);
    db.AddProfile(Named("Vestral X Driver", "x.dll"));
    db.Normalize();
    struct Case {
        const char* driver;
        const char* file;  // "" when there is no profile
    };
    for (const Case& c : {Case{"vestral x driver", "x.dll"}, Case{"Vestral Y Driver", "later.dll"}, Case{"Other", ""}}) {
        SCOPED_TRACE(c.driver);
        const CUninstallProfile* p = db.ProfileOfDriver(c.driver);
        CUninstallProfile copied;
        const int found = db.FindProfile(copied, c.driver) || db.FindManufacturerProfile(copied, c.driver);
        EXPECT_EQ(found != 0, p != nullptr);
        if (p) EXPECT_EQ(Texts(copied.files), Texts(p->files));
        EXPECT_EQ(*c.file ? Strings{c.file} : Strings{}, p ? Texts(p->files) : Strings{});
    }
}
