// Scene rendering: loads the pictures of a level, draws one frame of play with its
// head-up display and rocket arrows, and the screen shown when a game is over.
#include "Drawing/Drawing.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "Level/Geometry.hpp"
#include "Path/Path.hpp"
#include "Physics/Physics.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Drawing {

using namespace detail;

namespace {

constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Black = 0;

// Pictures shared by every level; valid from LoadGraph to UnloadGraph.
std::uint32_t Background = 0;
std::uint32_t menu = 0;
std::uint32_t pijl_linksboven = 0, pijl_linksboven_mask = 0;
std::uint32_t pijl_links = 0, pijl_links_mask = 0;
std::uint32_t pijl_linksonder = 0, pijl_linksonder_mask = 0;
std::uint32_t pijl_boven = 0, pijl_boven_mask = 0;
std::uint32_t pijl_onder = 0, pijl_onder_mask = 0;
std::uint32_t pijl_rechtsboven = 0, pijl_rechtsboven_mask = 0;
std::uint32_t pijl_rechts = 0, pijl_rechts_mask = 0;
std::uint32_t pijl_rechtsonder = 0, pijl_rechtsonder_mask = 0;

struct ArrowHandles {
    std::uint32_t* image;
    std::uint32_t* mask;
};
// In the order of the Arrow enumeration, which is the order of loading.
const ArrowHandles pijl[ArrowCount] = {
    {&pijl_linksboven, &pijl_linksboven_mask}, {&pijl_links, &pijl_links_mask},
    {&pijl_linksonder, &pijl_linksonder_mask}, {&pijl_boven, &pijl_boven_mask},
    {&pijl_onder, &pijl_onder_mask},           {&pijl_rechtsboven, &pijl_rechtsboven_mask},
    {&pijl_rechts, &pijl_rechts_mask},         {&pijl_rechtsonder, &pijl_rechtsonder_mask},
};

// The bodies' pictures: every picture loaded for a body now, and which one each body shows.
struct BodyPicture {
    const char* image;  // the file, as ChoosePicture names it
    std::int64_t width;
    std::int64_t height;
    std::uint32_t handle;
    std::uint32_t mask;
};
std::vector<BodyPicture> loaded;
// Index into `loaded` per body; -1: no picture.
std::array<std::int32_t, Level::TableLength> shown = [] {
    std::array<std::int32_t, Level::TableLength> none{};
    none.fill(-1);
    return none;
}();
// A long session of resizing in the editor keeps no more pictures than this.
constexpr std::size_t MostPictures = 256;

std::int32_t LoadBodyPicture(const PictureChoice& p)
{
    const auto w = static_cast<std::uint32_t>(p.width);
    const auto h = static_cast<std::uint32_t>(p.height);
    loaded.push_back(
        {p.image, p.width, p.height, Wimdows::LoadBitmap(p.image, w, h), Wimdows::LoadBitmap(p.mask, w, h)});
    return static_cast<std::int32_t>(loaded.size() - 1);
}

void ReleaseBodyPictures()
{
    for (BodyPicture& p : loaded) {
        Wimdows::DestroyBitmap(p.handle);
        Wimdows::DestroyBitmap(p.mask);
    }
    loaded.clear();
    shown.fill(-1);
}

bool RecordingPath = false;
// The note over the next frames and how many frames it still stays.
const char* NoteText = nullptr;
std::uint32_t NoteFrames = 0;
bool Initialised = false;
Overlay overlayHook = nullptr;

// The table ends at index 100, whatever N says.
std::uint32_t LastBody(std::uint32_t N) { return std::min<std::uint32_t>(N, Level::TableLength - 1); }

void Release(std::uint32_t& handle)
{
    Wimdows::DestroyBitmap(handle);
    handle = 0;
}

using Console::Tr;

// A head-up display label: the game's own Latin-1 text (the degree sign), or its translation.
const char* Label(const char* latin1, const char* key)
{
    const char* text = Tr(key);
    return text == key ? latin1 : text;
}

void Menu(float huidige_hoek, float huidige_snelheid, float vorige_hoek, float vorige_snelheid)
{
    const std::int32_t hoek = Degrees(huidige_hoek);
    const std::int32_t vorigeHoek = Degrees(vorige_hoek);
    const std::int32_t snelheid = RealToInt(huidige_snelheid);
    const std::int32_t vorigeSnelheid = RealToInt(vorige_snelheid);

    Wimdows::DrawBitmap(menu, MenuPlace.x, MenuPlace.y);
    Wimdows::SetFont(0, Black);
    Wimdows::Text(Label(CurrentAngleText, "Huidige Hoek (\xC2\xB0)"), HudCurrentAngleLabel.x, HudCurrentAngleLabel.y);
    Wimdows::TextInt(hoek, HudCurrentAngle.x, HudCurrentAngle.y);
    Wimdows::Text(Label(PreviousAngleText, "Vorige Hoek (\xC2\xB0)"), HudPreviousAngleLabel.x, HudPreviousAngleLabel.y);
    Wimdows::TextInt(vorigeHoek, HudPreviousAngle.x, HudPreviousAngle.y);
    Wimdows::Text(Label(CurrentSpeedText, "Huidige Snelheid"), HudCurrentSpeedLabel.x, HudCurrentSpeedLabel.y);
    Wimdows::TextInt(snelheid, HudCurrentSpeed.x, HudCurrentSpeed.y);
    Wimdows::Text(Label(PreviousSpeedText, "Vorige Snelheid"), HudPreviousSpeedLabel.x, HudPreviousSpeedLabel.y);
    Wimdows::TextInt(vorigeSnelheid, HudPreviousSpeed.x, HudPreviousSpeed.y);
}

// Level and score are shown as the window layer's signed numbers.
std::int32_t Shown(std::uint32_t v) { return static_cast<std::int32_t>(std::min<std::uint32_t>(v, 2147483647u)); }

void TekenLevel(std::uint32_t Level)
{
    Wimdows::SetFont(0, White);
    Wimdows::Text(Tr("Level"), LevelLabel.x, LevelLabel.y);
    Wimdows::TextInt(Shown(Level), LevelNumber.x, LevelNumber.y);
}

void TekenScore(std::uint32_t Score)
{
    Wimdows::SetFont(0, White);
    Wimdows::Text(Tr("Score"), ScoreLabel.x, ScoreLabel.y);
    Wimdows::TextInt(Shown(Score), ScoreNumber.x, ScoreNumber.y);
}

void DrawPath()
{
    if (!Path::Exists()) {
        return;
    }
    Wimdows::HPEN pen = Wimdows::CreatePen(2, 0, Black);
    Wimdows::SelectPen(pen);
    Path::GoToFirstPoint();
    Wimdows::MovePenTo(Path::X(), Path::Y());
    do {
        Path::GoToNextPoint();
        Wimdows::LineTo(Path::X(), Path::Y());
    } while (!Path::End());
    Wimdows::DeletePen(pen);
}

void RaketBuitenScherm(const Level::OBJECT& raket)
{
    Wimdows::SetFont(0, White);
    const OffScreenArrow a = ArrowForRocket(raket.Position);
    if (a.arrow == ArrowNone) {
        return;
    }
    Wimdows::DrawMaskBitmap(*pijl[a.arrow].image, *pijl[a.arrow].mask, a.ax, a.ay);
    Wimdows::TextInt(a.distance, a.tx, a.ty);
}

void TekenPijl(const Level::OBJECT& Object, float Hoek, float Grootte)
{
    const AimingArrow a = AimArrow(Object.Position, Hoek, Grootte);
    Wimdows::Line(a.centre.x, a.centre.y, a.tip.x, a.tip.y, White);
    Wimdows::Line(a.tip.x, a.tip.y, a.head1.x, a.head1.y, White);
    Wimdows::Line(a.tip.x, a.tip.y, a.head2.x, a.head2.y, White);
}

}  // namespace

