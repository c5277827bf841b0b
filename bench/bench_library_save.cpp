// Saving into a library at its limits: 100 pages holding 5,242,880 bytes of text, and one page holding them
// all. A save of one edited page is timed against one atomic write (with fsync) of that page alone, measured
// in the same run, and the bytes it writes are counted by file: the goal is the page, this writer's journal
// and the manifest, nothing else. The save's processor time (the calling thread's) is reported beside it.
// A second benchmark saves a 100 KB page that another writer changed meanwhile, so that the save merges. A third
// deletes 1,000 of 5,000 pages in one save, each file proven by its bytes as it goes, and times the save's processor
// time against the same save whose removals are plain unlinks. A fourth makes one such save per process, proven, with
// plain unlinks or none at all, so that each can be timed as a whole process beside the others. A fifth times, file by
// file in such a library, the steps any such proof needs beside a plain unlink (taking the file aside, reading it,
// hashing it), and gives the ratio the third benchmark cannot go below on this machine.
#include "library/folder/PageFileNaming.h"
#include "library/load/FullLoad.h"
#include "library/save/SaveRequest.h"
#include "library/save/WriteTransaction.h"
#include "model/ContentChecksum.h"
#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <vector>

using namespace velto;

namespace {

constexpr std::size_t totalTextBytes = 5'242'880;
const Uuid writerID = *Uuid::parse("0A000000-0000-4000-8000-00000000000A");

std::string pageBody(std::size_t bytes, int index) {
    std::string line = "- [ ] item " + std::to_string(index) + " with some ordinary Markdown text\n";
    std::string text;
    while (text.size() + line.size() <= bytes) {
        text += line;
    }
    return text;
}

/// The real file system, counting the bytes of every atomic write by the kind of file written.
class CountingFileSystem : public PosixFileSystem {
public:
    void writeAtomically(const std::filesystem::path &path, std::string_view bytes) override {
        count(path, bytes);
        PosixFileSystem::writeAtomically(path, bytes);
    }

    ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                          std::optional<std::string_view> expected) override {
        count(path, bytes);
        return PosixFileSystem::replaceIfUnchanged(path, bytes, expected);
    }

    void reset() {
        std::lock_guard lock(mutex);
        bytesByKind.clear();
        files = 0;
    }

    std::map<std::string, std::size_t> bytesByKind;
    std::size_t files = 0;

private:
    void count(const std::filesystem::path &path, std::string_view bytes) {
        std::lock_guard lock(mutex);
        bytesByKind[kindOf(path)] += bytes.size();
        ++files;
    }

    static std::string kindOf(const std::filesystem::path &path) {
        auto parent = path.parent_path().filename().string();
        if (path.filename() == "manifest.json") {
            return "manifest";
        }
        if (parent == "writers") {
            return "journal";
        }
        if (path.extension() == ".md") {
            return "page";
        }
        return "other";
    }

    std::mutex mutex;
};

VeltoPage newPage(std::size_t bytes, int index) {
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = dateFromSecondsSince1970(1'767'600'000 + index);
    page.fileSlug = "calm-cove";
    page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(pageBody(bytes, index)));
    return page;
}

VeltoSaveRequest saveOf(const VeltoDocument &document, const VeltoPage &changed, const VeltoPageBaseline &baseline,
                        std::uint64_t revision) {
    VeltoSaveRequest request;
    request.writerID = writerID;
    request.operationID = Uuid::random();
    request.recordedAt = std::chrono::system_clock::now();
    request.generation = revision;
    request.mutationRevision = revision;
    request.document = document;
    request.changedPageRevisions[changed.id] = revision;
    request.expectedPageBaselines[changed.id] = baseline;
    return request;
}

/// Replaces the page of that identifier in the document.
void put(VeltoDocument &document, const VeltoPage &page) {
    if (document.currentPage.id == page.id) {
        document.currentPage = page;
        return;
    }
    for (auto &candidate : document.pages) {
        if (candidate.id == page.id) {
            candidate = page;
        }
    }
}

double threadProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

