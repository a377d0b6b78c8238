// The main window's start against a floor: process start to the first painted list, with
// 1,000 profiles, beside a bare window painting a QTreeWidget of the same rows from memory.
// Both run as child processes on the offscreen platform, side by side in one run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
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

const std::string& DataFile() {
    static const std::string path = [] {
        std::string folder =
            std::filesystem::temp_directory_path() / ("bench-gui-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::string file = folder + "/" + quorv::app::kDataFileName;
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

// Child side: says "painted" on stdout once the list has been painted, then quits.
class PaintSignal : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
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
    bool done_ = false;
};

int RunChild(const std::string& mode, const std::string& dataFile) {
    int argc = 1;
    char name[] = "bench_gui";
    char* argv[] = {name, nullptr};
    quorv::app::TApplication app(argc, argv);
    PaintSignal signal;
    if (mode == "main") {
        quorv::app::TMainForm form(dataFile);
        form.ListView1->viewport()->installEventFilter(&signal);
        form.show();
        return app.exec();
    }
    // The floor: the same rows from memory in a bare list.
    QTreeWidget tree;
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
    tree.viewport()->installEventFilter(&signal);
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

void BM_StartToPaint_Floor(benchmark::State& state) {
    DataFile();
    for (auto _ : state) {
        state.SetIterationTime(TimeChild("floor"));
    }
}

void BM_StartToPaint_MainForm(benchmark::State& state) {
    DataFile();
    for (auto _ : state) {
        state.SetIterationTime(TimeChild("main"));
    }
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

// Interleaved so both sides see the same machine load.
BENCHMARK(BM_StartToPaint_Floor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StartToPaint_MainForm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LoadProfileList1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        return RunChild(argv[2], argv[3]);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(DataFile()).parent_path(), ignored);
    return 0;
}