void LoadWindow() { Wimdows::Window("The KOR Dudurad", WindowWidth, WindowHeight); }

void LoadGraph(const Level::ObjectTable& Objects, std::uint32_t N)
{
    Wimdows::SetBuffering(true);
    Background = Wimdows::LoadBitmap(BackgroundFile, WindowWidth, WindowHeight);
    ReleaseBodyPictures();
    for (std::uint32_t i = 0; i <= LastBody(N); ++i) {
        const PictureChoice p = ChoosePicture(i, Objects[i]);
        if (p.Loadable()) {  // a negative size: no picture rather than a huge one
            shown[i] = LoadBodyPicture(p);
        }
    }
    for (int a = 0; a < ArrowCount; ++a) {
        const ArrowFiles& f = ArrowPictures[a];
        *pijl[a].image = Wimdows::LoadBitmap(f.image, f.width, f.height);
        *pijl[a].mask = Wimdows::LoadBitmap(f.mask, f.width, f.height);
    }
    menu = Wimdows::LoadBitmap(MenuFile, MenuWidth, MenuHeight);
}

void RefreshPictures(const Level::ObjectTable& Objects, std::uint32_t N)
{
    if (loaded.size() + LastBody(N) + 1 > MostPictures) {
        ReleaseBodyPictures();  // start afresh: the bodies load theirs again below
    }
    for (std::uint32_t i = 0; i < Level::TableLength; ++i) {
        if (i > LastBody(N)) {
            shown[i] = -1;
            continue;
        }
        const PictureChoice p = ChoosePicture(i, Objects[i]);
        shown[i] = -1;
        if (!p.Loadable() || p.width > 4 * WindowWidth || p.height > 4 * WindowWidth) {
            continue;
        }
        for (std::size_t k = 0; k < loaded.size(); ++k) {
            const BodyPicture& b = loaded[k];
            if (b.image == p.image && b.width == p.width && b.height == p.height) {
                shown[i] = static_cast<std::int32_t>(k);
                break;
            }
        }
        if (shown[i] < 0) {
            shown[i] = LoadBodyPicture(p);
        }
    }
}

