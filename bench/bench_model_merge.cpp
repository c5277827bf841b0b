// Three-way merge of large pages with scattered edits on both sides, beside `git merge-file -p` on the same
// three files in the same run.

#include "model/ThreeWayMerge.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

using velto::VeltoThreeWayMerge::merge;

/// Markdown-like lines: headings, paragraphs, list items, code fences and the blank lines between them, with
/// enough repetition (blank lines, fences, common list items) to give the difference some false matches.
std::vector<std::string> pageLines(std::size_t byteCount) {
    static const char *words[] = {"note",  "merge", "line",  "page",   "draft", "idea", "todo", "sync",
                                  "cloud", "velto", "write", "review", "later", "call", "plan", "fix"};
    std::mt19937 random(42);
    auto word = [&] { return std::string(words[random() % 16]); };
    std::vector<std::string> lines;
    std::size_t size = 0;
    for (std::size_t paragraph = 0; size < byteCount; ++paragraph) {
        std::vector<std::string> block;
        switch (paragraph % 5) {
        case 0:
            block.push_back("## " + word() + " " + word() + " " + std::to_string(paragraph));
            break;
        case 1:
            for (int item = 0; item < 4; ++item) {
                block.push_back(item % 2 ? "- [ ] " + word() + " " + word() : "- " + word());
            }
            break;
        case 2:
            block.push_back("```swift");
            block.push_back("let " + word() + " = " + std::to_string(random() % 1000));
            block.push_back("```");
            break;
        default:
            for (int sentence = 0; sentence < 3; ++sentence) {
                std::string line;
                for (int count = 0; count < 10; ++count) {
                    line += word() + " ";
                }
                block.push_back(line + std::to_string(random()));
            }
        }
        block.emplace_back();
        for (std::string &line : block) {
            size += line.size() + 1;
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

std::string joined(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

struct MergeInputs {
    std::string base;
    std::string local;
    std::string external;
};

/// Every 400 lines the local side replaces, inserts or removes a line near the start of the stretch and the
/// external side near its middle; with `conflicting`, both sides also change one line differently.
MergeInputs mergeInputs(std::size_t byteCount, bool conflicting) {
    std::vector<std::string> base = pageLines(byteCount);
    std::vector<std::string> local = base;
    std::vector<std::string> external = base;
    std::size_t stretch = 400;
    if (conflicting) {
        // Between the scattered edits of one stretch, so that it is the only place where the sides collide.
        std::size_t line = base.size() * 3 / 4 / stretch * stretch + 150;
        local[line] = "local version of a shared line";
        external[line] = "external version of a shared line";
    }
    // Back to front, so that earlier offsets stay valid.
    for (std::size_t start = (base.size() / stretch) * stretch; start + stretch > stretch; start -= stretch) {
        std::size_t localLine = start + 50;
        std::size_t externalLine = start + 250;
        std::size_t kind = start / stretch % 3;
        if (externalLine < external.size()) {
            if (kind == 0) {
                external[externalLine] = "external edit " + std::to_string(start);
            } else if (kind == 1) {
                external.insert(external.begin() + static_cast<std::ptrdiff_t>(externalLine), "external insert");
            } else {
                external.erase(external.begin() + static_cast<std::ptrdiff_t>(externalLine));
            }
        }
        if (localLine < local.size()) {
            if (kind == 0) {
                local[localLine] = "local edit " + std::to_string(start);
            } else if (kind == 1) {
                local.insert(local.begin() + static_cast<std::ptrdiff_t>(localLine), "local insert");
            } else {
                local.erase(local.begin() + static_cast<std::ptrdiff_t>(localLine));
            }
        }
    }
    return {joined(base), joined(local), joined(external)};
}

const MergeInputs &inputs(std::size_t byteCount, bool conflicting) {
    static std::vector<std::pair<std::pair<std::size_t, bool>, MergeInputs>> cache;
    for (const auto &[key, value] : cache) {
        if (key == std::pair{byteCount, conflicting}) {
            return value;
        }
    }
    cache.emplace_back(std::pair{byteCount, conflicting}, mergeInputs(byteCount, conflicting));
    return cache.back().second;
}

void BM_ThreeWayMerge(benchmark::State &state) {
    const MergeInputs &files = inputs(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
    bool merged = false;
    for (auto _ : state) {
        std::optional<std::string> result = merge(files.base, files.local, files.external);
        merged = result.has_value();
        benchmark::DoNotOptimize(result);
    }
    state.counters["merged"] = merged;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.base.size()));
}

/// The three files in a fresh temporary folder, removed at the end of the run.
class MergeFolder {
public:
    explicit MergeFolder(const MergeInputs &files) {
        std::string pattern = (std::filesystem::temp_directory_path() / "velto-merge-bench-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        write("base.md", files.base);
        write("local.md", files.local);
        write("external.md", files.external);
    }
    ~MergeFolder() { std::filesystem::remove_all(path_); }
    std::string file(const char *name) const { return (path_ / name).string(); }

private:
    void write(const char *name, const std::string &text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }
    std::filesystem::path path_;
};

/// Runs `git merge-file -p local base external`, the merged text going to `output`; the exit status is the
/// number of conflicts.
int gitMergeFile(const MergeFolder &folder, const char *output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string local = folder.file("local.md");
    std::string base = folder.file("base.md");
    std::string external = folder.file("external.md");
    std::vector<char *> arguments = {const_cast<char *>("git"),
                                     const_cast<char *>("merge-file"),
                                     const_cast<char *>("-p"),
                                     local.data(),
                                     base.data(),
                                     external.data(),
                                     nullptr};
    pid_t process = 0;
    int status = -1;
    if (posix_spawnp(&process, "git", &actions, nullptr, arguments.data(), environ) == 0) {
        waitpid(process, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_GitMergeFile(benchmark::State &state) {
    const MergeInputs &files = inputs(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
    MergeFolder folder(files);
    int conflicts = 0;
    for (auto _ : state) {
        conflicts = gitMergeFile(folder, "/dev/null");
    }
    if (conflicts < 0) {
        state.SkipWithError("git merge-file could not be run");
    }
    state.counters["merged"] = conflicts == 0;

    // Clean merges of non-adjacent edits should agree with git's result.
    std::string output = folder.file("merged.md");
    gitMergeFile(folder, output.c_str());
    std::ifstream stream(output, std::ios::binary);
    std::string gitResult((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    std::optional<std::string> ours = merge(files.base, files.local, files.external);
    state.counters["sameResult"] = ours.has_value() && conflicts == 0 && *ours == gitResult;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.base.size()));
}

void sizesAndConflicts(benchmark::internal::Benchmark *benchmark) {
    for (std::int64_t size : {100 * 1024, 1024 * 1024}) {
        for (std::int64_t conflicting : {0, 1}) {
            benchmark->Args({size, conflicting});
        }
    }
    benchmark->ArgNames({"bytes", "conflict"})->Unit(benchmark::kMillisecond);
}

/// Both sides rewrote every line of a 100 KB page: the slowest case of the difference (D = N + M).
void BM_ThreeWayMergeOfRewrittenPage(benchmark::State &state) {
    std::vector<std::string> base = pageLines(100 * 1024);
    std::vector<std::string> local = base;
    std::vector<std::string> external = base;
    for (std::size_t line = 0; line < base.size(); ++line) {
        local[line] = "local " + std::to_string(line);
        external[line] = "external " + std::to_string(line);
    }
    std::string baseText = joined(base);
    std::string localText = joined(local);
    std::string externalText = joined(external);
    for (auto _ : state) {
        benchmark::DoNotOptimize(merge(baseText, localText, externalText));
    }
    state.counters["lines"] = static_cast<double>(base.size());
}

} // namespace

BENCHMARK(BM_ThreeWayMerge)->Apply(sizesAndConflicts);
// Wall time: the work happens in the child process.
BENCHMARK(BM_GitMergeFile)->Apply(sizesAndConflicts)->UseRealTime();
BENCHMARK(BM_ThreeWayMergeOfRewrittenPage)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