/// Saves one edited page of a library of `state.range(0)` pages that share the limit's bytes, typed into at
/// its end or, when `state.range(1)` is 1, in its middle.
/// A document of `pageCount` new pages of `bytesEach` bytes, the first of them current.
/// Their identifiers differ in the eight digits the file names carry: pages made on one day with one slug would
/// otherwise share a file name about once in 300 libraries of 5,000, which the save rightly refuses.
VeltoDocument documentOfPages(int pageCount, int bytesEach) {
    VeltoDocument document;
    std::set<std::string> namePrefixes;
    for (int index = 0; index < pageCount; ++index) {
        auto page = newPage(bytesEach, index);
        while (!namePrefixes.insert(page.id.lowercaseText().substr(0, 8)).second) {
            page.id = Uuid::random();
        }
        if (index == 0) {
            document.currentPage = page;
        } else {
            document.pages.push_back(page);
        }
    }
    return document;
}

/// The save that writes every page of a new library for the first time.
VeltoSaveRequest firstSaveOf(const VeltoDocument &document) {
    VeltoSaveRequest first = saveOf(document, document.currentPage, {}, 1);
    for (const auto &page : document.pages) {
        first.changedPageRevisions[page.id] = 1;
    }
    first.expectedPageBaselines.clear();
    first.structureRevision = 1;
    return first;
}

