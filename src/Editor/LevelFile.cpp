// The editor's level files: read and written by the level's own reader and writer.
#include <cstdio>
#include <filesystem>

#include "Console/Console.hpp"
#include "Editor/Editor.hpp"
#include "Files/Files.hpp"

namespace Editor {

Level::Report ReadLevel(const std::string& path, Level::File& level)
{
    const Level::Report report = Level::Read(path, level, &Level::PrintNotes);
    std::fflush(stdout);
    if (!report.opened) level = NewLevel();
    return report;
}

std::string Summary(const Level::Report& report)
{
    if (!report.opened) {
        std::string text = Console::Tr("Bestand niet gelezen: een nieuw level");
        if (!report.notes.empty() && report.failure != Level::Why::FileMissing)
            text += " (" + Level::Describe(report.notes.front()) + ")";
        return text;
    }
    std::string text;
    const auto add = [&](const std::string& part) {
        if (!text.empty()) text += "; ";
        text += part;
    };
    if (report.badLines > 0)
        add(std::to_string(report.badLines) + " " + Console::Tr("regel(s) niet begrepen en overgeslagen"));
    if (report.badNumbers > 0)
        add(std::to_string(report.badNumbers) + " " + Console::Tr("waarde(n) geen getal en niet gezet"));
    if (report.tooManySections) add(Console::Tr("lichamen na het 101ste overgeslagen"));
    // The first line the reader did not take, by its number.
    for (const Level::Note& note : report.notes) {
        if (note.line > 0 && note.why != Level::Why::TooManyBodies) {
            add(Level::Describe(note));
            break;
        }
    }
    if (report.tooFewSections) add(Console::Tr("minder dan twee lichamen: zwart gat of raket ontbreekt"));
    return text;
}

bool WriteLevel(const std::string& path, const Level::File& level, std::string& error)
{
    Files::SaveFailure failure;
    if (Files::Save(path, Level::Text(level), failure)) return true;
    const bool notAFile = failure.step == Files::SaveFailure::Step::Target &&
                          failure.reason.find("not a regular file") != std::string::npos;
    error = notAFile ? Console::Tr("geen gewoon bestand") : failure.reason;
    return false;
}

Level::File NewLevel()
{
    Level::File level;
    Level::Section hole;
    hole.body.Position = {350.0f, 0.0f};
    hole.body.Dimension = {50.0f, 0.0f};
    hole.comments = {"* The black hole"};
    Level::Section rocket;
    rocket.body.Position = {-380.0f, 0.0f};
    rocket.body.Dimension = {12.0f, 0.0f};
    rocket.body.Mass = 1.0f;
    rocket.comments = {"* The rocket"};
    level.sections = {hole, rocket};
    return level;
}

}  // namespace Editor
