// Reads every include of src/ and tools/ and holds it against the floors below: a file may
// include its own folder and folders on lower floors, never a folder on its own floor or
// above, so the tree shows what may call what.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QUORV_SOURCE_DIR;

// Floors, bottom first. Folders on one floor may not include each other.
const std::map<std::string, int> kFloors{
    {"src/base", 0},
    {"src/store/processing", 1},
    {"src/store", 2},
    {"src/system", 2},
    {"src/core", 3},
    {"src/gui/widgets", 4},
    {"src/gui/frame", 5},
    {"src/gui/dialogs", 6},
    {"src/gui/main", 7},
    // Programs over core and system: netsh lends ipconfig its resolver and device
    // readers, and no program reaches a window.
    {"tools/netsh", 4},
    {"tools/store", 4},
    {"tools/cli", 4},
    {"tools/ipconfig", 5},
};

struct Include {
    fs::path file;
    int line = 0;
    std::string target;
};

std::optional<std::string> FolderOf(const fs::path& file) {
    fs::path relative = fs::relative(file, kRoot).parent_path();
    for (fs::path folder = relative; !folder.empty(); folder = folder.parent_path()) {
        if (kFloors.count(folder.generic_string()) != 0) {
            return folder.generic_string();
        }
    }
    return std::nullopt;
}

// The folder an include names: "store/X.h" is under src/, "netsh/X.h" under tools/; a bare
// name is the including file's own folder.
std::optional<std::string> FolderOfInclude(const Include& include) {
    if (include.target.find('/') == std::string::npos) {
        return FolderOf(include.file);
    }
    for (const char* base : {"src", "tools"}) {
        fs::path candidate = kRoot / base / include.target;
        if (fs::exists(candidate)) {
            return FolderOf(candidate);
        }
    }
    return std::nullopt;
}

std::vector<Include> ReadIncludes() {
    static const std::regex kInclude(R"(^\s*#\s*include\s+"([^"]+)\")");
    std::vector<Include> includes;
    for (const char* base : {"src", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / base)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) {
                continue;
            }
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch match;
                if (std::regex_search(line, match, kInclude)) {
                    includes.push_back({entry.path(), number, match[1].str()});
                }
            }
        }
    }
    return includes;
}

TEST(Layers, EveryFolderHasAFloor) {
    for (const char* base : {"src", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / base)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp")) {
                EXPECT_TRUE(FolderOf(entry.path()).has_value())
                    << entry.path() << " is in a folder without a floor";
            }
        }
    }
}

TEST(Layers, IncludesPointOnlyDown) {
    const std::vector<Include> includes = ReadIncludes();
    ASSERT_GT(includes.size(), 500u) << "the walk found too few includes to mean anything";
    int resolved = 0;
    for (const Include& include : includes) {
        const auto from = FolderOf(include.file);
        const auto to = FolderOfInclude(include);
        if (!from || !to) {
            // Generated headers (moc files) live in the build tree.
            continue;
        }
        ++resolved;
        if (*from == *to) {
            continue;
        }
        EXPECT_LT(kFloors.at(*to), kFloors.at(*from))
            << fs::relative(include.file, kRoot).generic_string() << ":" << include.line
            << " includes \"" << include.target << "\" of " << *to << ", which is not below "
            << *from;
    }
    EXPECT_GT(resolved, 500);
}

// Only the windows' floors may use Qt Widgets; core and below stay usable by the tools.
TEST(Layers, WidgetsOnlyInTheWindowFloors) {
    static const std::regex kQtInclude(R"(^\s*#\s*include\s+<(Q[A-Za-z]+)>)");
    static const std::regex kWidgetsHeader(
        "QAction|QApplication|QWidget|QDialog|QLabel|QMainWindow|QMenu.*|QMessageBox|"
        "QPushButton|QLineEdit|QComboBox|QCheckBox|QTree.*|QList[A-Z].*|QLayout|"
        "Q[HV]BoxLayout|QGridLayout|QFileDialog|QInputDialog|QToolBar|QStatusBar|"
        "QGroupBox|QRadioButton|QPlainTextEdit|QTextEdit|QScrollArea|QFrame|QStyle.*|"
        "QAbstract(Button|ItemView|ScrollArea)|QTabWidget|QSpinBox|QSystemTrayIcon");
    for (const char* base : {"src", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / base)) {
            const auto folder = FolderOf(entry.path());
            if (!entry.is_regular_file() || !folder || folder->rfind("src/gui/", 0) == 0) {
                continue;
            }
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch match;
                if (std::regex_search(line, match, kQtInclude)) {
                    EXPECT_FALSE(std::regex_match(match[1].str(), kWidgetsHeader))
                        << fs::relative(entry.path(), kRoot).generic_string() << ":" << number
                        << " includes <" << match[1].str() << "> below the windows";
                }
            }
        }
    }
}

}  // namespace