void SaveOneEditedPage(benchmark::State &state) {
    const int pageCount = static_cast<int>(state.range(0));
    const bool editsInTheMiddle = state.range(1) != 0;
    testing::TemporaryFolder folder;
    VeltoDocument document = documentOfPages(pageCount, totalTextBytes / pageCount);
    VeltoSaveRequest first = firstSaveOf(document);
    auto result = VeltoPageLibrary::write(first, folder.path());

    VeltoPage edited = pageCount > 1 ? document.pages[pageCount / 2 - 1] : document.currentPage;
    VeltoPageBaseline baseline = result.persistedPageBaselines.at(edited.id);
    auto scratch = folder / "scratch.md";
    CountingFileSystem counting;
    std::uint64_t revision = 1;
    double atomicSeconds = 0;
    double saveSeconds = 0;
    double processorSeconds = 0;
    for (auto _ : state) {
        // Typing goes on at the end of the page, or in its middle, where a save hashes more of it again.
        std::string &body = edited.content.asLoaded()->body.edit();
        body.insert(editsInTheMiddle ? body.size() / 2 : body.size(), "edited " + std::to_string(revision) + "\n");
        put(document, edited);
        auto request = saveOf(document, edited, baseline, ++revision);
        counting.reset();

        auto started = std::chrono::steady_clock::now();
        const double processorStarted = threadProcessorSeconds();
        auto saved = VeltoPageLibrary::write(request, folder.path(), counting);
        processorSeconds += threadProcessorSeconds() - processorStarted;
        auto saveEnded = std::chrono::steady_clock::now();
        defaultFileSystem().writeAtomically(scratch, baseline.fileContents.value_or(""));
        auto atomicEnded = std::chrono::steady_clock::now();

        baseline = saved.persistedPageBaselines.at(edited.id);
        double save = std::chrono::duration<double>(saveEnded - started).count();
        saveSeconds += save;
        atomicSeconds += std::chrono::duration<double>(atomicEnded - saveEnded).count();
        state.SetIterationTime(save);
    }
    state.counters["atomicWriteOfThePage_ms"] = atomicSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["saveToAtomicWrite"] = saveSeconds / atomicSeconds;
    state.counters["saveProcessorTime_ms"] = processorSeconds * 1000 / static_cast<double>(state.iterations());
    for (const auto &[kind, bytes] : counting.bytesByKind) {
        state.counters["bytes_" + kind] = static_cast<double>(bytes);
    }
    state.counters["filesWritten"] = static_cast<double>(counting.files);
}
BENCHMARK(SaveOneEditedPage)
    ->ArgsProduct({{100, 1}, {0, 1}})
    ->ArgNames({"pages", "inTheMiddle"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

void SaveThatMergesAConcurrentEdit(benchmark::State &state) {
    testing::TemporaryFolder folder;
    auto page = newPage(100'000, 0);
    VeltoDocument document{page, {}};
    auto result = VeltoPageLibrary::write(saveOf(document, page, {}, 1), folder.path());
    auto baseline = result.persistedPageBaselines.at(page.id);
    auto fileURL = folder / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page));
    std::uint64_t revision = 1;
    for (auto _ : state) {
        state.PauseTiming();
        // Another program puts a line at the top; this writer adds one at the end of its stale copy.
        auto theirs = VeltoPageFileContent::parse(*baseline.fileContents);
        theirs.body = "their line " + std::to_string(revision) + "\n" + std::string(theirs.body.text());
        defaultFileSystem().writeAtomically(fileURL, theirs.fileContents());
        auto ours = VeltoPageFileContent::parse(*baseline.fileContents);
        ours.body.edit() += "our line " + std::to_string(revision) + "\n";
        page.content = VeltoPageContent::loaded(ours);
        document.currentPage = page;
        auto request = saveOf(document, page, baseline, ++revision);
        state.ResumeTiming();

        auto saved = VeltoPageLibrary::write(request, folder.path());

        state.PauseTiming();
        if (!saved.mergedPages.contains(page.id)) {
            state.SkipWithError("the save did not merge");
            break;
        }
        page = saved.mergedPages.at(page.id);
        baseline = saved.persistedPageBaselines.at(page.id);
        state.ResumeTiming();
    }
}
BENCHMARK(SaveThatMergesAConcurrentEdit)->Unit(benchmark::kMillisecond)->Iterations(30);

/// The real file system, except that a removal proven by its bytes is a plain unlink: the cost of a deleting save
/// without any proof, against which the proven one is measured. Like the process's own, it may be called from
/// several threads, so that both saves spread the same work over the library's workers.
class UnprovenRemovals : public PosixFileSystem {
public:
    ProvenRemovalOutcome removeIfProven(const std::filesystem::path &path, const RemovalProof &, std::size_t) override {
        removeItem(path);
        return ProvenRemovalOutcome::removed;
    }
    bool allowsConcurrentCalls() const override { return true; }
};

/// The real file system, except that its writes are not synced and a page file is written whatever is there: a
/// library built in a fresh folder only to be deleted from is made without waiting for the disk, so that the
/// deleting save's cost is not lost in the noise of five thousand syncs when its process is timed whole.
class UnsyncedWrites : public PosixFileSystem {
public:
    void writeAtomically(const std::filesystem::path &path, std::string_view bytes) override {
        auto temporary = path;
        temporary += ".unsynced";
        std::ofstream(temporary, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::filesystem::rename(temporary, path);
    }
    ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                          std::optional<std::string_view>) override {
        writeAtomically(path, bytes);
        return ReplacementOutcome::replaced;
    }
    bool allowsConcurrentCalls() const override { return true; }
};

/// A fresh library of `pageCount` pages of 2 KB and the save that deletes the last `deletedCount` of them.
struct LibraryToDeleteFrom {
    testing::TemporaryFolder folder;
    VeltoSaveRequest deleting;
};

void prepareDeletion(LibraryToDeleteFrom &library, int pageCount, int deletedCount) {
    VeltoDocument document = documentOfPages(pageCount, 2'000);
    UnsyncedWrites unsynced;
    auto written = VeltoPageLibrary::write(firstSaveOf(document), library.folder.path(), unsynced);

    VeltoSaveRequest &deleting = library.deleting;
    deleting = saveOf(document, document.currentPage, {}, 2);
    deleting.changedPageRevisions.clear();
    deleting.expectedPageBaselines.clear();
    deleting.structureRevision = 2;
    deleting.document.pages.resize(document.pages.size() - deletedCount);
    for (auto page = document.pages.end() - deletedCount; page != document.pages.end(); ++page) {
        deleting.removedPageRevisions[page->id] = 2;
        deleting.expectedPageBaselines[page->id] = written.persistedPageBaselines.at(page->id);
    }
}

/// The processor time of the deleting save (the calling thread's).
double processorSecondsOfTheDeletion(const LibraryToDeleteFrom &library, FileSystem &fileSystem) {
    const double started = threadProcessorSeconds();
    VeltoPageLibrary::write(library.deleting, library.folder.path(), fileSystem);
    return threadProcessorSeconds() - started;
}

constexpr int pagesBeforeTheDeletion = 5'000;
constexpr int pagesDeleted = 1'000;

/// The processor time of a save that deletes `deletedCount` of a fresh library's `pageCount` pages of 2 KB.
double processorSecondsOfADeletingSave(int pageCount, int deletedCount, FileSystem &fileSystem) {
    LibraryToDeleteFrom library;
    prepareDeletion(library, pageCount, deletedCount);
    return processorSecondsOfTheDeletion(library, fileSystem);
}

/// The median of the values.
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

/// Deletes 1,000 of 5,000 pages in one save, proven file by file, and the same save with plain unlinks; each
/// iteration times both on fresh libraries, in turn first, so that a machine whose speed drifts weighs on both. The
/// iteration time is the proven save's processor time; the counters give the medians of both and of the ratio of
/// each pair, and the worst ratio.
void SaveThatDeletesAFifthOfThePages(benchmark::State &state) {
    UnprovenRemovals unproven;
    std::vector<double> provenSeconds;
    std::vector<double> unprovenSeconds;
    std::vector<double> ratios;
    for (auto _ : state) {
        double proven = 0;
        double unlinking = 0;
        if (provenSeconds.size() % 2 == 0) {
            proven = processorSecondsOfADeletingSave(pagesBeforeTheDeletion, pagesDeleted, defaultFileSystem());
            unlinking = processorSecondsOfADeletingSave(pagesBeforeTheDeletion, pagesDeleted, unproven);
        } else {
            unlinking = processorSecondsOfADeletingSave(pagesBeforeTheDeletion, pagesDeleted, unproven);
            proven = processorSecondsOfADeletingSave(pagesBeforeTheDeletion, pagesDeleted, defaultFileSystem());
        }
        provenSeconds.push_back(proven);
        unprovenSeconds.push_back(unlinking);
        ratios.push_back(proven / unlinking);
        state.SetIterationTime(proven);
    }
    state.counters["provenSaveProcessorTime_ms"] = median(provenSeconds) * 1000;
    state.counters["unlinkingSaveProcessorTime_ms"] = median(unprovenSeconds) * 1000;
    state.counters["provenToUnlinking"] = median(ratios);
    state.counters["provenToUnlinkingWorst"] = *std::max_element(ratios.begin(), ratios.end());
}
BENCHMARK(SaveThatDeletesAFifthOfThePages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);

/// How the files of the deleted pages go in a process that makes one deleting save; `none` builds the library and
/// deletes nothing, so that timing the whole process of each tells the save's own cost.
enum class Removals { none, plainUnlinks, proven };

/// One library of 5,000 pages and, unless `removals` is none, the save that deletes 1,000 of them: one of these per
/// process (--benchmark_filter=OneSaveThatDeletesAFifthOfThePages/proven) lets each variant be timed from outside.
void OneSaveThatDeletesAFifthOfThePages(benchmark::State &state, Removals removals) {
    UnprovenRemovals unproven;
    FileSystem &fileSystem =
        removals == Removals::plainUnlinks ? static_cast<FileSystem &>(unproven) : defaultFileSystem();
    for (auto _ : state) {
        LibraryToDeleteFrom library;
        prepareDeletion(library, pagesBeforeTheDeletion, pagesDeleted);
        double seconds = removals == Removals::none ? 0 : processorSecondsOfTheDeletion(library, fileSystem);
        state.SetIterationTime(seconds);
    }
}
BENCHMARK_CAPTURE(OneSaveThatDeletesAFifthOfThePages, none, Removals::none)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(OneSaveThatDeletesAFifthOfThePages, plainUnlinks, Removals::plainUnlinks)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(OneSaveThatDeletesAFifthOfThePages, proven, Removals::proven)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

/// The processor time, per file, of the steps a removal proven by its bytes takes beside an unlink, each step timed
/// on its own third of the files so that every file is removed once.
struct StepsOfAProof {
    double unlink = 0;
    double takenAsideThenUnlinked = 0;
    double readThenUnlinked = 0;
    double checksum = 0;
};

/// Stops the benchmark at a failed step: a floor measured over calls that failed early would be too low.
void require(bool succeeded, const std::filesystem::path &file) {
    if (!succeeded) {
        throw std::system_error(errno, std::generic_category(), file.string());
    }
}

StepsOfAProof stepsOfAProofIn(const std::filesystem::path &folder) {
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".md") {
            files.push_back(entry.path());
        }
    }
    StepsOfAProof total;
    const std::size_t eachStep = files.size() / 3;
    char buffer[65536];
    for (std::size_t index = 0; index < eachStep * 3; ++index) {
        const auto &file = files[index];
        const double started = threadProcessorSeconds();
        if (index % 3 == 0) {
            require(::unlink(file.c_str()) == 0, file);
            total.unlink += threadProcessorSeconds() - started;
        } else if (index % 3 == 1) {
            auto aside = file.parent_path() / ("." + file.filename().string() + ".aside-0123456789ab");
            require(::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0, file);
            require(::unlink(aside.c_str()) == 0, aside);
            total.takenAsideThenUnlinked += threadProcessorSeconds() - started;
        } else {
            int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            require(fd >= 0, file);
            struct stat before {};
            ::fstat(fd, &before);
            const ssize_t read = ::read(fd, buffer, sizeof buffer);
            require(read >= 0, file);
            struct stat after {};
            ::fstat(fd, &after);
            require(::unlink(file.c_str()) == 0, file);
            ::close(fd);
            total.readThenUnlinked += threadProcessorSeconds() - started;
            const double hashing = threadProcessorSeconds();
            benchmark::DoNotOptimize(contentChecksum(std::string_view(buffer, static_cast<std::size_t>(read))));
            total.checksum += threadProcessorSeconds() - hashing;
        }
    }
    const auto perFile = static_cast<double>(eachStep);
    return {total.unlink / perFile, total.takenAsideThenUnlinked / perFile, total.readThenUnlinked / perFile,
            total.checksum / perFile};
}

