// Fonts, texts and the text window on a real context (run under Xvfb): glyph
// textures, what lands on the screen, and when layouts are rebuilt.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "SceneManager.h"
#include "TextTestGL.h"

using namespace GLTest;

namespace {

const uint32_t Red = 0xFF0000FF, Green = 0xFF00FF00, Blue = 0xFFFF0000, Grey = 0xFFFFFFFF;

class TextRender : public GLTest::Suite {
protected:
    static void SetUpTestSuite() {
        TestUtil::InstallDataFiles();
        Suite::SetUpTestSuite();
    }
    static void TearDownTestSuite() {
        G::FreeTextResources();
        Suite::TearDownTestSuite();
    }
};

// Ink bounds of one cell of a font's glyph texture, in cell pixels.
Box CellInk(G::FontRecord& font, int code) {
    G::TextureLock lock(font.texture, 0, false);
    uint32_t pitch = 0;
    const uint32_t* texels = LockedTexels(lock, &pitch);
    Box box;
    if (!texels) return box;
    const int cell = int(pitch) / 16;
    for (int y = 0; y < cell; ++y)
        for (int x = 0; x < cell; ++x) {
            uint32_t texel = texels[size_t((code / 16 * cell + y) * int(pitch) + code % 16 * cell + x)];
            if ((texel >> 24) == 0) continue;
            EXPECT_EQ(texel & 0xFFFFFF, 0xFFFFFFu) << "glyphs are white";
            if (box.left < 0 || x < box.left) box.left = x;
            box.right = std::max(box.right, x);
            if (box.top < 0) box.top = y;
            box.bottom = y;
        }
    return box;
}

G::Text Colored(std::initializer_list<std::pair<uint32_t, const char*>> parts) {
    G::Text text;
    for (const auto& part : parts) {
        text.AddColor(part.first);
        text += G::Text(part.second);
    }
    return text;
}

}  // namespace

TEST_F(TextRender, FontRecordsAreSharedByPixelHeightNameAndPitch) {
    const std::pair<float, int> heights[] = {{12, 12}, {100, 64}, {3, 5}};
    for (auto [size, height] : heights) EXPECT_EQ(G::FontPixelHeight(size), height) << size;

    G::FontRecord* sixteen = G::FindOrCreateFont("Arial", 16, false);
    ASSERT_NE(sixteen, nullptr);
    EXPECT_EQ(G::FindOrCreateFont("Arial", 20, false), sixteen);
    EXPECT_NE(G::FindOrCreateFont("Arial", 16, true), sixteen);
    EXPECT_NE(G::FindOrCreateFont("arial", 16, false), sixteen); // names compare exactly
    G::FontRecord* unnamed = G::FindOrCreateFont("", 16, false);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->name, "Ariel");
    EXPECT_EQ(G::FindOrCreateFont("Ariel", 16, false), unnamed);
    EXPECT_EQ(sixteen->texture.GetWidth(), 256u);
    EXPECT_EQ(G::FindOrCreateFont("Arial", 100, false)->texture.GetWidth(), 1024u);

    // Requests outside the limits are refused with their messages.
    EXPECT_NE(G::FindOrCreateFont(std::string(31, 'x'), 16, false), nullptr);
    EXPECT_EQ(G::FindOrCreateFont(std::string(32, 'x'), 16, false), nullptr);
    EXPECT_EQ(G::FindOrCreateFont("Arial", 1.9f, false), nullptr);
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(TestUtil::CountOf(log, "Font name too long.  Can be 31 chars max.\n  -call stack:\n"), 1)
        << log;
    EXPECT_EQ(TestUtil::CountOf(log, "Requested font size too small.  Must be at least 2.\n  call stack:\n"), 1);
}

