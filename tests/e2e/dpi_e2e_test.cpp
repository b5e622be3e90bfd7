// The wizard at the screen resolutions of common displays (100, 125, 150 and 200 per cent) and at one too
// large for the screen. Each case sets the resolution that the prefix's next programs start with, starts
// the wizard, compares every control with the place the design gives it (scaled), checks that the texts keep
// their lines and that nothing overlaps or leaves its parent, and saves a screenshot of every page as
// dpi<N>-<page>.png. The resolution of the prefix is put back afterwards, whatever happens.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "PrefixResolution.h"
#include "WizardDriver.h"
#include "WizardTexts.h"

using namespace e2e;

namespace {

// The main window's client area and the message window's width at 96 pixels per inch.
constexpr int DesignClientWidth = 972;
constexpr int DesignClientHeight = 583;
constexpr int DesignNoticeWidth = 446;

// Where the design puts every window of the main window, at 96 pixels per inch in the main window's client
// area (left, top, right, bottom), once the pages after the first are made. Written from the design, not read
// from the program, so that a control added, moved or resized by mistake shows at 96 as at every scale. A
// window is known by the page it lies on (none for the main window's own and for the pages), its class and
// the start of its text ("" takes any text: the information box's document, a list's selection).
struct TDesignPlace {
    const wchar_t* Page;
    const wchar_t* Class;
    const wchar_t* Text;
    RECT Place;
};

// The pages fill the page control; their buttons share one bar along its bottom.
constexpr RECT PageArea{320, 110, 939, 551};
constexpr RECT LeftButton{328, 516, 428, 543};
constexpr RECT RightButton{831, 516, 931, 543};
constexpr RECT FullText{328, 118, 931, 508}; // a text or list that takes the page down to the bar

const TDesignPlace DesignPlaces[] = {
    {L"", L"RICHEDIT50W", L"", {16, 110, 298, 551}},
    {L"", L"TPageControl", L"", PageArea},
    {L"", L"TTabSheet", L"Приветствие", PageArea},
    {L"", L"TTabSheet", L"Путь установки", PageArea},
    {L"", L"TTabSheet", L"Компоненты", PageArea},
    {L"", L"TTabSheet", L"Установка", PageArea},
    {L"", L"TTabSheet", L"Отмена установки", PageArea},
    {L"", L"TTabSheet", L"Размер шрифта", PageArea},

    {L"Приветствие", L"Edit", L"Добро пожаловать", FullText},
    {L"Приветствие", L"Button", L"Отмена", LeftButton},
    {L"Приветствие", L"Button", L"Далее", RightButton},

    {L"Путь установки", L"Edit", L"Пожалуйста, задайте путь", {328, 118, 931, 178}},
    {L"Путь установки", L"TPanel", L"", {328, 182, 931, 214}},
    {L"Путь установки", L"Edit", L"C:\\", {334, 189, 834, 209}},
    {L"Путь установки", L"Button", L"Выбрать", {838, 184, 929, 212}},
    {L"Путь установки", L"Button", L"Отмена", LeftButton},
    {L"Путь установки", L"Button", L"Далее", RightButton},

    {L"Компоненты", L"Edit", L" - Если у Вас", {328, 118, 931, 385}},
    {L"Компоненты", L"TPanel", L"", {328, 385, 931, 508}},
    {L"Компоненты", L"Button", L"Устанавливать драйвер", {336, 397, 636, 419}},
    {L"Компоненты", L"ComboBox", L"", {336, 429, 576, 629}}, // bottom: the list dropped down
    {L"Компоненты", L"Button", L"Отмена", LeftButton},
    {L"Компоненты", L"Button", L"Назад", {663, 516, 763, 543}},
    {L"Компоненты", L"Button", L"Начать установку", {771, 516, 931, 543}},

    {L"Установка", L"ListBox", L"", FullText},
    {L"Установка", L"Static", L"", {328, 521, 823, 539}}, // where the run log went, beside "Выход"
    {L"Установка", L"Button", L"Выход", RightButton},

    {L"Отмена установки", L"Edit", L"Установка комплекса", {328, 118, 931, 295}},
    {L"Отмена установки", L"Button", L"Выход", RightButton},

    {L"Размер шрифта", L"Edit", L"В настройках", FullText},
    {L"Размер шрифта", L"Button", L"Изменить настройки", {328, 516, 524, 543}},
    {L"Размер шрифта", L"Button", L"Выход", RightButton},
};

RECT WindowRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

RECT ClientRect(HWND window) {
    RECT rect{};
    ::GetClientRect(window, &rect);
    return rect;
}

// The window's rectangle in the client coordinates of `parent` (any window it lies in).
RECT RectIn(HWND window, HWND parent) {
    RECT rect = WindowRect(window);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT ScaledEdges(const RECT& design, int pixelsPerInch) {
    auto s = [&](LONG value) { return static_cast<LONG>(::MulDiv(value, pixelsPerInch, 96)); };
    return {s(design.left), s(design.top), s(design.right), s(design.bottom)};
}

std::string Describe(const RECT& rect) {
    std::ostringstream text;
    text << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ")";
    return text.str();
}

bool HasStyle(HWND window, LONG style) {
    return (::GetWindowLongW(window, GWL_STYLE) & style) == style;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

bool IsTextBlock(HWND window) {
    return ClassName(window) == L"Edit" && HasStyle(window, ES_MULTILINE | ES_READONLY);
}

bool IsRichEdit(HWND window) {
    return ClassName(window).find(L"RICHEDIT") != std::wstring::npos;
}

bool VerticalBarShown(HWND window) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetScrollBarInfo(window, OBJID_VSCROLL, &info))
        return false;
    return !(info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN));
}

