// The tool stays live while the CAD holds a call: during a prompt the user can still move the
// main window, toggle the help, watch the promotion windows dock, and leave; a CAD that never
// answers does not take the tool with it. Against the stand-in CAD (registered by the harness).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "harness.h"
#include "promo/promo_window_ids.h"

namespace driver {

class Live : public testing::Test {
protected:
    // A fresh stand-in reads `config` and answers from `answers`; its journal is read back.
    void SetUp() override {
        endStandin();
        const std::wstring data = L"C:\\ProgramData\\PontiroStandin", name = arg(2) + L"\\live";
        CreateDirectoryW(data.c_str(), nullptr);
        journal = name + L".journal.jsonl", answersPath = name + L".answers.txt";
        DeleteFileW(journal.c_str());
        ASSERT_TRUE(writeFile(data + L"\\config.ini", "journal = " + narrow(journal) + "\r\nscript = " +
                                                          narrow(answersPath) + "\r\n"));
    }
    void TearDown() override { endStandin(); }
    void start(const std::string& answers, const std::string& extra = "") {
        ASSERT_TRUE(writeFile(answersPath, answers));
        if (!extra.empty()) {
            std::ofstream(L"C:\\ProgramData\\PontiroStandin\\config.ini", std::ios::app) << extra << "\r\n";
        }
        ASSERT_NE(main = launchTool(tool, arg(0)), nullptr);
        PostMessageW(GetDlgItem(main, app::IdInitialiseOriginButton), BM_CLICK, 0, 0);  // 初始化原点
    }
    bool journalHas(const char* text) const {
        std::stringstream content;
        content << std::ifstream(journal.c_str()).rdbuf();
        return content.str().find(text) != std::string::npos;
    }
    bool running() const { return sendTimeout(main, app::kQueryCommandRunning) == 1; }
    // 帮助 clicked with the real pointer: the window grows or shrinks within seconds.
    bool helpToggles() const {
        const long before = box(windowRect(main))[3];
        const POINT help = centreOf(windowRect(GetDlgItem(main, app::IdHelpButton)));
        clickAt(help.x, help.y);
        return waitFor([&] { return box(windowRect(main))[3] != before; }, 3s);
    }
    void exitWithTheButton() {
        const POINT exit = centreOf(windowRect(GetDlgItem(main, app::IdExitButton)));
        clickAt(exit.x, exit.y);
        EXPECT_TRUE(tool.waitExit(5s)) << "退出 ends the tool while the CAD holds its call";
    }
    // Closed as a person would, so that it leaves nothing registered behind.
    static void endStandin() {
        for (HWND w; (w = FindWindowExW(nullptr, nullptr, L"PontiroStandinCad", nullptr));) {
            DWORD id = 0;
            GetWindowThreadProcessId(w, &id);
            const win::KernelHandle p(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
            PostMessageW(w, WM_CLOSE, 0, 0);
            if (p && WaitForSingleObject(p.get(), 10000)) TerminateProcess(p.get(), 9), WaitForSingleObject(p.get(), 5000);
        }
    }
    static std::string narrow(const std::wstring& w) { return {w.begin(), w.end()}; }  // ASCII paths

    Process tool;
    HWND main = nullptr;
    std::wstring journal, answersPath;
};

TEST_F(Live, DuringAPendingPrompt) {
    moveMouseTo(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) - 40);
    start("user\n");  // the origin prompt waits for a person who never comes
    ASSERT_TRUE(waitFor([&] { return journalHas("\"member\":\"Utility\""); }, 30s)) << "the prompt is up";
    Sleep(500);
    ASSERT_TRUE(running());

    // The main window dragged by its caption with the real pointer.
    const RECT before = windowRect(main);
    const int x = before.left + 60, y = before.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2;
    moveMouseTo(x, y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    for (int step = 1; step <= 10; ++step, Sleep(20)) moveMouseTo(x - 20 * step, y + 10 * step);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(waitFor([&] { return windowRect(main).left == before.left - 200; }, 3s));
    EXPECT_EQ(box(windowRect(main)), (Box{before.left - 200, before.top + 100, before.right - before.left,
                                          before.bottom - before.top}));
    EXPECT_TRUE(helpToggles()) << "帮助 during the prompt";
    EXPECT_TRUE(helpToggles()) << "and back";

    // The right promotion window docks, shows under the pointer on its strip and docks again.
    const std::vector<HWND> promos = windowsOf(tool.id(), promo::kPromoWindowClass, true);
    HWND right = promos.empty() ? nullptr : *std::max_element(promos.begin(), promos.end(), [](HWND a, HWND b) {
        return windowRect(a).left < windowRect(b).left;
    });
    const long screen = GetSystemMetrics(SM_CXSCREEN), middle = (windowRect(right).top + windowRect(right).bottom) / 2;
    const auto docked = [&] { return windowRect(right).left >= screen - 4; };
    ASSERT_TRUE(right && waitFor(docked, 12s)) << "docked during the prompt";
    moveMouseTo(screen - 2, middle);
    EXPECT_TRUE(waitFor([&] { return windowRect(right).right >= screen && windowRect(right).left < screen - 50; }, 3s));
    moveMouseTo(screen / 2, middle);
    EXPECT_TRUE(waitFor(docked, 3s)) << "hides when the pointer leaves";
    EXPECT_TRUE(running()) << "the prompt is still up";
    exitWithTheButton();
}

TEST_F(Live, APromptAnsweredLateEndsTheCommand) {
    start("point 5 5 delay=3000\n");
    EXPECT_TRUE(waitFor([&] { return running(); }, 5s));
    EXPECT_TRUE(helpToggles()) << "帮助 while the answer is awaited";
    std::vector<SeenBox> boxes;
    EXPECT_TRUE(waitIdle(main, tool.id(), boxes, 30s));
    EXPECT_TRUE(boxes.empty()) << json(boxes.empty() ? L"" : boxes[0].text);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main, app::IdPickNodesButton))) << "the origin is set";
    EXPECT_TRUE(journalHas("\"member\":\"AppendItems\"")) << "the origin mark grouped";
    exitWithTheButton();
}

TEST_F(Live, ACadThatNeverAnswers) {
    start("point 1 2\n", "hang_at = ModelSpace.AddPoint");
    ASSERT_TRUE(waitFor([&] { return journalHas("\"fault\":\"hang\""); }, 30s));
    EXPECT_TRUE(running());
    EXPECT_TRUE(helpToggles()) << "the tool stays usable";
    exitWithTheButton();
}

}  // namespace driver