/// The steps of a proof beside a plain unlink, file by file, in the library the third benchmark deletes from, and the
/// ratio to the plain-unlink save that a proven save cannot go below: that save's time plus, for each of its 1,000
/// files, what taking the file aside, reading it and hashing it add. Without taking it aside (a proof through an open
/// descriptor, which an editor's rename over the file between the check and the unlink defeats) the floor is given too.
void StepsOfAProofBesideAnUnlink(benchmark::State &state) {
    UnprovenRemovals unproven;
    std::vector<double> unlinks, takingAside, reading, hashing, withAside, withoutAside;
    for (auto _ : state) {
        const double unlinkingSave = processorSecondsOfADeletingSave(pagesBeforeTheDeletion, pagesDeleted, unproven);
        LibraryToDeleteFrom library;
        prepareDeletion(library, pagesBeforeTheDeletion, pagesDeleted);
        const StepsOfAProof steps = stepsOfAProofIn(library.folder.path());
        const double aside = steps.takenAsideThenUnlinked - steps.unlink;
        const double read = steps.readThenUnlinked - steps.unlink;
        unlinks.push_back(steps.unlink);
        takingAside.push_back(aside);
        reading.push_back(read);
        hashing.push_back(steps.checksum);
        withAside.push_back((unlinkingSave + pagesDeleted * (aside + read + steps.checksum)) / unlinkingSave);
        withoutAside.push_back((unlinkingSave + pagesDeleted * (read + steps.checksum)) / unlinkingSave);
        state.SetIterationTime(steps.unlink);
    }
    state.counters["unlink_us"] = median(unlinks) * 1e6;
    state.counters["takingAside_us"] = median(takingAside) * 1e6;
    state.counters["reading_us"] = median(reading) * 1e6;
    state.counters["checksum_us"] = median(hashing) * 1e6;
    state.counters["floorProvenToUnlinking"] = median(withAside);
    state.counters["floorWithoutTakingAside"] = median(withoutAside);
}
BENCHMARK(StepsOfAProofBesideAnUnlink)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(7);

} // namespace

BENCHMARK_MAIN();
