// The removal's state written as change records: every cut of the file inside a write (a crash, a power cut)
// reads back as the last state written whole, the finished form is the one-piece state, and damage before the
// end is refused.
#include <gtest/gtest.h>

#include <functional>

#include "removal/backup/removal_state.h"
#include "removal/backup/state_records.h"
#include "simwin/machine.h"

namespace {

struct Written {
    std::string file;                 // state.ini as the writes left it
    std::vector<size_t> ends;         // the file's length after each write
    std::vector<std::string> states;  // the state each write stood for, in one piece
};

CPrinterEntry Printer(const char* name) {
    CPrinterEntry p;
    CopyText(p.printerName, name);
    CopyText(p.driverName, "Vestral X Driver");
    p.isFamily = p.isListed = 1;
    return p;
}

// Four stages of a removal: the first state, a printer deleted, registry keys appended, a keep list that
// shrank and a monitor noted, then a stage that changed nothing but its number.
Written WriteStages(CStateRecords& records) {
    CUninstallDatabase db;
    CRemovalContext context{};
    for (const char* name : {"Office", "Labels", "Front desk"}) db.printers.AddCopy(Printer(name));
    db.keep.files.Add("shared.dll");
    db.keep.files.Add("zeta.dll");
    db.removal.files.Add("vxdrv.dll");
    Written w;
    const std::function<void(CUninstallDatabase&, CRemovalContext&)> steps[] = {
        [](CUninstallDatabase&, CRemovalContext&) {},
        [](CUninstallDatabase& d, CRemovalContext&) { d.printers.At(1)->isDeleted = 1; },
        [](CUninstallDatabase& d, CRemovalContext& c) {
            d.removal.registryKeys.Add("HKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1");
            d.removal.registryKeys.Add("HKLM,\"SOFTWARE\\VESTRAL\\VY\",\"\",1");
            c.pendingAtRestart = 1;
        },
        [](CUninstallDatabase& d, CRemovalContext& c) {
            d.keep.files.Erase(d.keep.files.begin());
            c.monitorsInUse.insert("vestral busy port");
        },
        [](CUninstallDatabase&, CRemovalContext&) {},
    };
    int stage = 8;
    for (const auto& step : steps) {
        step(db, context);
        std::string text;
        const bool append = records.Next(db, context, ++stage, text);
        EXPECT_EQ(!w.ends.empty(), append) << "stage " << stage;
        w.file = append ? w.file + text : text;
        w.ends.push_back(w.file.size());
        w.states.push_back(WriteRemovalState(db, context, stage));
    }
    return w;
}

std::string ReadBack(const std::string& text, std::string& error) {
    CUninstallDatabase db;
    CRemovalContext context{};
    int stage = -1;
    return ReadRemovalState(text, db, context, stage, error) ? WriteRemovalState(db, context, stage) : std::string();
}

// The database's version probe asks the machine.
struct StateRecords : ::testing::Test {
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
    CStateRecords records;
};

TEST_F(StateRecords, EveryCutInsideAWriteReadsAsTheLastWholeState) {
    const Written w = WriteStages(records);
    ASSERT_EQ(5u, w.ends.size());
    // The records hold what changed, not the lists again.
    EXPECT_EQ(std::string::npos, w.file.find("vxdrv.dll", w.ends[0])) << w.file;
    // Every length the file can have between two writes, its tail lost or written as zeros.
    for (size_t length = w.ends[0]; length <= w.file.size(); ++length) {
        size_t whole = 0;
        while (whole + 1 < w.ends.size() && w.ends[whole + 1] <= length) ++whole;
        const size_t writeEnd = whole + 1 < w.ends.size() ? w.ends[whole + 1] : length;
        for (const std::string& tail : {std::string(), std::string(writeEnd - length, '\0')}) {
            SCOPED_TRACE("cut at " + std::to_string(length) + (tail.empty() ? "" : " with zeros"));
            std::string error;
            EXPECT_EQ(w.states[whole], ReadBack(w.file.substr(0, length) + tail, error)) << error;
        }
    }
}

TEST_F(StateRecords, TheFinishedFormIsTheOnePieceStateAndOldStatesRead) {
    const Written w = WriteStages(records);
    EXPECT_EQ(w.states.back(), records.Whole());
    std::string error;
    EXPECT_EQ(w.states.back(), ReadBack(w.states.back(), error)) << error;
}

TEST_F(StateRecords, DamageBeforeTheLastPartIsRefused) {
    const Written w = WriteStages(records);
    const struct {
        const char* what;
        size_t at;  // the byte changed
    } rows[] = {
        {"the first part", w.ends[0] / 2},
        {"the second stage's record", (w.ends[0] + w.ends[1]) / 2},
        {"the fourth stage's record", (w.ends[2] + w.ends[3]) / 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string damaged = w.file;
        damaged[row.at] ^= 0x20;
        std::string error;
        EXPECT_EQ("", ReadBack(damaged, error));
        EXPECT_NE(std::string::npos, error.find("whose check fails")) << error;
    }
}

}  // namespace
