// What a person sees of the removal and what its log holds when it is cut short: each row's mark replaces
// the one before (no mark shows through another), the rows of a finishing run show the stages an earlier
// run did as done, the offer to finish names the printers and its backup set on a line of its own, and a
// run killed in the printers' stage has the line of each printer already gone in its log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/backup_run.h"

namespace {

// The images drawn into each row's icon control of the removal page, bottom to top.
// A message box's picture: a window that no dialog template made.
bool IsMessageBox(const std::vector<std::string>& picture) {
    return !picture.empty() && picture[0].rfind("window ", 0) == 0 && picture[0].find("(dialog ") == std::string::npos;
}

std::vector<std::vector<int>> Marks(simwin::Machine& m) {
    std::vector<std::vector<int>> marks;
    simwin::Window* main = m.windows.find(FindWindowA("VSTUninstallWindowClass__", NULL));
    for (HWND c : main ? main->children : std::vector<HWND>()) {
        simwin::Window* page = m.windows.find(c);
        if (!page || page->templateName != "IDD_REMOVE") continue;
        for (int i = 0; i < CRemovePage::ROW_COUNT; ++i) {
            std::vector<int> images;
            if (simwin::Window* icon = m.windows.find(m.windows.child(c, IDC_ROW_ICON_FIRST + i)))
                for (const simwin::Window::DrawnImage& d : icon->drawn) images.push_back(d.image);
            marks.push_back(images);
        }
    }
    return marks;
}

simwin::UserAction Act(simwin::UserAction::Kind kind, const std::string& target, std::vector<std::string> items = {}) {
    simwin::UserAction a;
    a.kind = kind;
    a.target = target;
    a.items = std::move(items);
    return a;
}

// An interactive run; marks holds the rows as the last message box (the end of the removal) found them.
int RunWatched(simwin::Machine& m, const std::string& tail, const std::vector<simwin::UserAction>& actions,
               std::vector<std::vector<int>>& marks) {
    m.windows.user.actions.assign(actions.begin(), actions.end());
    m.windows.user.show = [&](const std::vector<std::string>& picture) {
        if (IsMessageBox(picture)) marks = Marks(m);
    };
    const int code = toolrun::Run(m, tail);
    m.windows.user.show = nullptr;
    return code;
}

const std::vector<std::vector<int>> kAllDone(CRemovePage::ROW_COUNT, std::vector<int>{1});

// A removal from its start, and one finished from its backup set after a run killed at a stage: at the end
// every row shows the done mark alone.
TEST(ProgressMarks, EachRowShowsOneMarkAndTheEndShowsEveryRowDone) {
    struct Row {
        const char* what;
        const char* killedAt;  // "": a whole interactive run
    };
    const Row rows[] = {{"a whole removal", ""},
                        {"finished after a kill at the drivers' stage", "stage | 4\r\n"},
                        {"finished after a kill at the files' stage", "stage | 14\r\n"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testmachine::TempDir killed;
        std::unique_ptr<simwin::Machine> m = backuprun::Load(backuprun::EVERY_KIND);
        if (*row.killedAt) {
            {
                simwin::MachineScope scope(*m);
                ASSERT_TRUE(backuprun::RunUntilCrash(*m, backuprun::Tail(backuprun::EVERY_KIND), row.killedAt,
                                                     killed.path.string()));
            }
            m = simwin::Machine::load(killed.path.string());
        }
        simwin::MachineScope scope(*m);
        std::vector<std::vector<int>> marks;
        const std::vector<simwin::UserAction> user =
            *row.killedAt ? std::vector<simwin::UserAction>{Act(simwin::UserAction::Answer, "yes")}
                          : std::vector<simwin::UserAction>{Act(simwin::UserAction::Select, "", {"Office"}),
                                                            Act(simwin::UserAction::Press, std::to_string(IDC_UNINSTALL))};
        EXPECT_EQ(1, RunWatched(*m, "", user, marks)) << m->files.read(toolrun::kDefaultLog);
        EXPECT_EQ(kAllDone, marks);
    }
}

// The offer to finish a removal cut short names its printers, and the set's path stands whole on its line.
TEST(ProgressMarks, TheOfferNamesThePrintersAndItsSetOnALineOfItsOwn) {
    testmachine::TempDir killed;
    {
        auto m = backuprun::Load(backuprun::EVERY_KIND);
        simwin::MachineScope scope(*m);
        ASSERT_TRUE(backuprun::RunUntilCrash(*m, backuprun::Tail(backuprun::EVERY_KIND), "stage | 9\r\n",
                                             killed.path.string()));
    }
    auto m = simwin::Machine::load(killed.path.string());
    simwin::MachineScope scope(*m);
    std::vector<std::vector<int>> marks;
    EXPECT_EQ(1, RunWatched(*m, "", {Act(simwin::UserAction::Answer, "yes")}, marks));
    const std::string log = m->files.read(toolrun::kDefaultLog);
    const std::string mark = "the removal of the backup set ";
    const size_t at = log.find(mark);
    ASSERT_NE(std::string::npos, at) << log;
    const std::string folder = log.substr(at + mark.size(), log.find(" was cut short", at) - at - mark.size());
    EXPECT_EQ(1u, m->transcript.count("削除中のプリンタ: \"Office\"\\nバックアップ セット:\\n" + folder + "\\n\\n"))
        << ::testing::PrintToString(m->transcript.lines);
}

// A run killed in the printers' stage, at the next item after the printer went, or while the message box
// about the default printer waits: the printer's line is in the log.
TEST(ProgressMarks, ARunKilledInThePrintersStageKeepsTheLinesOfThePrintersGone) {
    const std::string printerGone = "stage 3 | printer | Office | removed";
    {
        testmachine::TempDir killed;
        {
            auto m = backuprun::Load(backuprun::EVERY_KIND);
            simwin::MachineScope scope(*m);
            ASSERT_TRUE(backuprun::RunUntilCrash(*m, backuprun::Tail(backuprun::EVERY_KIND), "item | 2 | ",
                                                 killed.path.string()));
        }
        auto m = simwin::Machine::load(killed.path.string());
        EXPECT_NE(std::string::npos, m->files.read(toolrun::kDefaultLog).find(printerGone))
            << m->files.read(toolrun::kDefaultLog);
    }
    auto m = backuprun::Load(backuprun::EVERY_KIND);
    simwin::MachineScope scope(*m);
    struct Killed {};
    std::string logDuringTheBox;
    m->windows.user.actions = {Act(simwin::UserAction::Select, "", {"Office"}),
                               Act(simwin::UserAction::Press, std::to_string(IDC_UNINSTALL))};
    m->windows.user.show = [&](const std::vector<std::string>& picture) {
        if (!IsMessageBox(picture)) return;
        logDuringTheBox = m->files.read(toolrun::kDefaultLog);
        throw Killed();
    };
    EXPECT_THROW(toolrun::Run(*m, ""), Killed);
    m->windows.user.show = nullptr;
    EXPECT_NE(std::string::npos, logDuringTheBox.find(printerGone)) << logDuringTheBox;
}

}  // namespace