// Whether the last line of a text block lies wholly inside it.
bool LastLineInside(HWND memo) {
    const LRESULT lines = Ask(memo, EM_GETLINECOUNT);
    if (lines < 2)
        return true;
    auto topOfLine = [&](LRESULT line) {
        const LRESULT first = Ask(memo, EM_LINEINDEX, static_cast<WPARAM>(line));
        return static_cast<int>(
            static_cast<short>(HIWORD(Ask(memo, EM_POSFROMCHAR, static_cast<WPARAM>(first)))));
    };
    const int lineHeight = topOfLine(1) - topOfLine(0);
    return topOfLine(lines - 1) + lineHeight <= ClientRect(memo).bottom;
}

// The text of the page a window lies on; "" for the main window's own windows and for the pages.
std::wstring PageOf(HWND window, HWND main) {
    for (HWND parent = ::GetParent(window); parent && parent != main; parent = ::GetParent(parent))
        if (ClassName(parent) == L"TTabSheet")
            return WindowText(parent);
    return {};
}

// Window classes are named without regard to case (Wine reports the rich-text box's as "RichEdit50W").
bool SameClass(const std::wstring& a, const wchar_t* b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Every window of the wizard's main window as it is laid out: where it is, which design place it answers
// to and, for texts, how many lines they take.
struct TControl {
    HWND Window = nullptr;
    std::wstring Page;
    std::wstring Class;
    std::wstring Text;
    std::vector<std::size_t> Designs; // the entries of DesignPlaces it answers to: one, or it is a stranger
    RECT Place{};                     // in its parent
    RECT InMain{};                    // in the main window
    LRESULT Lines = 0;
    bool VerticalBar = false;
};

struct TLayout {
    RECT Client{};
    std::vector<TControl> Controls;
};

TLayout ReadLayout(HWND main) {
    TLayout layout;
    layout.Client = ClientRect(main);
    for (HWND window : Descendants(main)) {
        TControl control;
        control.Window = window;
        control.Page = PageOf(window, main);
        control.Class = ClassName(window);
        control.Text = WindowText(window).substr(0, 40);
        for (std::size_t i = 0; i < std::size(DesignPlaces); ++i)
            if (control.Page == DesignPlaces[i].Page && SameClass(control.Class, DesignPlaces[i].Class) &&
                control.Text.starts_with(DesignPlaces[i].Text))
                control.Designs.push_back(i);
        control.Place = RectIn(window, ::GetParent(window));
        control.InMain = RectIn(window, main);
        if (IsTextBlock(window) || IsRichEdit(window))
            control.Lines = Ask(window, EM_GETLINECOUNT);
        control.VerticalBar = VerticalBarShown(window);
        layout.Controls.push_back(control);
    }
    return layout;
}

std::string Name(const TControl& control) {
    return ToUtf8((control.Page.empty() ? L"" : control.Page + L": ") + control.Class + L" \"" +
                  control.Text + L"\"");
}

std::string Name(const TDesignPlace& place) {
    return ToUtf8((*place.Page ? std::wstring(place.Page) + L": " : L"") + place.Class + L" \"" + place.Text +
                  L"...\"");
}

// Every window answers to one design place and every design place to one window.
void ExpectTheDesignsWindows(const TLayout& layout, int pixelsPerInch) {
    std::vector<int> found(std::size(DesignPlaces), 0);
    for (const TControl& control : layout.Controls) {
        EXPECT_EQ(control.Designs.size(), 1u)
            << pixelsPerInch << " dpi: " << Name(control) << " at " << Describe(control.InMain)
            << (control.Designs.empty() ? " is no window of the design" : " answers to more than one place");
        for (std::size_t i : control.Designs)
            ++found[i];
    }
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i], 1) << pixelsPerInch << " dpi: windows for " << Name(DesignPlaces[i]);
}