TEST_F(TextRender, GlyphWidthsAndPlacingFollowTheInk) {
    G::FontRecord* font = G::FindOrCreateFont("Arial", 16, false);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->widths[' '], 4); // 16 x 0.3
    for (int code = 0; code < 32; ++code) EXPECT_EQ(font->widths[code], 0) << code;
    EXPECT_FALSE(CellInk(*font, 'A' - 64).Any()) << "control codes have blank cells";
    EXPECT_LT(font->widths['i'], font->widths['W']);
    for (int code : {int('H'), int('W'), int('i'), int('g'), 0xC9}) {
        Box ink = CellInk(*font, code);
        ASSERT_TRUE(ink.Any()) << code;
        EXPECT_EQ(ink.left, 1) << "ink starts in column 1: " << code;
        EXPECT_EQ(font->widths[code], ink.right - ink.left + 2) << code;
    }
    G::FontRecord* fixed = G::FindOrCreateFont("Courier New", 16, true);
    ASSERT_NE(fixed, nullptr);
    for (int code : {int('i'), int('W'), int('.')}) {
        Box ink = CellInk(*fixed, code);
        ASSERT_TRUE(ink.Any()) << code;
        EXPECT_LE(std::abs(ink.left - (15 - ink.right)), 1) << "centred in the cell: " << code;
    }
}

TEST_F(TextRender, TextDrawsGlyphPixelsOfItsColourAtItsPosition) {
    // Red as asked, then light grey by default.
    for (G::Text text : {Colored({{Red, "HHHH"}}), G::Text("HHHH")}) {
        const uint32_t hue = text.GetColorRuns().empty() ? Grey : text.GetColorRuns()[0].color;
        G::Clear(0xFF000000, true, true, false);
        text.SetFont("Arial");
        text.SetPosition(200, 150);
        text.Render();
        Pixels p = ReadPixels(150, 100, 200, 120);
        HueCount count = CountHue(p, 150, 100, 350, 220, hue);
        EXPECT_GT(count.lit, 40);
        EXPECT_EQ(count.wrong, 0) << std::hex << hue;
        Box box = LitBox(p);
        EXPECT_GE(box.left, 200);
        EXPECT_LE(box.right, 201 + 4 * text.GetFont()->widths['H']);
        EXPECT_GE(box.top, 150);
        EXPECT_LE(box.bottom, 166);
    }
}

