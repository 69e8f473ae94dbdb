#include "watch/keeper_status.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace {

const char* HoldingWord(Holding holding) {
    switch (holding) {
        case Holding::On:
            return "on";
        case Holding::HeldOff:
            return "held off";
        case Holding::Off:
            return "off";
    }
    return "on";
}

std::optional<Holding> HoldingFrom(const std::string& word) {
    for (Holding holding : {Holding::On, Holding::HeldOff, Holding::Off}) {
        if (word == HoldingWord(holding)) return holding;
    }
    return std::nullopt;
}

// Values stay on their line: a line end inside one would start another entry.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

std::string StateFileText(const SavedKeeperState& saved) {
    const KeeperState& state = saved.state;
    std::string text = "camera=" + OneLine(state.camera) + "\n";
    text += "outcome=" +
            (state.lastOutcome ? std::to_string(static_cast<int>(*state.lastOutcome)) : "-") + "\n";
    text += "text=" + OneLine(state.lastText) + "\n";
    text += "at=" + OneLine(saved.at) + "\n";
    text += std::string("holding=") + HoldingWord(state.holding) + "\n";
    return text;
}

std::optional<SavedKeeperState> ParseStateFile(const std::string& text) {
    SavedKeeperState saved;
    bool haveOutcome = false, haveHolding = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (name == "camera") {
            saved.state.camera = value;
        } else if (name == "text") {
            saved.state.lastText = value;
        } else if (name == "at") {
            saved.at = value;
        } else if (name == "holding") {
            std::optional<Holding> holding = HoldingFrom(value);
            if (!holding) return std::nullopt;
            saved.state.holding = *holding;
            haveHolding = true;
        } else if (name == "outcome") {
            haveOutcome = true;
            if (value == "-") continue;
            if (value == "0" || value == "2" || value == "3" || value == "4") {
                saved.state.lastOutcome = static_cast<AutosetExitCode>(value[0] - '0');
            } else {
                return std::nullopt;
            }
        }
    }
    if (!haveOutcome || !haveHolding) return std::nullopt;
    return saved;
}

bool ReplaceFileWith(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        // A platform whose rename does not replace: the old file goes first.
        std::filesystem::remove(path, error);
        std::filesystem::rename(temporary, path, error);
    }
    return !error;
}

KeeperStatus StatusFor(const std::optional<SavedKeeperState>& saved, bool running) {
    if (!saved) return {"camzoom watch: never ran for this user", 2};
    const KeeperState& state = saved->state;
    std::string line = std::string("camzoom watch: ") + (running ? "running" : "not running");
    if (!state.camera.empty()) line += "; camera " + state.camera;
    if (saved->at.empty()) {
        line += "; no check yet";
    } else {
        line += "; last check " + saved->at + ": " + state.lastText;
    }
    line += std::string("; holding ") + HoldingWord(state.holding);
    const bool applied = state.lastOutcome == AutosetExitCode::Applied;
    return {line, running && applied ? 0 : 1};
}