// Inside its parent, and clear of every sibling that is shown with it.
void ExpectNoOverlap(const TLayout& layout, int pixelsPerInch) {
    for (const TControl& control : layout.Controls) {
        if (!HasStyle(control.Window, WS_VISIBLE))
            continue;
        const RECT parent = ClientRect(::GetParent(control.Window));
        RECT inside{};
        ::IntersectRect(&inside, &control.Place, &parent);
        EXPECT_TRUE(::EqualRect(&inside, &control.Place))
            << pixelsPerInch << " dpi: " << Name(control) << " at " << Describe(control.Place)
            << " leaves its parent " << Describe(parent);
        for (const TControl& other : layout.Controls) {
            if (other.Window <= control.Window || ::GetParent(other.Window) != ::GetParent(control.Window) ||
                !HasStyle(other.Window, WS_VISIBLE))
                continue;
            RECT common{};
            EXPECT_FALSE(::IntersectRect(&common, &control.Place, &other.Place))
                << pixelsPerInch << " dpi: " << Name(control) << " at " << Describe(control.Place)
                << " overlaps " << Name(other) << " at " << Describe(other.Place);
        }
    }
}

// The largest resolution up to `wanted` at which the window fits its monitor's work area (96 at least).
int ExpectedFit(int wanted, HWND main) {
    const RECT window = WindowRect(main);
    const RECT client = ClientRect(main);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
    const int workWidth = monitor.rcWork.right - monitor.rcWork.left;
    const int workHeight = monitor.rcWork.bottom - monitor.rcWork.top;
    for (int dpi = wanted; dpi > 96; --dpi)
        if (::MulDiv(DesignClientWidth, dpi, 96) + frameWidth <= workWidth &&
            ::MulDiv(DesignClientHeight, dpi, 96) + frameHeight <= workHeight)
            return dpi;
    return 96;
}

class ScaledWizardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // This program reads the wizard's windows in the screen's own pixels, whatever its resolution.
        using TSetContext = BOOL(WINAPI*)(HANDLE);
        if (auto set = reinterpret_cast<TSetContext>(reinterpret_cast<void*>(
                ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
            set(reinterpret_cast<HANDLE>(-3)); // per monitor; refused when the process already is
    }

    void SetUp() override {
        FOptions = ReadOptions();
        ASSERT_FALSE(FOptions.Medium.empty())
            << "give the medium folder: --medium=<folder> or TESSARO_MEDIUM";
        FExe = JoinPath(FOptions.Medium, L"Setup.exe");
        ASSERT_NE(::GetFileAttributesW(FExe.c_str()), INVALID_FILE_ATTRIBUTES) << "no " << ToUtf8(FExe);
        if (!FOptions.Shots.empty())
            ::CreateDirectoryW(FOptions.Shots.c_str(), nullptr);
        wchar_t temp[MAX_PATH];
        const DWORD length = ::GetTempPathW(MAX_PATH, temp);
        FWorkingFolder = JoinPath(std::wstring(temp, length), L"tessaro-e2e-cwd");
        ::CreateDirectoryW(FWorkingFolder.c_str(), nullptr);
    }

    void TearDown() override {
        FWizard.reset();
        ::SetEnvironmentVariableW(L"TESSARO_E2E_LARGE_FONTS_PAGE", nullptr);
    }

    TWizard& Launch() {
        FWizard.reset();
        FWizard = std::make_unique<TWizard>(FExe, FWorkingFolder, FOptions.Shots);
        FWizard->WaitMainWindow();
        return *FWizard;
    }

    std::wstring Shot(int pixelsPerInch, const wchar_t* name) const {
        return L"dpi" + std::to_wstring(pixelsPerInch) + L"-" + name + L".png";
    }

    // How the texts lie at 96 pixels per inch, by design place: the lines every other resolution keeps. They
    // depend on the fonts the system has, so they are read rather than written down: by the 96 case on its
    // walk, or by the first other case that needs them, which starts the wizard at 96 for them. They are read
    // on the second page: the wizard makes the pages after the first when the first "Далее" needs them (at
    // another resolution, with the window, since their texts decide the fonts together).
    static std::map<std::size_t, TControl>& TextsAt96() {
        static std::map<std::size_t, TControl> texts;
        return texts;
    }

    static void KeepTextsAt96(const TLayout& layout) {
        for (const TControl& control : layout.Controls)
            if (control.Designs.size() == 1)
                TextsAt96()[control.Designs.front()] = control;
    }

    // Starts the wizard at `pixelsPerInch`, checks its layout against the design's and walks every page.
    void Walk(int pixelsPerInch) {
        if (pixelsPerInch != 96 && TextsAt96().empty()) {
            TPrefixResolution resolution(96);
            TWizard& wizard = Launch();
            wizard.WaitPage(WelcomePage, StartTimeout);
            wizard.Click(NextButton);
            wizard.WaitPage(PathPage);
            KeepTextsAt96(ReadLayout(wizard.MainWindow()));
            FWizard.reset();
        }
        TPrefixResolution resolution(static_cast<DWORD>(pixelsPerInch));

        TWizard& wizard = Launch();
        wizard.WaitPage(WelcomePage, StartTimeout);
        wizard.Screenshot(Shot(pixelsPerInch, L"01-welcome"));
        wizard.Click(NextButton);
        wizard.WaitPage(PathPage);
        HWND main = wizard.MainWindow();
        const int scale = ExpectedFit(pixelsPerInch, main);
        const TLayout layout = ReadLayout(main);
        if (pixelsPerInch == 96 && TextsAt96().empty())
            KeepTextsAt96(layout);
        std::printf("%d dpi: laid out at %d dpi, client area %ld x %ld\n", pixelsPerInch, scale,
                    layout.Client.right, layout.Client.bottom);

        // The window: its client area at the scale, the whole of it inside the work area.
        EXPECT_EQ(layout.Client.right, ::MulDiv(DesignClientWidth, scale, 96));
        EXPECT_EQ(layout.Client.bottom, ::MulDiv(DesignClientHeight, scale, 96));
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
        RECT window = WindowRect(main);
        RECT inside{};
        ::IntersectRect(&inside, &window, &monitor.rcWork);
        EXPECT_TRUE(::EqualRect(&inside, &window))
            << "the window " << Describe(window) << " leaves the work area " << Describe(monitor.rcWork);

        // Every control where its design place puts it, its texts on as many lines as at 96.
        ExpectTheDesignsWindows(layout, pixelsPerInch);
        for (const TControl& now : layout.Controls) {
            if (now.Designs.size() != 1)
                continue;
            // Scaled by its edges in the main window, so that what touches or fills at 96 does at every
            // scale.
            RECT expected = ScaledEdges(DesignPlaces[now.Designs.front()].Place, scale);
            if (now.Class == L"ComboBox")
                expected.bottom =
                    now.InMain.bottom; // a closed drop-down list takes the height its font needs
            EXPECT_TRUE(::EqualRect(&now.InMain, &expected))
                << pixelsPerInch << " dpi: " << Name(now) << " at " << Describe(now.InMain) << ", expected "
                << Describe(expected);
            const auto at96 = TextsAt96().find(now.Designs.front());
            if (at96 == TextsAt96().end())
                continue; // missing at 96 already, and said so there
            const TControl& then = at96->second;
            if (IsTextBlock(now.Window)) {
                EXPECT_EQ(now.Lines, then.Lines) << pixelsPerInch << " dpi: lines of " << Name(now);
                EXPECT_TRUE(LastLineInside(now.Window)) << pixelsPerInch << " dpi: " << Name(now);
            }
            if (IsRichEdit(now.Window)) {
                // The box's text may break a line differently, but needs no scroll bar where it needs none.
                EXPECT_LE(now.Lines, then.Lines + 1) << pixelsPerInch << " dpi: lines of the information box";
                if (!then.VerticalBar) {
                    EXPECT_FALSE(now.VerticalBar) << pixelsPerInch << " dpi: the information box scrolls";
                }
            }
        }
        ExpectNoOverlap(layout, pixelsPerInch);

        // The pages, and the driver notice at the monitor's own resolution.
        wizard.Screenshot(Shot(pixelsPerInch, L"02-path"));
        wizard.Click(L"Далее");
        const TNotice notice = wizard.WaitNotice();
        CheckNotice(notice.Handle, pixelsPerInch);
        wizard.Screenshot(Shot(pixelsPerInch, L"03-driver-notice"), notice.Handle);
        wizard.CloseNotice(notice);
        wizard.WaitPage(ComponentsPage);
        wizard.Screenshot(Shot(pixelsPerInch, L"04-components"));
        wizard.Click(L"Отмена");
        wizard.Answer(wizard.WaitMessageBox(), IDYES);
        wizard.WaitPage(CancelPage);
        wizard.Screenshot(Shot(pixelsPerInch, L"06-cancel"));

        // The large-font page comes after a run; the test's own switch opens the wizard on it.
        ::SetEnvironmentVariableW(L"TESSARO_E2E_LARGE_FONTS_PAGE", L"1");
        TWizard& again = Launch();
        ::SetEnvironmentVariableW(L"TESSARO_E2E_LARGE_FONTS_PAGE", nullptr);
        HWND fontPage = again.WaitPage(FontPage, StartTimeout);
        again.Screenshot(Shot(pixelsPerInch, L"07-large-fonts"));
        // The progress page as the run leaves it, shown by hand for its picture alone.
        HWND progress = nullptr;
        for (HWND page : Descendants(again.MainWindow()))
            if (ClassName(page) == L"TTabSheet" && WindowText(page) == ProgressPage)
                progress = page;
        ASSERT_NE(progress, nullptr);
        ::ShowWindow(fontPage, SW_HIDE);
        ::ShowWindow(progress, SW_SHOW);
        again.WaitPage(ProgressPage);
        again.Screenshot(Shot(pixelsPerInch, L"05-progress"));
    }

    // The notice's width at the resolution, its text inside its label and every control inside the window.
    void CheckNotice(HWND notice, int pixelsPerInch) {
        const RECT client = ClientRect(notice);
        EXPECT_EQ(client.right, ::MulDiv(DesignNoticeWidth, pixelsPerInch, 96)) << pixelsPerInch << " dpi";
        for (HWND child : Descendants(notice)) {
            if (!::IsWindowVisible(child))
                continue;
            RECT place = WindowRect(child);
            ::MapWindowPoints(HWND_DESKTOP, notice, reinterpret_cast<POINT*>(&place), 2);
            RECT inside{};
            ::IntersectRect(&inside, &place, &client);
            EXPECT_TRUE(::EqualRect(&inside, &place))
                << pixelsPerInch << " dpi: " << ToUtf8(ClassName(child) + L" \"" + WindowText(child) + L"\"")
                << " at " << Describe(place) << " leaves the notice " << Describe(client);
        }
    }

    TOptions FOptions;
    std::wstring FExe;
    std::wstring FWorkingFolder;
    std::unique_ptr<TWizard> FWizard;
};

} // namespace

TEST_F(ScaledWizardTest, At96PixelsPerInch) {
    Walk(96);
}

TEST_F(ScaledWizardTest, At120PixelsPerInch) {
    Walk(120);
}

TEST_F(ScaledWizardTest, At144PixelsPerInch) {
    Walk(144);
}

TEST_F(ScaledWizardTest, At192PixelsPerInch) {
    Walk(192);
}

// Three times the design size is wider than the test screen: the window takes the largest scale that fits.
TEST_F(ScaledWizardTest, At288PixelsPerInchTheWindowFitsTheScreen) {
    Walk(288);
}
