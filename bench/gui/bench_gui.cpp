// The main window's start against a floor: process start to the first painted list, with
// 1,000 profiles, beside a bare window painting a QTreeWidget of the same rows from memory.
// Both run as child processes on the offscreen platform, taking turns in one run. The
// window starts as the program does (its language files, its hidden About box), with
// settings of its own in the benchmark's folder rather than the user's.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/CommaText.h"
#include "core/DataFile.h"
#include "core/ProfileRecord.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/MainForm.h"
#include "gui/main/ProgramStart.h"
#include "store/StoreTable.h"
#include "system/Subprocess.h"

namespace {

constexpr int kProfiles = 1000;

quorv::apply::Profile NthProfile(int i) {
    quorv::apply::Profile p;
    p.Name = "Profile " + std::to_string(i * 7919 % kProfiles);
    p.IP = "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
    p.Mask = "255.255.0.0";
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.2";
    p.DNS2 = "10.0.0.3";
    p.Interface = "eth0";
    return p;
}

const std::string& Folder() {
    static const std::string folder =
        std::filesystem::temp_directory_path() / ("bench-gui-" + std::to_string(getpid()));
    return folder;
}

const std::string& DataFile() {
    static const std::string path = [] {
        std::filesystem::create_directories(Folder());
        std::string file = Folder() + "/" + quorv::app::kDataFileName;
        quorv::store::TStoreTable profiles, options;
        quorv::app::OpenDataFile(file, profiles, options);
        for (int i = 0; i < kProfiles; ++i) {
            profiles.Insert();
            quorv::app::WriteProfile(profiles, NthProfile(i));
            profiles.Post();
        }
        return file;
    }();
    return path;
}

// Child side: says "painted" on stdout once the list (the view named ListView1) has been
// painted, then quits. It watches the whole application, so the program's own start-up
// code runs unchanged.
class PaintSignal : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_ && IsListViewport(watched)) {
            done_ = true;
            QTimer::singleShot(0, [] {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                QApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    static bool IsListViewport(QObject* object) {
        auto* view = qobject_cast<QAbstractScrollArea*>(object->parent());
        return view != nullptr && view->viewport() == object &&
               view->objectName() == QLatin1String("ListView1");
    }

    bool done_ = false;
};

int RunChild(const std::string& mode, const std::string& dataFile) {
    int argc = 1;
    char name[] = "bench_gui";
    char* argv[] = {name, nullptr};
    quorv::app::TApplication app(argc, argv);
    PaintSignal signal;
    app.installEventFilter(&signal);
    if (mode == "main") {
        return quorv::app::RunMainWindow(app, dataFile, QStringLiteral(QUORV_BIN_DIR "/Language"));
    }
    // The floor: the same rows from memory in a bare list.
    QTreeWidget tree;
    tree.setObjectName("ListView1");
    tree.setColumnCount(6);
    tree.setHeaderLabels({"Name", "IP", "Subnet Mask", "Gateway", "First DNS", "Second DNS"});
    tree.setRootIsDecorated(false);
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < kProfiles; ++i) {
        const quorv::apply::Profile p = NthProfile(i);
        rows.push_back(new QTreeWidgetItem(
            QStringList{QString::fromStdString(p.Name), QString::fromStdString(p.IP),
                        QString::fromStdString(p.Mask), QString::fromStdString(p.Gateway),
                        QString::fromStdString(p.DNS1), QString::fromStdString(p.DNS2)}));
    }
    tree.addTopLevelItems(rows);
    tree.resize(728, 424);
    tree.show();
    return app.exec();
}

// Parent side: seconds from spawning a child to its "painted" line.
double TimeChild(const char* mode) {
    quorv::platform::SpawnRequest request{
        {std::filesystem::read_symlink("/proc/self/exe"), "--child", mode, DataFile()}};
    request.output = quorv::platform::Sink::Capture;
    request.errors = quorv::platform::Sink::Inherit;
    const auto start = std::chrono::steady_clock::now();
    quorv::platform::Subprocess child(request);
    if (!child.Started()) {
        std::abort();
    }
    child.WaitUntil(quorv::platform::Subprocess::Clock::time_point::max(),
                    [&] { return child.Output().find('\n') != std::string::npos; });
    const auto painted = std::chrono::steady_clock::now();
    const std::string got = child.Output();
    child.Wait();
    if (got != "painted\n") {
        std::fprintf(stderr, "child %s did not paint\n", mode);
        std::abort();
    }
    return std::chrono::duration<double>(painted - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Floor and window take turns, each first in every other pair, so both see the same load
// of a shared machine. The iteration time is the window's; the counters give both sides'
// median and range in milliseconds, the ratio of the medians, and the median of each
// pair's ratio, which a burst of load on the machine sways least.
void BM_StartToPaint(benchmark::State& state) {
    DataFile();
    std::vector<double> floor, ours;
    for (auto _ : state) {
        const bool floorFirst = floor.size() % 2 == 0;
        if (floorFirst) {
            floor.push_back(TimeChild("floor"));
        }
        ours.push_back(TimeChild("main"));
        if (!floorFirst) {
            floor.push_back(TimeChild("floor"));
        }
        state.SetIterationTime(ours.back());
    }
    auto report = [&](const char* name, const std::vector<double>& times) {
        state.counters[std::string(name) + "_median"] = Median(times) * 1e3;
        state.counters[std::string(name) + "_min"] =
            *std::min_element(times.begin(), times.end()) * 1e3;
        state.counters[std::string(name) + "_max"] =
            *std::max_element(times.begin(), times.end()) * 1e3;
    };
    report("floor", floor);
    report("ours", ours);
    state.counters["ratio"] = Median(ours) / Median(floor);
    std::vector<double> pairs;
    for (size_t i = 0; i < ours.size(); ++i) {
        pairs.push_back(ours[i] / floor[i]);
    }
    state.counters["pair_ratio"] = Median(pairs);
}

void BM_LoadProfileList1000(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench_gui";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    quorv::app::TImageList images;
    quorv::app::TProfileListView list(&images);
    quorv::store::TStoreTable profiles, options;
    quorv::app::OpenDataFile(DataFile(), profiles, options);
    for (auto _ : state) {
        list.Load(profiles);
        benchmark::DoNotOptimize(list.topLevelItemCount());
    }
    state.counters["rows"] = list.topLevelItemCount();
}

BENCHMARK(BM_StartToPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(41);
BENCHMARK(BM_LoadProfileList1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        return RunChild(argv[2], argv[3]);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The window reads and saves its placement and language; not in the user's settings.
    setenv("XDG_CONFIG_HOME", (Folder() + "/config").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
    return 0;
}