void UnloadGraph()
{
    ReleaseBodyPictures();
    Release(Background);
    for (Arrow a : {ArrowLinksBoven, ArrowRechtsBoven, ArrowBoven, ArrowLinksOnder, ArrowLinks, ArrowOnder,
                    ArrowRechtsOnder, ArrowRechts}) {
        Release(*pijl[a].image);
        Release(*pijl[a].mask);
    }
    Release(menu);
}

void Draw(const Level::ObjectTable& Objects, std::uint32_t N, std::uint32_t Level, std::uint32_t Score, float Angle,
          float Speed, float PreviousAngle, float PreviousSpeed)
{
    Wimdows::ClearScreen();
    Wimdows::DrawBitmap(Background, 0, 0);
    const Level::OBJECT& raket = Objects[1];
    if (RecordingPath) {
        Path::Add(GetX(raket.Position.x), GetY(raket.Position.y));
    }
    DrawPath();
    for (std::uint32_t i = 0; i <= LastBody(N); ++i) {
        if (shown[i] < 0) {
            continue;
        }
        const BodyPicture& picture = loaded[static_cast<std::size_t>(shown[i])];
        const Level::Extents box = Level::ExtentsOf(Objects[i]);
        Wimdows::DrawMaskBitmap(picture.handle, picture.mask, GetX(box.left), GetY(box.top));
    }
    Menu(Angle, Speed, PreviousAngle, PreviousSpeed);
    TekenLevel(Level);
    TekenScore(Score);
    RaketBuitenScherm(raket);
    if (raket.Mass == 0.0f) {
        TekenPijl(raket, Angle, Speed);
    }
    if (NoteFrames > 0 && NoteText != nullptr) {
        --NoteFrames;
        Wimdows::SetFont(1, White);
        Wimdows::Text(Tr(NoteText), NotePlace.x, NotePlace.y);
    }
    if (overlayHook != nullptr) {
        overlayHook();
    }
    Wimdows::UpdateWindow();
}

void SetOverlay(Overlay overlay) { overlayHook = overlay; }

void DrawPaused()
{
    Wimdows::Rectangle(PauseBoxTopLeft.x, PauseBoxTopLeft.y, PauseBoxBottomRight.x, PauseBoxBottomRight.y,
                       PauseBoxColor, true);
    Wimdows::Rectangle(PauseBoxTopLeft.x, PauseBoxTopLeft.y, PauseBoxBottomRight.x, PauseBoxBottomRight.y, White,
                       false);
    Wimdows::SetFont(1, White);
    Wimdows::Text(Tr("Pauze"), PauseText.x, PauseText.y);
    Wimdows::SetFont(0, White);
    Wimdows::Text(Tr("P: verder spelen   Esc: stoppen"), PauseHintText.x, PauseHintText.y);
    Wimdows::UpdateWindow();
}

