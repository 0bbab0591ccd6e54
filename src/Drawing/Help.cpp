// The help box: every key of the screen in a few lines, so that nobody has to remember
// the explanation shown once. Drawn into the back buffer like the pause box; what it
// covers comes back with the next frame (or is drawn again by the screen's owner).
#include "Drawing/Help.hpp"

#include <iterator>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Drawing {

namespace {

constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Yellow = 0x40E0FF;  // 0x00BBGGRR: the headings
constexpr std::int32_t Margin = 16;
constexpr std::int32_t TitleHeight = 26;
constexpr std::int32_t LineHeight = 17;

struct Line {
    const char* text;  // Dutch; Console::Tr gives the player's language
    bool heading;
};

// English beside each line is what the catalogs are meant to say.
const Line GameLines[] = {
    {Console::TrLater("Pijl links / rechts: snelheid lager / hoger"), false},  // Left / Right arrow: speed down / up
    {Console::TrLater("Pijl omhoog / omlaag: hoek groter / kleiner"), false},  // Up / Down arrow: angle up / down
    {Console::TrLater("Shift + pijl: fijn richten, een stap per druk"),
     false},                                        // Shift + arrow: fine aim, one step a press
    {Console::TrLater("Spatie: lanceren"), false},  // Space: launch
    {Console::TrLater("End of R: opnieuw, ook als de raket in de ruimte verdwaalt"),
     false},  // End or R: again, also when the rocket is lost in space
    {Console::TrLater("P: pauze   M: geluid aan/uit   F11: volledig scherm"),
     false},                                                             // P: pause  M: sound on/off  F11: full screen
    {Console::TrLater("Esc: spel stoppen (je score telt)"), false},      // Esc: stop the game (your score counts)
    {Console::TrLater("Muren en planeten"), true},                       // Walls and planets
    {Console::TrLater("Blauw kaatst terug, rood is dodelijk."), false},  // Blue bounces you back, red is deadly.
    {Console::TrLater("Een muur met een veld trekt of duwt zoals een planeet,"),
     false},                                                    // A wall with a field pulls or pushes like a planet,
    {Console::TrLater("vanuit zijn hoek linksonder."), false},  // from its lower left corner.
    {Console::TrLater("Gamepad"), true},                        // Gamepad
    {Console::TrLater("Kruis of linkerstick: richten (stick een beetje: fijn)"),
     false},  // D-pad or left stick: aim (stick a little: fine)
    {Console::TrLater("A, X of RB: lanceren   B: stoppen (vasthouden)   Y: hulp"),
     false},                                                      // A, X or RB: launch  B: stop (hold it)  Y: help
    {Console::TrLater("Start: pauze   Select: opnieuw"), false},  // Start: pause  Select: again
    {Console::TrLater("F1 of ?: hulp sluiten en verder spelen"), true},  // F1 or ?: close the help and play on
};

const Line MenuLines[] = {
    {Console::TrLater("Tab of pijl rechts: volgende knop"), false},     // Tab or Right arrow: next button
    {Console::TrLater("Shift+Tab of pijl links: vorige knop"), false},  // Shift+Tab or Left arrow: previous button
    {Console::TrLater("Enter of spatie: de knop kiezen"), false},       // Return or Space: press the button
    {Console::TrLater("Esc: afsluiten   M: geluid aan/uit"), false},    // Esc: exit  M: sound on/off
    {Console::TrLater("L: andere taal   S: levels kiezen"), false},     // L: another language  S: choose a level
    {Console::TrLater("F11 of Alt+Enter: volledig scherm"), false},     // F11 or Alt+Enter: full screen
    {Console::TrLater("Speluitleg: na een seconde overslaan met spatie of Enter"),
     false},  // Explanation: skip with Space or Return after a second
    {Console::TrLater("Gamepad: kruis links/rechts kiest, A drukt, B sluit af"),
     false},                                                    // Gamepad: D-pad left/right chooses, A presses, B exits
    {Console::TrLater("Gamepad: Select kiest levels"), false},  // Gamepad: Select chooses a level
    {Console::TrLater("In het spel: F1 of ? toont de toetsen"), false},  // In the game: F1 or ? shows the keys
    {Console::TrLater("Een toets sluit deze hulp"), true},               // A key closes this help
};

// Added to the game's lines on a level whose bodies move.
const Line MovingLine = {Console::TrLater("Bewegende lichamen: R zet ze terug met je richting, dan spatie"),
                         true};  // Moving bodies: R puts them back with your aim, then Space

const Line SelectLines[] = {
    {Console::TrLater("Pijlen: een level kiezen; pijl links: naar de sets"),
     false},  // Arrows: choose a level; Left arrow: to the sets
    {Console::TrLater("Tab, Page Up / Page Down: volgende / vorige set"),
     false},  // Tab, Page Up / Down: next / previous set
    {Console::TrLater("Enter of spatie: spelen, daarna de rest van de set"),
     false},  // Return or Space: play, then the rest of the set
    {Console::TrLater("Muis: klik kiest, nog een klik speelt, wiel schuift"),
     false},  // Mouse: a click chooses, another plays, the wheel scrolls
    {Console::TrLater("Gamepad: kruis kiest, A speelt, B terug"), false},  // Gamepad: D-pad chooses, A plays, B back
    {Console::TrLater("Een vinkje: dat level heb je gewonnen"), false},    // A tick: you have won that level
    {Console::TrLater("Vanaf het eerste level telt je score in de set"),
     false},  // From the first level your score counts in the set's table
    {Console::TrLater("Een levelbestand op het venster slepen speelt het"),
     false},                                                // Dropping a level file on the window plays it
    {Console::TrLater("Esc: terug naar het menu"), false},  // Esc: back to the menu
    {Console::TrLater("Een toets sluit deze hulp"), true},  // A key closes this help
};

const Line EndLines[] = {
    {Console::TrLater("Spatie of Esc: terug naar het menu"), false},    // Space or Esc: back to the menu
    {Console::TrLater("Gamepad: A of B: terug naar het menu"), false},  // Gamepad: A or B: back to the menu
    {Console::TrLater("F11: volledig scherm"), false},                  // F11: full screen
    {Console::TrLater("F1 of ?: hulp sluiten"), true},                  // F1 or ?: close the help
};

struct Page {
    const char* title;
    const Line* lines;
    std::int32_t count;
    detail::HelpBox box;
};

std::int32_t Height(std::int32_t lines) { return 2 * Margin + TitleHeight + lines * LineHeight; }

Page PageOf(HelpScreen screen)
{
    switch (screen) {
        case HelpScreen::Menu: {
            constexpr auto n = static_cast<std::int32_t>(std::size(MenuLines));
            // Between the title and the buttons (y 450), which the window layer draws on top.
            return {
                Console::TrLater("Hulp: het menu"), MenuLines, n, {150, 90, 650, 90 + Height(n)}};  // Help: the menu
        }
        case HelpScreen::EndScreen: {
            constexpr auto n = static_cast<std::int32_t>(std::size(EndLines));
            return {Console::TrLater("Hulp: einde van het spel"),
                    EndLines,
                    n,
                    {262, 250, 762, 250 + Height(n)}};  // Help: end of the game
        }
        case HelpScreen::Select: {
            constexpr auto n = static_cast<std::int32_t>(std::size(SelectLines));
            return {Console::TrLater("Hulp: levels kiezen"),
                    SelectLines,
                    n,
                    {150, 80, 650, 80 + Height(n)}};  // Help: choosing a level
        }
        case HelpScreen::Game:
        default: {
            constexpr auto n = static_cast<std::int32_t>(std::size(GameLines));
            return {Console::TrLater("Hulp: de toetsen"),
                    GameLines,
                    n,
                    {212, 150, 812, 150 + Height(n)}};  // Help: the keys
        }
    }
}

}  // namespace

