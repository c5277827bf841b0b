// Libraries of 10,000 and 30,000 pages loaded the way the application loads them, each load a process of its own
// timed from outside, from its start to its exit: the first load of a folder without metadata, a reload of the
// library with its metadata (the next launch), and one save of one edited page (timed inside the process that
// loaded the library, as the application saves a library it holds). Every operation goes through the file system
// the store hands the library; the "in order" variant gives the library a file system that does not allow
// calls from several threads, as the application's did before, so the two can be compared.
#include "BenchTiming.h"

#include "library/load/FullLoad.h"
#include "library/save/SaveRequest.h"
#include "library/save/WriteTransaction.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"
#include "store/OwnFileChanges.h"

#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char **environ;

namespace {

using namespace velto;

/// A folder of short notes, as a user's years of pages might be.
void writePageFiles(const std::filesystem::path &folder, int pageCount) {
    for (int index = 0; index < pageCount; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "note-%05d.md", index);
        std::ofstream(folder / name, std::ios::binary)
            << "# Note " << index << "\n\nA few lines about the day, a list of things to do:\n\n- [ ] one\n- [x] two\n";
    }
}

// The benchmark's own program run again as the process to time.

/// The file system the application's store gives the library, or the same over a real file system used from one
/// thread at a time.
FileSystem &applicationFileSystem(bool inOrder) {
    if (!inOrder) {
        return ownChangeRecordingFileSystem();
    }
    static PosixFileSystem oneThreadAtATime;
    static OwnChangeRecordingFileSystem recording(oneThreadAtATime, VeltoOwnFileChanges::shared());
    return recording;
}

const VeltoDocument &loadedDocument(const VeltoLibraryLoadResult &result) {
    const auto *loaded = result.asLoaded();
    if (loaded == nullptr) {
        throw std::runtime_error("the library does not load");
    }
    return loaded->document;
}

/// "load DIR [in-order]": one full load. "save DIR [in-order]": a load, then one save of the current page with a
/// line added, whose milliseconds are printed.
int runChild(const std::vector<std::string> &arguments) {
    const std::string &command = arguments.at(0);
    const std::filesystem::path folder = arguments.at(1);
    FileSystem &fileSystem = applicationFileSystem(arguments.size() > 2 && arguments[2] == "in-order");
    VeltoDocument document = loadedDocument(VeltoPageLibrary::load(folder, fileSystem));
    if (command == "load") {
        return 0;
    }
    VeltoPage &page = document.currentPage;
    VeltoPageBaseline baseline = VeltoPageBaseline::fromPage(page);
    page.content.asLoaded()->body.edit() += "edited\n";
    VeltoSaveRequest request;
    request.writerID = Uuid::random();
    request.operationID = Uuid::random();
    request.recordedAt = std::chrono::system_clock::now();
    request.generation = 1;
    request.mutationRevision = 1;
    request.document = document;
    request.changedPageRevisions[page.id] = 1;
    request.expectedPageBaselines[page.id] = baseline;
    double taken = bench::millisecondsTaken([&] { VeltoPageLibrary::write(request, folder, fileSystem); });
    std::printf("%.3f\n", taken);
    return 0;
}

/// Runs this program as a child with the arguments; its standard output, or an exception when it failed.
std::string runProcess(const std::vector<std::string> &arguments) {
    char outputName[] = "/tmp/velto-bench-outputXXXXXX";
    int output = ::mkstemp(outputName);
    if (output < 0) {
        throw std::runtime_error("no file for the child's output");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    std::vector<std::string> argv{"/proc/self/exe", "--child"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char *> pointers;
    for (auto &argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned == 0) {
        ::waitpid(pid, &status, 0);
    }
    std::string text;
    char buffer[256];
    ssize_t count = 0;
    ::lseek(output, 0, SEEK_SET);
    while ((count = ::read(output, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(output);
    ::unlink(outputName);
    if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the child process failed");
    }
    return text;
}

std::vector<std::string> childArguments(const char *command, const std::filesystem::path &folder, bool inOrder) {
    std::vector<std::string> arguments{command, folder.string()};
    if (inOrder) {
        arguments.emplace_back("in-order");
    }
    return arguments;
}

// Loads the folder in a process of its own and gives the time the load took.
double timeLoad(benchmark::State &state, const std::filesystem::path &folder, bool inOrder) {
    return bench::timeIteration(state, [&] { runProcess(childArguments("load", folder, inOrder)); });
}

// Fills the folder with the benchmark's pages and loads it once, so that it holds a library.
void makeLibrary(benchmark::State &state, const std::filesystem::path &folder, bool inOrder) {
    writePageFiles(folder, static_cast<int>(state.range(0)));
    runProcess(childArguments("load", folder, inOrder));
}

// Arguments: the number of pages, and 1 for the file system used in order.

void FirstLoad(benchmark::State &state) {
    const bool inOrder = state.range(1) != 0;
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        testing::TemporaryFolder folder;
        writePageFiles(folder.path(), static_cast<int>(state.range(0)));
        state.ResumeTiming();
        samples.push_back(timeLoad(state, folder.path(), inOrder));
    }
    bench::reportSamples(state, samples);
}

void Reload(benchmark::State &state) {
    const bool inOrder = state.range(1) != 0;
    testing::TemporaryFolder folder;
    makeLibrary(state, folder.path(), inOrder);
    std::vector<double> samples;
    for (auto _ : state) {
        samples.push_back(timeLoad(state, folder.path(), inOrder));
    }
    bench::reportSamples(state, samples);
}

void SaveOfOnePage(benchmark::State &state) {
    const bool inOrder = state.range(1) != 0;
    testing::TemporaryFolder folder;
    makeLibrary(state, folder.path(), inOrder);
    std::vector<double> samples;
    for (auto _ : state) {
        double taken = std::stod(runProcess(childArguments("save", folder.path(), inOrder)));
        state.SetIterationTime(taken / 1000.0);
        samples.push_back(taken);
    }
    bench::reportSamples(state, samples);
}

// Each benchmark runs at both library sizes, with the file system used side by side and in order.
void registerAtEachSize(const char *name, void (*benchmarkFunction)(benchmark::State &), int iterations) {
    benchmark::RegisterBenchmark(name, benchmarkFunction)
        ->ArgNames({"pages", "in_order"})
        ->ArgsProduct({{10'000, 30'000}, {0, 1}})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations);
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0) {
        try {
            return runChild(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const std::exception &error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    }
    registerAtEachSize("FirstLoad", FirstLoad, 5);
    registerAtEachSize("Reload", Reload, 7);
    registerAtEachSize("SaveOfOnePage", SaveOfOnePage, 7);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