void ShowNote(const char* text, std::uint32_t frames)
{
    NoteText = text;
    NoteFrames = text != nullptr ? frames : 0;
}

void RestartRecordingPath()
{
    RecordingPath = true;
    Path::Clear();
}

void StopRecordingPath() { RecordingPath = false; }

void ClearPath() { Path::Clear(); }

void SchermLevelGedaan(bool quit, bool win, std::int32_t YourScore, std::span<const std::int32_t> HighScores)
{
    SchermLevelGedaan(quit, win, YourScore, HighScores, 0);
}

void SchermLevelGedaan(bool quit, bool win, std::int32_t YourScore, std::span<const std::int32_t> HighScores,
                       std::uint32_t FirstLevel)
{
    const std::uint32_t scherm = Wimdows::LoadBitmap(EndScreenFile(quit, win), WindowWidth, WindowHeight);
    Wimdows::DrawBitmap(scherm, 0, 0);
    Wimdows::DestroyBitmap(scherm);
    Wimdows::SetFont(0, White);
    Wimdows::Text(Tr("Highscores"), HighscoresLabel.x, HighscoresLabel.y);
    std::int32_t y = HighScoreTop;
    for (const std::int32_t score : HighScores) {
        Wimdows::TextInt(score, HighScoreX, y);
        y += HighScoreRow;
    }
    Wimdows::Text(Tr("Your score"), YourScoreLabel.x, YourScoreLabel.y);
    Wimdows::TextInt(YourScore, YourScoreNumber.x, YourScoreNumber.y);
    if (FirstLevel > 0) {
        char remark[96];
        std::snprintf(remark, sizeof remark, Tr("Vanaf level %u: niet in de highscores"),
                      static_cast<unsigned>(FirstLevel));
        Wimdows::Text(remark, NotInTableText.x, NotInTableText.y);
    }
    Wimdows::UpdateWindow();
}

void ScoreNotSaved()
{
    Wimdows::SetFont(0, White);
    Wimdows::Text(Console::Tr("Je score kon niet bewaard worden"), NotInTableText.x, NotInTableText.y);
    Wimdows::UpdateWindow();
}

void EndScreenRemark(const char* text)
{
    Wimdows::SetFont(0, White);
    Wimdows::Text(text, NotInTableText.x, NotInTableText.y);
    Wimdows::UpdateWindow();
}

void PlayTestEnd(TestResult result)
{
    const char* title = nullptr;
    switch (result) {
        case TestResult::Won:
            title = Tr("Test gewonnen: de raket is thuis");
            break;
        case TestResult::Lost:
            title = Tr("Test verloren");
            break;
        case TestResult::Stopped:
            title = Tr("Test gestopt");
            break;
    }
    const TextPlace& a = PlayTestBoxTopLeft;
    const TextPlace& b = PlayTestBoxBottomRight;
    Wimdows::Rectangle(a.x, a.y, b.x, b.y, PauseBoxColor, true);
    Wimdows::Rectangle(a.x, a.y, b.x, b.y, White, false);
    Wimdows::SetFont(1, White);
    Wimdows::Text(title, a.x + 40, a.y + 50);
    Wimdows::SetFont(0, White);
    Wimdows::Text(Tr("Spatie of Esc: terug naar de editor"), a.x + 40, a.y + 110);
    Wimdows::UpdateWindow();
}

void Init()
{
    if (Initialised) {
        return;
    }
    Initialised = true;
    Wimdows::Init();
    Path::Init();
    Physics::Init();
}

namespace detail {

Handles CurrentHandles()
{
    Handles h;
    h.Background = Background;
    h.menu = menu;
    for (std::size_t i = 0; i < Level::TableLength; ++i) {
        if (shown[i] >= 0) {
            const BodyPicture& p = loaded[static_cast<std::size_t>(shown[i])];
            h.body[i] = {p.handle, p.mask};
        }
    }
    for (int a = 0; a < ArrowCount; ++a) {
        h.arrow[a] = *pijl[a].image;
        h.arrowMask[a] = *pijl[a].mask;
    }
    h.recordingPath = RecordingPath;
    return h;
}

}  // namespace detail

}  // namespace Drawing