void DrawHelp(HelpScreen screen, bool movingBodies)
{
    const Page page = PageOf(screen);
    const bool moving = movingBodies && screen == HelpScreen::Game;
    detail::HelpBox b = page.box;
    if (moving) b.bottom += LineHeight;
    Wimdows::Rectangle(b.left, b.top, b.right, b.bottom, detail::PauseBoxColor, true);
    Wimdows::Rectangle(b.left, b.top, b.right, b.bottom, White, false);
    Wimdows::SetFont(1, White);
    Wimdows::Text(Console::Tr(page.title), b.left + Margin, b.top + Margin);
    std::int32_t y = b.top + Margin + TitleHeight;
    for (std::int32_t i = 0; i < page.count; ++i) {
        const Line& line = page.lines[i];
        Wimdows::SetFont(line.heading ? 1 : 3, line.heading ? Yellow : White);
        Wimdows::Text(Console::Tr(line.text), b.left + Margin, y);
        y += LineHeight;
        if (moving && i == page.count - 2) {  // before the closing line
            Wimdows::SetFont(1, Yellow);
            Wimdows::Text(Console::Tr(MovingLine.text), b.left + Margin, y);
            y += LineHeight;
        }
    }
    Wimdows::SetFont(0, 0);
    Wimdows::UpdateWindow();
}

namespace detail {

HelpBox HelpBoxOf(HelpScreen screen) { return PageOf(screen).box; }

}  // namespace detail

}  // namespace Drawing