TEST_F(TextRender, TheBufferIsRebuiltOnlyWhenSomethingChanged) {
    G::Text text("0123456789");
    text.SetPosition(10, 10);
    text.Render();
    EXPECT_EQ(text.GetVertexCount(), 60u);
    EXPECT_EQ(text.GetVertexCapacity(), 6u * 42); // 32 characters of slack
    text.Render();
    text.SetPosition(10, 10); // the same position is no change
    text.Render();
    EXPECT_EQ(text.GetBuildCount(), 1u);
    text.SetPosition(20, 10);
    text.Render();
    text.AddColor(Red);
    text += G::Text(std::string(32, 'x')); // 42 characters: still fits
    text.Render();
    EXPECT_EQ(text.GetVertexCapacity(), 6u * 42);
    text += G::Text("y");
    text.Render();
    EXPECT_EQ(text.GetVertexCapacity(), 6u * (43 + 32));
    text = "short";
    text.Render();
    EXPECT_EQ(text.GetVertexCapacity(), 6u * (43 + 32)) << "never shrinks";
    text.SetFontSize(20); // the same record, but larger quads
    text.Render();
    EXPECT_EQ(text.GetBuildCount(), 6u);
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST_F(TextRender, ATextWithoutAFontDrawsNothingAndMeasuresAsAPoint) {
    G::Text text("Hello");
    text.SetFont(std::string(40, 'n'));
    text.SetPosition(30, 40);
    float left, top, right, bottom;
    text.Measure(left, top, right, bottom);
    EXPECT_EQ(std::vector<float>({left, top, right, bottom}), std::vector<float>({30, 40, 30, 40}));
    text.Render();
    text.Render();
    EXPECT_FALSE(LitBox(ReadPixels(0, 0, 200, 200)).Any());
    // Tried once, not at every draw.
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"), "Font name too long."), 1);
}

TEST_F(TextRender, AssignmentResetsColoursAndATextAppendsToItself) {
    G::Text text = Colored({{Red, "ab"}});
    text = "cd";
    ASSERT_EQ(text.GetColorRuns().size(), 1u);
    EXPECT_EQ(text.GetColorRuns()[0].color, G::DefaultTextColor);
    // Appending a text to itself reads the runs it is changing.
    G::Text twice = Colored({{Red, "ab"}, {Green, "c"}});
    twice += twice;
    EXPECT_EQ(twice.AsText(), "abcabc");
    EXPECT_EQ(twice.GetColorRuns().size(), 4u);
    EXPECT_EQ(twice.GetColorRuns()[3].start, 5u);
}

// --- the text window -------------------------------------------------------

namespace {

G::TextWindow GameWindow(float width = 700) {
    return G::TextWindow(40, 300, width, 250, 60, 16, "Arial", false, 0.5f);
}

}  // namespace

TEST_F(TextRender, TheSixtyFirstEntryDropsTheOldest) {
    G::TextWindow window = GameWindow();
    for (int i = 0; i < 61; ++i) window.AddText(G::Text("entry " + std::to_string(i)));
    ASSERT_EQ(window.GetLineCount(), 60u);
    EXPECT_EQ(window.GetLine(0).text.AsText(), "entry 1");
    EXPECT_EQ(window.GetLine(59).text.AsText(), "entry 60");
    // Newest at the bottom edge; only the lines that overlap the window draw.
    EXPECT_EQ(window.GetLine(59).text.GetY(), 300 + 250 - 16);
    EXPECT_EQ(window.GetLastVisible(), 59);
    EXPECT_EQ(window.GetFirstVisible(), 60 - 16); // 250 / 16 rounded up
    window.Render();
    Box box = LitBox(ReadPixels(0, 0, 800, 600));
    ASSERT_TRUE(box.Any());
    EXPECT_GE(box.top, 300) << "clipped to the window";
    EXPECT_LE(box.bottom, 549);
    EXPECT_GE(box.left, 40);
    EXPECT_GE(box.bottom, 534) << "the newest line sits on the bottom edge";
}

TEST_F(TextRender, EntriesWrapToTheWindowWidthAndAShortStackSitsOnTheBottomEdge) {
    G::TextWindow window = GameWindow(100);
    window.AddText(G::Text("one two three four five six"));
    window.AddText(G::Text("x"));
    const float tall = window.GetLine(0).height;
    EXPECT_GE(tall, 32);
    window.SetScroll(0);  // at any scroll
    EXPECT_EQ(window.GetLine(1).text.GetY(), 534);
    EXPECT_EQ(window.GetLine(0).text.GetY(), 534 - tall);
}

TEST_F(TextRender, ScrollMovesTheStackAsTheExampleSays) {
    // 25 entries of 16 pixels: 400 in a window of 250.
    G::TextWindow window = GameWindow();
    window.AddText(G::Text("OLDEST"));
    for (int i = 1; i < 24; ++i) window.AddText(G::Text("."));
    window.AddText(G::Text("NEWEST"));
    auto top = [&](size_t i) { return window.GetLine(i).text.GetY(); };
    EXPECT_EQ(window.GetScroll(), 1);
    EXPECT_EQ(top(24) + 16, 550);
    window.SetScroll(0);
    EXPECT_EQ(top(0), 300);
    EXPECT_EQ(window.GetFirstVisible(), 0);
    window.SetScroll(0.5f);
    EXPECT_EQ(top(24) + 16, 550 + 75);
    EXPECT_EQ(top(0), 300 - 75);
    window.SetScroll(-1);
    EXPECT_EQ(window.GetScroll(), 0);
    window.Render();
    Box oldest = LitBox(ReadPixels(40, 300, 700, 16));
    EXPECT_GT(oldest.right - oldest.left, 40) << "the oldest entry drawn at the top edge";
    window.SetScroll(7);
    EXPECT_EQ(window.GetScroll(), 1);
}

// Sixteen rows of 16 pixels reach past the 250 of the window: the most it can show.
TEST_F(TextRender, AnEntryTallerThanTheWindowKeepsTheRowsTheWindowShows) {
    G::TextWindow window = GameWindow();
    G::Text tall("word ");
    for (int i = 0; i < 15; ++i) tall += tall;  // 160 KB of words
    tall.AddColor(Blue);
    tall += G::Text("tail");
    window.AddText(tall);
    window.AddText(G::Text(std::string(100000, '\x02')));  // characters that take no room
    G::Text& kept = window.GetLine(0).text;
    EXPECT_EQ(window.GetLine(0).height, 16 * 16);
    EXPECT_LT(kept.AsText().size(), 16u * 700 / 5);
    EXPECT_TRUE(kept.GetColorRuns().empty()) << "the run of the cut tail goes with it";
    EXPECT_EQ(window.GetLine(1).text.AsText().size(), 16u * 700);
}

// --- the frame-rate text ---------------------------------------------------

namespace {

class BlueScene : public Scene {
public:
    void Update(float) override {}
    void Draw() override { G::DrawRect(0, 0, 800, 600, Blue, Blue, Blue, Blue); }
    std::string GetName() override { return "BlueScene"; }
};

}  // namespace

TEST_F(TextRender, TheFrameRateTextIsDrawnAtFiveFiveOverTheScene) {
    SceneManager::AddScene(new2(BlueScene, BlueScene()));
    SceneManager::Update(0.5f);
    SceneManager::Update(0.25f);
    ASSERT_EQ(SceneManager::FpsLabel(), "FPS: 1"); // (2 + 4) / 5
    SceneManager::Draw();
    Pixels corner = ReadPixels(0, 0, 60, 30);
    EXPECT_GT(std::count_if(corner.data.begin(), corner.data.end(), [](uint32_t c) { return RedOf(c) > 150; }), 20)
        << "light grey over the blue scene";
    EXPECT_EQ(RedOf(corner.At(2, 2)), 0) << "nothing before (5, 5)";
    EXPECT_EQ(ReadPixel(400, 300), 0xFF0000u) << "the scene itself was drawn";
    SceneManager::ShutdownScenes();
}

// Runs last in this program: it shuts the device down and starts it again.
TEST_F(TextRender, ZZShutdownReleasesFontsAndTextsFindNewOnes) {
    G::Text text("after");
    text.Render();
    ASSERT_NE(text.GetFont(), nullptr);
    const size_t count = G::FontCount();
    ASSERT_GT(count, 0u);
    TestUtil::ClearLog("_stat.txt");
    G::FreeTextResources();
    G::Shutdown();
    EXPECT_EQ(G::FontCount(), 0u);
    EXPECT_NE(TestUtil::ReadFile("_stat.txt")
                  .find("Font textures generated: " + std::to_string(count) + "\n\n"),
              std::string::npos);
    G::Setup setup;
    ASSERT_TRUE(G::Init(Platform::MainWindow(), &setup));
    // The old text must not read the released record: it finds a new one.
    float left, top, right, bottom;
    text.Measure(left, top, right, bottom);
    EXPECT_EQ(G::FontCount(), 1u);
    const int* widths = G::FindOrCreateFont("", 16, false)->widths;
    EXPECT_EQ(text.GetFont()->widths, widths);
    EXPECT_EQ(right, float(widths['a'] + widths['f'] + widths['t'] + widths['e'] + widths['r']));
    G::Set2D();
    G::Clear(0xFF000000, true, true, false);
    G::Text fresh("after");
    fresh.Render();
    EXPECT_TRUE(LitBox(ReadPixels(0, 0, 100, 30)).Any());
}

// After the suite above has shut the device down.
TEST(TextWithoutDevice, FontsAreRefusedAndTextsDrawNothing) {
    TestUtil::ClearLog("_error.txt");
    EXPECT_EQ(G::FindOrCreateFont("Arial", 16, false), nullptr);
    {
        G::Text text("no device");
        text.Render();
        EXPECT_EQ(text.GetFont(), nullptr);
        EXPECT_EQ(text.GetVertexCount(), 0u);
    }
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_NE(log.find("Font texture creation failed.\n  -call stack:\n"), std::string::npos) << log;
    EXPECT_NE(log.find("BAD: a G::Text is being destructed, but graphics is not inited...\n  -call stack:\n"),
              std::string::npos);
    EXPECT_EQ(G::FontCount(), 0u);
}
